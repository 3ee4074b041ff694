#include "document/mod_document.h"

#include <gtest/gtest.h>

using namespace torvale;

namespace {

TItem editFile(std::string name) {
    return TItem{std::move(name), akEditFile, "", ""};
}
TItem action(std::int32_t kind, std::string search = "") {
    return TItem{"", kind, std::move(search), ""};
}

// Two edit-file nodes with two and three search actions.
struct TwoFiles {
    ModDocument doc;
    Node* a;
    Node* b;
    TwoFiles() {
        a = doc.appendNode(nullptr, editFile("a.pl"));
        b = doc.appendNode(nullptr, editFile("b.pl"));
        for (int i = 0; i < 2; ++i)
            doc.appendNode(a, action(akSearchReplace, "a" + std::to_string(i)));
        for (int i = 0; i < 3; ++i)
            doc.appendNode(b, action(akSearchAddAfter, "b" + std::to_string(i)));
    }
    std::vector<std::string> order() const {
        std::vector<std::string> names;
        for (int r = 0; r < doc.topLevelCount(); ++r) {
            const Node* top = doc.topLevel(r);
            EXPECT_EQ(top->row(), r);
            names.push_back(top->item().FileName.str());
            for (int c = 0; c < top->childCount(); ++c) {
                EXPECT_EQ(top->child(c)->row(), c);
                EXPECT_EQ(top->child(c)->parent(), top);
                names.push_back(top->child(c)->item().SearchText.str());
            }
        }
        return names;
    }
};

} // namespace

TEST(Labels, FollowKindAndHowTheFileNameCame) {
    ModDocument doc;
    Node* added = doc.appendNode(nullptr, editFile(""));
    EXPECT_EQ(added->label(), "<edit file>");
    Node* read = doc.appendNode(nullptr, editFile("Sources/Post.pl"), LabelForm::Read);
    EXPECT_EQ(read->label(), "<edit file> Sources/Post.pl");
    doc.setFileName(read, "Sources/Post.pl");
    EXPECT_EQ(read->label(), "<edit file>Sources/Post.pl") << "editing drops the space";
    Node* search = doc.appendNode(read, action(akSearchAddBefore));
    EXPECT_EQ(search->label(), "search and addbefore");
    doc.setKind(search, akSearchReplace);
    EXPECT_EQ(search->label(), "search and replace");
    EXPECT_THROW(doc.setKind(search, 4), std::invalid_argument);
}

TEST(Steps, CountSearchActionsUnderEditFiles) {
    ModDocument empty;
    EXPECT_EQ(empty.GetTotalSteps(), 0);
    EXPECT_EQ(empty.GetStep(nullptr), 0);

    TwoFiles t;
    EXPECT_EQ(t.doc.GetTotalSteps(), 5);
    EXPECT_EQ(t.doc.GetStep(t.b->child(0)), 3);
    EXPECT_EQ(t.doc.GetStep(t.a->child(1)), 2);
    EXPECT_EQ(t.doc.GetStep(t.b), 0) << "an edit-file node is no step";

    // A search action on the top level (read before any edit file) is no step.
    Node* top = t.doc.insertNode(nullptr, 0, action(akSearchReplace));
    EXPECT_EQ(t.doc.GetTotalSteps(), 5);
    EXPECT_EQ(t.doc.GetStep(top), 0);
    EXPECT_EQ(t.doc.GetStep(t.b->child(2)), 5);
}

TEST(Structure, InsertRemoveAndCount) {
    TwoFiles t;
    EXPECT_EQ(t.doc.nodeCount(), 7u);
    EXPECT_EQ(t.doc.lastNode(), t.b->child(2));
    t.doc.insertNode(t.a, 1, action(akSearchReplace, "mid"));
    EXPECT_EQ(t.order(),
              (std::vector<std::string>{"a.pl", "a0", "mid", "a1", "b.pl", "b0", "b1", "b2"}));
    EXPECT_EQ(t.doc.removeNode(t.a), 4u) << "children go with their edit-file node";
    EXPECT_EQ(t.doc.nodeCount(), 4u);
    EXPECT_EQ(t.b->row(), 0);
    EXPECT_THROW(t.doc.appendNode(t.b->child(0), action(akSearchReplace)), std::invalid_argument)
        << "no third level";
    EXPECT_THROW(t.doc.appendNode(t.b, editFile("x")), std::invalid_argument)
        << "edit files stay on the top level";
    EXPECT_THROW(t.doc.insertNode(nullptr, 5, editFile("x")), std::out_of_range);
    t.doc.removeNode(t.b);
    EXPECT_TRUE(t.doc.treeEmpty());
    EXPECT_EQ(t.doc.lastNode(), nullptr);
    EXPECT_EQ(t.doc.nodeCount(), 0u);
}

TEST(Structure, MovesKeepRecordsAndRows) {
    TwoFiles t;
    Node* a1 = t.a->child(1);
    // A search action to another edit file, before its first child.
    t.doc.moveNode(t.a->child(0), t.b, 0);
    EXPECT_EQ(t.order(), (std::vector<std::string>{"a.pl", "a1", "b.pl", "a0", "b0", "b1", "b2"}));
    // To the end of its own group.
    t.doc.moveNode(t.b->child(0), t.b, t.b->childCount());
    EXPECT_EQ(t.order(), (std::vector<std::string>{"a.pl", "a1", "b.pl", "b0", "b1", "b2", "a0"}));
    // Before its next sibling: the order stays.
    t.doc.moveNode(t.b->child(1), t.b, 2);
    EXPECT_EQ(t.order(), (std::vector<std::string>{"a.pl", "a1", "b.pl", "b0", "b1", "b2", "a0"}));
    // An edit-file node moves with its children.
    t.doc.moveNode(t.b, nullptr, 0);
    EXPECT_EQ(t.order(), (std::vector<std::string>{"b.pl", "b0", "b1", "b2", "a0", "a.pl", "a1"}));
    EXPECT_EQ(a1->parent(), t.a) << "a moved node keeps its record and parent link";
    EXPECT_EQ(t.doc.nodeCount(), 7u);

    EXPECT_FALSE(ModDocument::canMove(t.b, t.a)) << "a node with children stays on top";
    EXPECT_FALSE(ModDocument::canMove(a1, a1));
    EXPECT_THROW(t.doc.moveNode(t.b, t.a, 0), std::invalid_argument);
}

TEST(Structure, EqualityComparesContentNotIdentity) {
    TwoFiles x;
    TwoFiles y;
    EXPECT_TRUE(x.doc == y.doc);
    y.doc.setSearchText(y.b->child(2), "changed");
    EXPECT_FALSE(x.doc == y.doc);
    y.doc.setSearchText(y.b->child(2), "b2");
    y.doc.setFileName(y.a, "a.pl", LabelForm::Read);
    EXPECT_FALSE(x.doc == y.doc) << "the label differs";
    x.doc.setProperty(Property::Author, "me");
    x.doc.clear();
    EXPECT_TRUE(x.doc == ModDocument());
}

TEST(Structure, NodesSurviveManyAddsRemovesAndMoves) {
    // Enough nodes to fill several slabs, then holes, reuse and a moved document.
    ModDocument doc;
    std::vector<Node*> files;
    for (int f = 0; f < 300; ++f) {
        files.push_back(doc.appendNode(nullptr, editFile("f" + std::to_string(f))));
        for (int a = 0; a < 10; ++a)
            doc.appendNode(files.back(), action(akSearchReplace, std::to_string(f * 10 + a)));
    }
    EXPECT_EQ(doc.nodeCount(), 3300u);
    for (int f = 0; f < 300; f += 2)
        doc.removeNode(files[std::size_t(f)]);
    EXPECT_EQ(doc.nodeCount(), 1650u);
    for (int f = 0; f < 150; ++f)
        doc.appendNode(doc.topLevel(f), action(akSearchAddAfter, "again"));
    EXPECT_EQ(doc.GetTotalSteps(), 1650);

    ModDocument moved(std::move(doc));
    EXPECT_EQ(moved.topLevel(0)->item().FileName, "f1");
    EXPECT_EQ(moved.topLevel(0)->child(10)->item().SearchText, "again");
    EXPECT_EQ(doc.nodeCount(), 0u);
    ModDocument other;
    other.appendNode(nullptr, editFile("replaced"));
    other = std::move(moved);
    EXPECT_EQ(other.topLevelCount(), 150);
    EXPECT_EQ(other.topLevel(149)->child(9)->item().SearchText, "2999");
}

TEST(TextBytes, SlicesKeepTheirBytesAlive) {
    Text slice;
    {
        const SharedBytes source = SharedBytes::copyOf("hello, world");
        slice = Text::slice(source.owner, source.bytes.substr(7, 5));
    }
    EXPECT_EQ(slice, "world");
    EXPECT_EQ(Text(), "");
    EXPECT_TRUE(Text("").empty());
    EXPECT_EQ(Text(std::string(3, 'x')).size(), 3u);
    EXPECT_TRUE(Text("a") == Text(std::string("a")));
}
