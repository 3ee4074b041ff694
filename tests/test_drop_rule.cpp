// The drop rule, checked for every pair of nodes by what the drop does to the tree.
#include "document/drop_rule.h"

#include <gtest/gtest.h>

using namespace torvale;

namespace {

// A top-level search action with a child (as read before any edit-file block),
// then two edit files with two search actions each.
struct Tree {
    ModDocument doc;
    std::vector<Node*> nodes; // display order
    Tree() {
        Node* loose = doc.appendNode(nullptr, TItem{"", akSearchReplace, "s", ""});
        doc.appendNode(loose, TItem{"", akSearchAddAfter, "s0", ""});
        for (const char* file : {"a", "b"}) {
            Node* top = doc.appendNode(nullptr, TItem{file, akEditFile, "", ""});
            for (int i = 0; i < 2; ++i)
                doc.appendNode(top, TItem{"", akSearchAddBefore, file + std::to_string(i), ""});
        }
        for (int r = 0; r < doc.topLevelCount(); ++r) {
            nodes.push_back(doc.topLevel(r));
            for (int c = 0; c < doc.topLevel(r)->childCount(); ++c)
                nodes.push_back(doc.topLevel(r)->child(c));
        }
    }
};

} // namespace

TEST(DropRule, EveryPlaceItGivesIsAMoveThatLandsWhereTheUserDropped) {
    const std::size_t count = Tree().nodes.size();
    for (std::size_t d = 0; d < count; ++d) {
        for (std::size_t t = 0; t < count; ++t) {
            Tree tree;
            Node* dragged = tree.nodes[d];
            Node* target = tree.nodes[t];
            SCOPED_TRACE(testing::Message() << "dragged " << d << ", target " << t);
            const bool refused = d == t || (dragged->level() == 0 && target->level() == 1);
            const auto place = dropPlace(dragged, target);
            ASSERT_EQ(place.has_value(), !refused);
            if (!place)
                continue;
            const bool intoTarget = dragged->level() == 1 && target->level() == 0;
            ASSERT_NO_THROW(tree.doc.moveNode(dragged, place->parent, place->beforeRow));
            if (intoTarget) {
                EXPECT_EQ(dragged->parent(), target);
                EXPECT_EQ(dragged->row(), target->childCount() - 1) << "the group's last";
            } else {
                EXPECT_EQ(dragged->parent(), target->parent());
                EXPECT_EQ(dragged->row() + 1, target->row()) << "just before the target";
            }
        }
    }
    EXPECT_FALSE(dropPlace(Tree().nodes[1], nullptr));
}
