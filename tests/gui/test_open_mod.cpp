// The owner of the open mod: random edits undone and redone with the tree
// model following under Qt's model tester, typing merged into steps, and the
// modified flag as "differs from what was last opened or saved".
#include "ui/action_tree_model.h"
#include "ui/open_mod.h"

#include "document/mod_reader.h"
#include "document/node_moves.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTest>
#include <QUndoStack>

#include <array>
#include <random>

using namespace torvale;

class OpenModTest : public QObject {
    Q_OBJECT

private slots:
    void randomEditsUndoAndRedoUnderTheModelTester();
    void typingMergesIntoOneStep();
    void modifiedMeansDifferentFromTheSavedText();
    void modifiedFollowsTheTextOnRandomSteps();
};

namespace {

const Node* anyNode(const ModDocument& doc, std::mt19937& rng) {
    int n = int(rng() % doc.nodeCount());
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        if (n-- == 0)
            return top;
        if (n < top->childCount())
            return top->child(n);
        n -= top->childCount();
    }
    return nullptr;
}

ModDocument twoFiles() {
    ModDocument doc;
    readMod("<edit file>\r\na.pl\r\n</edit file>\r\n"
            "<search for>\r\none\r\n</search for>\r\n<replace>\r\n1\r\n</replace>\r\n"
            "<edit file>\r\nb.pl\r\n</edit file>\r\n"
            "<search for>\r\ntwo\r\n</search for>\r\n<add after>\r\n2\r\n</add after>\r\n",
            doc);
    return doc;
}

} // namespace

void OpenModTest::randomEditsUndoAndRedoUnderTheModelTester() {
    OpenMod mod;
    ActionTreeModel model(mod);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    mod.replace(twoFiles(), TextEncoding::Windows1252, QStringLiteral("/tmp/x.mod"));
    std::mt19937 rng(7);
    std::vector<std::string> texts{mod.assemble()};
    for (int i = 0; i < 400; ++i) {
        const ModDocument& doc = mod.document();
        const Node* node = doc.nodeCount() ? anyNode(doc, rng) : nullptr;
        const int choice = int(rng() % 8);
        const int before = mod.history()->count();
        if (!node || choice == 0) {
            const Node* parent =
                node && rng() % 2 ? (node->parent() ? node->parent() : node) : nullptr;
            mod.addNode(parent, TItem{"f", parent ? akSearchAddBefore : akEditFile, "s", "a"});
        } else if (choice == 1 && doc.nodeCount() > 8) {
            mod.removeNode(node);
        } else if (choice == 2) {
            if (auto place = dropPlace(node, const_cast<Node*>(anyNode(doc, rng))))
                mod.moveNode(node, *place);
        } else if (choice == 3) {
            if (auto place = stepPlacement(doc, node, rng() % 2 ? Direction::Up : Direction::Down))
                mod.moveNode(node, *place);
        } else if (choice == 4 && isSearchAction(node->kind())) {
            mod.setKind(node, akSearchReplace + int(rng() % 3));
        } else if (choice == 5) {
            mod.setProperty(Property::Id, std::to_string(i), false);
        } else if (choice == 6 && mod.encoding() != TextEncoding::Utf8) {
            mod.convertToUtf8();
        } else {
            mod.setText(node, OpenMod::Field(rng() % 3), "t\xE9" + std::to_string(i), false);
        }
        if (mod.history()->count() > before)
            texts.push_back(mod.assemble());
    }
    QVERIFY(texts.size() > 250);
    QCOMPARE(mod.history()->count() + 1, int(texts.size()));
    for (std::size_t i = texts.size() - 1; i > 0; --i) {
        mod.history()->undo();
        QCOMPARE(mod.assemble(), texts[i - 1]);
    }
    QCOMPARE(mod.encoding(), TextEncoding::Windows1252);
    QVERIFY(!mod.isModified());
    while (mod.history()->canRedo())
        mod.history()->redo();
    QCOMPARE(mod.assemble(), texts.back());
}

void OpenModTest::typingMergesIntoOneStep() {
    enum Act { Key, Paste, OtherField, EndTyping, Pause, Back };
    const struct {
        const char* what;
        std::vector<Act> acts;
        int steps;
    } cases[] = {
        {"keys in one field", {Key, Key, Key}, 1},
        {"leaving the field or the node", {Key, Key, EndTyping, Key}, 2},
        {"another field", {Key, OtherField, Key}, 3},
        {"a paste is a step of its own", {Key, Paste, Key}, 3},
        {"a pause", {Key, Pause, Key}, 2},
        // The step after the pause took itself back and left the history.
        {"a pause, also once the step after it is gone", {Key, Pause, Back, Key}, 2},
    };
    for (const auto& c : cases) {
        OpenMod mod;
        mod.replace(twoFiles(), TextEncoding::Utf8, {});
        const Node* node = mod.document().topLevel(0)->child(0);
        std::string typed = "one";
        for (Act act : c.acts) {
            if (act == Back)
                typed.pop_back();
            else
                typed += "x";
            if (act == EndTyping)
                mod.endTyping();
            if (act == Pause)
                QTest::qWait(1100);
            if (act == OtherField)
                mod.setText(node, OpenMod::Field::ActionText, typed, true);
            else
                mod.setText(node, OpenMod::Field::SearchText, typed, act != Paste);
        }
        QVERIFY2(mod.history()->count() == c.steps, c.what);
        while (mod.history()->canUndo())
            mod.history()->undo();
        QCOMPARE(mod.document().topLevel(0)->child(0)->item().SearchText, "one");
    }

    // Typed and taken back again: no step, nothing modified.
    OpenMod mod;
    mod.replace(twoFiles(), TextEncoding::Utf8, {});
    const Node* node = mod.document().topLevel(0)->child(0);
    mod.setText(node, OpenMod::Field::SearchText, "onex", true);
    QVERIFY(mod.isModified());
    mod.setText(node, OpenMod::Field::SearchText, "one", true);
    QCOMPARE(mod.history()->count(), 0);
    QVERIFY(!mod.isModified());
}

void OpenModTest::modifiedMeansDifferentFromTheSavedText() {
    OpenMod mod;
    QList<bool> announced;
    connect(&mod, &OpenMod::modifiedChanged, this, [&](bool m) { announced << m; });
    mod.replace(twoFiles(), TextEncoding::Utf8, QStringLiteral("/tmp/x.mod"));
    const Node* first = mod.document().topLevel(0);
    mod.setKind(first->child(0), akSearchAddAfter);
    mod.removeNode(mod.document().topLevel(1));
    QVERIFY(mod.isModified());
    mod.history()->undo();
    mod.history()->undo();
    QVERIFY(!mod.isModified());
    mod.history()->redo();
    mod.markSaved();
    QVERIFY(!mod.isModified());
    mod.history()->undo();
    QVERIFY2(mod.isModified(), "the saved text had the retyped node");
    mod.history()->redo();
    QVERIFY(!mod.isModified());
    QCOMPARE(announced, (QList<bool>{true, false, true, false, true, false}));

    // A recovered copy differs from its file until it is saved.
    mod.replaceUnsaved(twoFiles(), TextEncoding::Utf8, QStringLiteral("/tmp/x.mod"), FileStamp{});
    QVERIFY(mod.isModified());
    QVERIFY(mod.stampToCheck().has_value());
    mod.addNode(nullptr, TItem{});
    mod.history()->undo();
    QVERIFY(mod.isModified());
    mod.markSaved();
    QVERIFY(!mod.isModified());
    QVERIFY(!mod.stampToCheck().has_value());
}

// After every step of random edits, undos, redos and saves of a real mod, the
// flag says whether the text differs from the one last opened or saved. The
// texts come from a few, so that edits often take each other back.
void OpenModTest::modifiedFollowsTheTextOnRandomSteps() {
    QFile file(QStringLiteral(TORVALE_SHARED_DIR "/realmods/apache24_fix_2.mod"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const auto open = [&](OpenMod& mod) {
        ModDocument doc;
        readMod(std::string_view(bytes.constData(), std::size_t(bytes.size())), doc);
        mod.replace(std::move(doc), TextEncoding::Windows1252, {});
        return mod.assemble();
    };

    // Two documents of one text: a tag inside a property moves the border.
    {
        OpenMod mod;
        const std::string saved = open(mod);
        mod.setProperty(Property::Id, "A\r\n</id>\r\n\r\n<version>\r\nB", false);
        mod.setProperty(Property::Version, "C", false);
        mod.markSaved();
        mod.setProperty(Property::Id, "A", false);
        QVERIFY(mod.isModified());
        mod.setProperty(Property::Version, "B\r\n</id>\r\n\r\n<version>\r\nC", false);
        QVERIFY(!mod.isModified());
    }

    const std::array<Text, 4> pool = {"", "x", "xy", "\r\nx"};
    for (unsigned seed = 1; seed <= 30; ++seed) {
        OpenMod mod;
        std::string saved = open(mod);
        std::mt19937 rng(seed);
        for (int i = 0; i < 300; ++i) {
            const ModDocument& doc = mod.document();
            const Node* node = anyNode(doc, rng);
            const bool typing = rng() % 2;
            switch (rng() % 12) {
            case 0:
            case 1:
                mod.history()->undo();
                break;
            case 2:
                mod.history()->redo();
                break;
            case 3:
                if (rng() % 3 == 0) {
                    mod.markSaved();
                    saved = mod.assemble();
                }
                break;
            case 4:
                mod.addNode(node->parent() ? node->parent() : node,
                            TItem{"", akSearchReplace + std::int32_t(rng() % 3), "", ""});
                break;
            case 5:
                if (doc.nodeCount() > 4)
                    mod.removeNode(node);
                break;
            case 6:
                if (auto place =
                        stepPlacement(doc, node, rng() % 2 ? Direction::Up : Direction::Down))
                    mod.moveNode(node, *place);
                break;
            case 7:
                if (isSearchAction(node->kind()))
                    mod.setKind(node, akSearchReplace + std::int32_t(rng() % 3));
                break;
            case 8:
                mod.setProperty(Property(rng() % kPropertyCount), pool[rng() % pool.size()],
                                typing);
                break;
            case 9:
                mod.endTyping();
                break;
            default:
                mod.setText(node, OpenMod::Field(rng() % 3), pool[rng() % pool.size()], typing);
                break;
            }
            if (mod.isModified() != (mod.assemble() != saved))
                QFAIL(qPrintable(QStringLiteral("seed %1, step %2").arg(seed).arg(i)));
        }
    }
}

QTEST_MAIN(OpenModTest)
#include "test_open_mod.moc"
