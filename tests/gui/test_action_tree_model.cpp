// The tree model over the document, checked by Qt's own model tester while
// every editing operation runs, and the text codec the window shows texts with.
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
    void operationsKeepTheModelConsistent();
    void labelsAndPicturesFollowTheNode();
    void refusedMovesChangeNothing();
    void codecRoundTripsEveryText();
    void textFieldsGiveTheirTextBackUnchanged();
};

namespace {

TItem editFile(const char* name) {
    return TItem{name, akEditFile, "", ""};
}
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

void ActionTreeModelTest::operationsKeepTheModelConsistent() {
    ActionTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    ModDocument doc;
    Node* a = doc.appendNode(nullptr, editFile("a.pl"), LabelForm::Read);
    doc.appendNode(a, search(akSearchReplace, "x"));
    model.resetDocument(std::move(doc), TextEncoding::Utf8);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.rowCount(model.index(0, 0)), 1);

    Node* first = model.nodeFromIndex(model.index(0, 0));
    const QModelIndex b = model.appendNode(nullptr, editFile("b.pl"));
    Node* bNode = model.nodeFromIndex(b);
    model.appendNode(bNode, search(akSearchAddBefore, "y"));
    model.appendNode(bNode, search(akSearchAddAfter, "z"));
    QCOMPARE(model.indexFromNode(bNode), b);

    // Move a search action to the other edit file, then an edit file to the top.
    QVERIFY(model.moveNode(first->child(0), bNode, 1));
    QCOMPARE(bNode->childCount(), 3);
    QCOMPARE(bNode->child(1)->item().SearchText, "x");
    QVERIFY(model.moveNode(bNode, nullptr, 0));
    QCOMPARE(labelAt(model, 0), QStringLiteral("<edit file>"));
    QCOMPARE(labelAt(model, 1), QStringLiteral("<edit file> a.pl"));

    model.setKind(bNode->child(0), akSearchReplace);
    QCOMPARE(labelAt(model, 0, 0), QStringLiteral("search and replace"));
    model.removeNode(bNode);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.document().nodeCount(), 1u);
    model.resetDocument(ModDocument(), TextEncoding::Utf8);
    QCOMPARE(model.rowCount(), 0);
}

void ActionTreeModelTest::labelsAndPicturesFollowTheNode() {
    ActionTreeModel model;
    QPixmap red(16, 16);
    red.fill(Qt::red);
    model.setKindIcons({QIcon(), QIcon(red), QIcon(), QIcon()});
    ModDocument doc;
    doc.appendNode(nullptr,
                   TItem{"Sources/\xC3\x9C"
                         "bersicht.pl",
                         akEditFile, "", ""},
                   LabelForm::Read);
    model.resetDocument(std::move(doc), TextEncoding::Utf8);
    QCOMPARE(labelAt(model, 0), QStringLiteral("<edit file> Sources/Übersicht.pl"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    Node* file = model.nodeFromIndex(model.index(0, 0));
    model.setFileName(file, "News.pl");
    QCOMPARE(changed.size(), 1);
    QCOMPARE(labelAt(model, 0), QStringLiteral("<edit file>News.pl"));

    const QModelIndex child = model.appendNode(file, search(akSearchReplace, ""));
    QVERIFY(!child.data(Qt::DecorationRole).value<QIcon>().isNull());
    // Texts are no part of the label: no signal, no repaint.
    changed.clear();
    model.setTexts(model.nodeFromIndex(child), "s", "a");
    QCOMPARE(changed.size(), 0);
    QCOMPARE(model.nodeFromIndex(child)->item().ActionText, "a");
}

void ActionTreeModelTest::refusedMovesChangeNothing() {
    ActionTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    Node* a = model.nodeFromIndex(model.appendNode(nullptr, editFile("a")));
    Node* b = model.nodeFromIndex(model.appendNode(nullptr, editFile("b")));
    Node* s = model.nodeFromIndex(model.appendNode(a, search(akSearchReplace, "s")));
    QVERIFY2(!model.moveNode(b, a, 0), "an edit file does not go under another");
    QVERIFY2(!model.moveNode(a, nullptr, 0), "in place");
    QVERIFY2(!model.moveNode(a, nullptr, 1), "before its next sibling");
    QVERIFY(model.moveNode(s, a, 1) == false);
    QCOMPARE(model.document().topLevel(0), a);
    QCOMPARE(a->child(0), s);
    QVERIFY2(!model.moveNode(b, s, 0), "no third level");
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
