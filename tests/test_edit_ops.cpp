// Edits and their inverses, and Move Up / Move Down, held to a plain list of
// the mod's rows in file order, over thousands of random edits.
#include "document/drop_rule.h"
#include "document/edit_ops.h"
#include "document/mod_assembler.h"
#include "document/mod_reader.h"
#include "document/node_moves.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace torvale;
using torvale::test::readBytes;
using torvale::test::sharedDir;

namespace {

struct Row {
    int level;
    TItem item;
    LabelForm form;
    bool operator==(const Row&) const = default;
};

// The mod as the rows of its file, in order: the obviously right model. A row
// of level 1 belongs to the nearest row of level 0 above it.
struct PlainMod {
    std::array<Text, kPropertyCount> properties;
    std::vector<Row> rows;

    bool operator==(const PlainMod&) const = default;

    // The row of the top-level node at topRow; rows.size() past the last.
    std::size_t start(int topRow) const {
        int seen = -1;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].level == 0 && ++seen == topRow)
                return i;
        return rows.size();
    }
    std::size_t index(NodePath p) const {
        return p.parentRow < 0 ? start(p.row) : start(p.parentRow) + 1 + std::size_t(p.row);
    }
    std::vector<Row> take(NodePath p) { return takeAt(index(p)); }
    // The row at i with its children.
    std::vector<Row> takeAt(std::size_t i) {
        std::size_t end = i + 1;
        while (rows[i].level == 0 && end < rows.size() && rows[end].level == 1)
            ++end;
        std::vector<Row> block(rows.begin() + std::ptrdiff_t(i),
                               rows.begin() + std::ptrdiff_t(end));
        rows.erase(rows.begin() + std::ptrdiff_t(i), rows.begin() + std::ptrdiff_t(end));
        return block;
    }
    void put(NodePath p, std::vector<Row> block) {
        block[0].level = p.parentRow < 0 ? 0 : 1;
        putAt(index(p), std::move(block));
    }
    void putAt(std::size_t i, const std::vector<Row>& block) {
        rows.insert(rows.begin() + std::ptrdiff_t(i), block.begin(), block.end());
    }
    Row& at(NodePath p) { return rows[index(p)]; }

    void apply(const Edit& edit) {
        if (auto* e = std::get_if<edits::Insert>(&edit)) {
            std::vector<Row> block{{0, e->node.item, e->node.form}};
            for (const NodeCopy& child : e->node.children)
                block.push_back({1, child.item, child.form});
            put(e->at, block);
        } else if (auto* e = std::get_if<edits::Remove>(&edit)) {
            take(e->at);
        } else if (auto* e = std::get_if<edits::Move>(&edit)) {
            put(e->to, take(e->from));
        } else if (auto* e = std::get_if<edits::SetKind>(&edit)) {
            at(e->at).item.Kind = e->kind;
        } else if (auto* e = std::get_if<edits::SetFileName>(&edit)) {
            at(e->at).item.FileName = e->fileName;
            at(e->at).form = e->form;
        } else if (auto* e = std::get_if<edits::SetSearchText>(&edit)) {
            at(e->at).item.SearchText = e->text;
        } else if (auto* e = std::get_if<edits::SetActionText>(&edit)) {
            at(e->at).item.ActionText = e->text;
        } else if (auto* e = std::get_if<edits::SetProperty>(&edit)) {
            properties[std::size_t(e->property)] = e->value;
        } else if (auto* e = std::get_if<edits::SetAllTexts>(&edit)) {
            auto text = e->texts.begin();
            for (Text& property : properties)
                property = *text++;
            for (Row& row : rows) {
                row.item.FileName = *text++;
                row.item.SearchText = *text++;
                row.item.ActionText = *text++;
            }
        }
    }

    // Move Up and Move Down in file order: a search action trades places with
    // the row above or below it, whatever that row is, as long as it stays
    // below the first row; a top-level node trades places with the
    // neighbouring top-level node, each with its children.
    bool step(std::size_t i, Direction where) {
        const bool up = where == Direction::Up;
        if (rows[i].level == 1) {
            const std::size_t other = up ? i - 1 : i + 1;
            if ((up && i < 2) || (!up && other >= rows.size()))
                return false;
            std::swap(rows[i], rows[other]);
            return true;
        }
        int top = 0;
        for (std::size_t r = 0; r < i; ++r)
            top += rows[r].level == 0;
        const int neighbour = up ? top - 1 : top + 1;
        if (neighbour < 0 || start(neighbour) == rows.size())
            return false;
        put({-1, up ? neighbour : top}, take({-1, up ? top : neighbour}));
        return true;
    }

    // Dropping the row at from on the row at onto: onto a row of its own
    // level it goes just before it; a search action onto a top-level row goes
    // to the end of that row's children.
    bool drop(std::size_t from, std::size_t onto) {
        const int level = rows[from].level;
        const int ontoLevel = rows[onto].level;
        if (from == onto || (level == 0 && ontoLevel == 1))
            return false;
        std::vector<Row> block = takeAt(from);
        if (onto > from)
            onto -= block.size();
        if (level == 1 && ontoLevel == 0)
            do
                ++onto;
            while (onto < rows.size() && rows[onto].level == 1);
        putAt(onto, block);
        return true;
    }
};

PlainMod flatten(const ModDocument& doc) {
    PlainMod plain;
    for (int p = 0; p < kPropertyCount; ++p)
        plain.properties[std::size_t(p)] = doc.property(Property(p));
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        plain.rows.push_back({0, top->item(), top->labelForm()});
        for (int c = 0; c < top->childCount(); ++c)
            plain.rows.push_back({1, top->child(c)->item(), top->child(c)->labelForm()});
    }
    return plain;
}

class RandomEdits {
public:
    explicit RandomEdits(unsigned seed) : rng_(seed) {}

    int below(int n) { return n <= 0 ? 0 : int(rng_() % unsigned(n)); }
    bool chance(int percent) { return below(100) < percent; }

    Text text() {
        static const char* pieces[] = {"my $x", " = ", "\r\n", "<br>", "\xE9", "\xC3\xA9", "", "~"};
        std::string s;
        for (int n = below(4); n > 0; --n)
            s += pieces[below(int(std::size(pieces)))];
        return Text(s);
    }
    std::int32_t searchKind() { return akSearchReplace + below(3); }
    LabelForm form() { return LabelForm(below(3)); }
    TItem searchItem() { return TItem{"", searchKind(), text(), text()}; }

    Node* anyNode(const ModDocument& doc) {
        int n = below(int(doc.nodeCount()));
        for (int r = 0; r < doc.topLevelCount(); ++r) {
            Node* top = doc.topLevel(r);
            if (n == 0)
                return top;
            if (n <= top->childCount())
                return top->child(n - 1);
            n -= 1 + top->childCount();
        }
        return nullptr;
    }

    Edit insert(const ModDocument& doc) {
        const int tops = doc.topLevelCount();
        if (tops > 0 && chance(60)) {
            const int parent = below(tops);
            return edits::Insert{{parent, below(doc.topLevel(parent)->childCount() + 1)},
                                 {searchItem(), form(), {}}};
        }
        NodeCopy node{TItem{text(), akEditFile, "", ""}, form(), {}};
        if (chance(10))
            node.item = searchItem(); // as read before the first edit file
        for (int n = below(4); n > 0; --n)
            node.children.push_back({searchItem(), form(), {}});
        return edits::Insert{{-1, below(tops + 1)}, std::move(node)};
    }

    // Any move that keeps the tree's shape: a node with children or an edit
    // file to another top-level row, a search action anywhere.
    Edit move(const ModDocument& doc, const Node* node) {
        const NodePath from = pathOf(node);
        const int topsAfter = doc.topLevelCount() - (from.parentRow < 0 ? 1 : 0);
        if (node->kind() == akEditFile || node->childCount() > 0 || topsAfter == 0 || chance(20))
            return edits::Move{from, {-1, below(topsAfter + 1)}};
        const int parentRow = below(topsAfter);
        // The parent's children once the node is out.
        int pre = parentRow;
        if (from.parentRow < 0 && from.row <= parentRow)
            ++pre;
        const Node* parent = doc.topLevel(pre);
        const int room = parent->childCount() - (node->parent() == parent ? 1 : 0);
        return edits::Move{from, {parentRow, below(room + 1)}};
    }

    Edit any(const ModDocument& doc) {
        Node* node = anyNode(doc);
        // Grow small documents, shrink large ones.
        const int grow = doc.nodeCount() < 30 ? 35 : 15;
        const int choice = below(100);
        if (!node || choice < grow)
            return insert(doc);
        const NodePath at = pathOf(node);
        if (choice < grow + 15)
            return edits::Remove{at};
        if (choice < grow + 30)
            return move(doc, node);
        if (choice < grow + 38 && isSearchAction(node->kind()))
            return edits::SetKind{at, searchKind()};
        if (choice < grow + 48)
            return edits::SetFileName{at, text(), form()};
        if (choice < grow + 58)
            return edits::SetSearchText{at, text()};
        if (choice < grow + 68)
            return edits::SetActionText{at, text()};
        if (choice < grow + 80)
            return edits::SetProperty{Property(below(kPropertyCount)), text()};
        if (choice < grow + 82)
            return recodeToUtf8(doc);
        return edits::Remove{at};
    }

private:
    std::mt19937 rng_;
};

} // namespace

TEST(EditHistory, RandomEditsUndoToTheOriginalAndRedoToTheEnd) {
    RandomEdits random(20261208);
    // A real mod, so that undoing all gives back the bytes as they were read.
    ModDocument doc;
    readMod(readBytes(sharedDir() / "realmods" / "apache24_fix_2.mod"), doc);
    PlainMod plain = flatten(doc);
    const PlainMod original = plain;
    std::vector<std::string> assembled{assembleMod(doc)};
    std::vector<PlainMod> states{plain};
    std::vector<Edit> undo;
    int steps = 0;
    for (int i = 0; i < 4000; ++i) {
        // Now and then Move Up or Move Down, or a drop, held to the rows' own rules.
        Node* node = random.anyNode(doc);
        if (Node* target = random.anyNode(doc); node && random.chance(15)) {
            const auto place = dropPlace(node, target);
            ASSERT_EQ(place.has_value(),
                      plain.drop(plain.index(pathOf(node)), plain.index(pathOf(target))))
                << "step " << i;
            if (!place)
                continue;
            undo.push_back(applyEdit(doc, moveTo(node, *place)));
        } else if (node && random.chance(25)) {
            const auto where = random.chance(50) ? Direction::Up : Direction::Down;
            const std::size_t row = plain.index(pathOf(node));
            const auto placement = stepPlacement(doc, node, where);
            ASSERT_EQ(placement.has_value(), plain.step(row, where)) << "step " << i;
            if (!placement)
                continue;
            undo.push_back(applyEdit(doc, moveTo(node, *placement)));
        } else {
            Edit edit = random.any(doc);
            plain.apply(edit);
            undo.push_back(applyEdit(doc, std::move(edit)));
        }
        ++steps;
        ASSERT_TRUE(flatten(doc) == plain) << "step " << i;
        assembled.push_back(assembleMod(doc));
        states.push_back(plain);
    }
    ASSERT_GT(doc.nodeCount(), 10u);
    const std::string finalText = assembled.back();

    std::vector<Edit> redo;
    while (!undo.empty()) {
        redo.push_back(applyEdit(doc, std::move(undo.back())));
        undo.pop_back();
        assembled.pop_back();
        states.pop_back();
        ASSERT_EQ(assembleMod(doc), assembled.back()) << undo.size();
        ASSERT_TRUE(flatten(doc) == states.back()) << undo.size();
    }
    EXPECT_TRUE(flatten(doc) == original);

    while (!redo.empty()) {
        undo.push_back(applyEdit(doc, std::move(redo.back())));
        redo.pop_back();
    }
    EXPECT_EQ(int(undo.size()), steps);
    EXPECT_TRUE(flatten(doc) == plain);
    EXPECT_EQ(assembleMod(doc), finalText);
}

namespace {

// a: a0 a1 | b: b0 | c (no children)
ModDocument threeFiles() {
    ModDocument doc;
    for (const char* name : {"a", "b", "c"})
        doc.appendNode(nullptr, TItem{name, akEditFile, "", ""});
    for (const char* search : {"a0", "a1"})
        doc.appendNode(doc.topLevel(0), TItem{"", akSearchReplace, search, ""});
    doc.appendNode(doc.topLevel(1), TItem{"", akSearchAddAfter, "b0", ""});
    return doc;
}

std::string order(const ModDocument& doc) {
    std::string out;
    for (const Row& row : flatten(doc).rows)
        out += (row.level     ? " "
                : out.empty() ? ""
                              : " | ") +
               (row.level ? row.item.SearchText : row.item.FileName).str();
    return out;
}

} // namespace

TEST(MoveUpDown, SearchActionsCrossIntoTheNeighbouringGroup) {
    const struct {
        NodePath node;
        Direction where;
        const char* after; // empty: the node stays
    } cases[] = {
        {{1, 0}, Direction::Up, "a a0 a1 b0 | b | c"},   // to the end of the group above
        {{0, 1}, Direction::Down, "a a0 | b a1 b0 | c"}, // to the start of the group below
        {{1, 0}, Direction::Down, "a a0 a1 | b | c b0"}, // into a group with no children
        {{0, 0}, Direction::Down, "a a1 a0 | b b0 | c"},
        {{-1, 0}, Direction::Down, "b b0 | a a0 a1 | c"}, // with its children
        {{-1, 2}, Direction::Up, "a a0 a1 | c | b b0"},
        {{0, 0}, Direction::Up, ""},  // the first search action of the first group
        {{-1, 0}, Direction::Up, ""}, // the first edit file
        {{-1, 2}, Direction::Down, ""},
    };
    for (const auto& c : cases) {
        ModDocument doc = threeFiles();
        const std::string before = order(doc);
        const Node* node = nodeAt(doc, c.node);
        const auto placement = stepPlacement(doc, node, c.where);
        ASSERT_EQ(placement.has_value(), *c.after != '\0') << c.after;
        if (!placement)
            continue;
        const TItem moved = node->item();
        const edits::Move move = moveTo(node, *placement);
        Edit back = applyEdit(doc, move);
        EXPECT_EQ(order(doc), c.after);
        EXPECT_EQ(nodeAt(doc, move.to)->item(), moved) << "the move says where the node went";
        applyEdit(doc, std::move(back));
        EXPECT_EQ(order(doc), before);
    }
}

TEST(EditHistory, AnEditThatDoesNotFitChangesNothing) {
    const TItem search{"", akSearchReplace, "s", ""};
    const TItem file{"f", akEditFile, "", ""};
    const Edit misfits[] = {
        edits::Insert{{0, 0}, {file, LabelForm::Added, {}}}, // edit file below
        edits::Insert{
            {0, 0}, {search, LabelForm::Added, {{search, LabelForm::Added, {}}}}}, // a third level
        edits::Insert{
            {-1, 0},
            {file, LabelForm::Added, {{file, LabelForm::Added, {}}}}}, // edit file as a child
        edits::Insert{{-1, 4}, {file, LabelForm::Added, {}}},
        edits::Insert{{3, 0}, {search, LabelForm::Added, {}}},
        edits::Remove{{0, 2}},
        edits::Move{{-1, 0}, {0, 0}}, // an edit file under another
        edits::Move{{0, 0}, {-1, 4}}, // past the end
        edits::Move{{0, 0}, {0, 2}},  // past the end of its own group
        edits::SetKind{{-1, 0}, akSearchReplace},
        edits::SetKind{{0, 0}, akEditFile},
        edits::SetSearchText{{2, 0}, "x"},
        edits::SetAllTexts{{"too few"}},
    };
    for (const Edit& misfit : misfits) {
        ModDocument doc = threeFiles();
        EXPECT_THROW(applyEdit(doc, misfit), std::invalid_argument) << misfit.index();
        EXPECT_TRUE(doc == threeFiles()) << misfit.index();
    }
}

TEST(EditHistory, RecodingKeepsTheCharactersAndUndoesToTheBytes) {
    ModDocument doc = threeFiles();
    applyEdit(doc, edits::SetSearchText{{0, 0}, "caf\xE9 \x80"});
    applyEdit(doc, edits::SetProperty{Property::Author, "J\xFCrgen"});
    const ModDocument before = documentFrom(snapshotOf(doc));
    EXPECT_TRUE(before == doc);
    Edit back = applyEdit(doc, recodeToUtf8(doc));
    EXPECT_EQ(doc.topLevel(0)->child(0)->item().SearchText, "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(doc.property(Property::Author), "J\xC3\xBCrgen");
    EXPECT_TRUE(isValidUtf8(assembleMod(doc)));
    applyEdit(doc, std::move(back));
    EXPECT_TRUE(doc == before);
}
