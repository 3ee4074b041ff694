// The tree model's labels and pictures, and the text codec the window shows
// texts with.
#include "ui/action_tree_model.h"
#include "ui/text_codec.h"

#include <QAbstractItemModelTester>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

using namespace torvale;

class ActionTreeModelTest : public QObject {
    Q_OBJECT

private slots:
    void labelsAndPicturesFollowTheNode();
    void codecRoundTripsEveryText();
    void textFieldsGiveTheirTextBackUnchanged();
};

namespace {

TItem search(std::int32_t kind, const char* text) {
    return TItem{"", kind, text, ""};
}

QString labelAt(const ActionTreeModel& model, int row, int child = -1) {
    QModelIndex index = model.index(row, 0);
    if (child >= 0)
        index = model.index(child, 0, index);
    return index.data().toString();
}

} // namespace

void ActionTreeModelTest::labelsAndPicturesFollowTheNode() {
    OpenMod mod;
    ActionTreeModel model(mod);
    QPixmap red(16, 16);
    red.fill(Qt::red);
    model.setKindIcons({QIcon(), QIcon(red), QIcon(), QIcon()});
    ModDocument doc;
    doc.appendNode(nullptr,
                   TItem{"Sources/\xC3\x9C"
                         "bersicht.pl",
                         akEditFile, "", ""},
                   LabelForm::Read);
    mod.replace(std::move(doc), TextEncoding::Utf8, {});
    QCOMPARE(labelAt(model, 0), QStringLiteral("<edit file> Sources/Übersicht.pl"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const Node* file = model.nodeFromIndex(model.index(0, 0));
    mod.setText(file, OpenMod::Field::FileName, "News.pl", true);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(labelAt(model, 0), QStringLiteral("<edit file>News.pl"));

    const QModelIndex child = model.indexFromNode(mod.addNode(file, search(akSearchReplace, "")));
    QVERIFY(!child.data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(model.flags(child) & Qt::ItemNeverHasChildren);
    mod.setKind(model.nodeFromIndex(child), akSearchAddBefore);
    QCOMPARE(child.data().toString(), QStringLiteral("search and addbefore"));
}

void ActionTreeModelTest::codecRoundTripsEveryText() {
    // Texts as the reader makes them: lines joined by CR LF, no lone breaks.
    const std::string utf8 = "Stra\xC3\x9F"
                             "e\r\n\xD0\x96\xD0\xB8\xD0\xB2\r\n\r\n"
                             "\xC2\xA0nbsp \xF0\x9F\x98\x80\t";
    QCOMPARE(decodeText(utf8, TextEncoding::Utf8),
             QStringLiteral("Straße\nЖив\n\n\u00A0nbsp \U0001F600\t"));
    QCOMPARE(encodeText(decodeText(utf8, TextEncoding::Utf8), TextEncoding::Utf8), utf8);

    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n')
            all.push_back(char(b));
    all += "\r\nsecond line";
    QCOMPARE(encodeText(decodeText(all, TextEncoding::Windows1252), TextEncoding::Windows1252),
             all);

    QCOMPARE(decodeText("a\rb\nc\r\n", TextEncoding::Utf8), QStringLiteral("a\nb\nc\n"));
    QCOMPARE(encodeText(QStringLiteral("a\nb\u2029c"), TextEncoding::Utf8), "a\r\nb\r\nc");
    QCOMPARE(encodeText(QStringLiteral("Жив €"), TextEncoding::Windows1252), "??? \x80");
}

void ActionTreeModelTest::textFieldsGiveTheirTextBackUnchanged() {
    // What the window shows in a text field comes back byte for byte.
    const std::string text = "line\xC2\xA0one\r\n\r\n  \tindented\r\n";
    QPlainTextEdit field;
    field.setPlainText(decodeText(text, TextEncoding::Utf8));
    QCOMPARE(encodeText(editorText(&field), TextEncoding::Utf8), text);
}

QTEST_MAIN(ActionTreeModelTest)
#include "test_action_tree_model.moc"
