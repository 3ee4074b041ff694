// The saved text of a document and the cheap answer to "does the document
// still assemble to it": a size kept per edit, then blocks, then bytes.
#include "saved_text.h"

#include <algorithm>
#include <cstring>

namespace torvale {

namespace {

template <class... F> struct Overloaded : F... { using F::operator()...; };
template <class... F> Overloaded(F...) -> Overloaded<F...>;

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kAfterBlock = "\r\n\r\n";

// A block as the assembler writes it: its tags, its content and two line ends.
std::size_t blockSize(int tag, std::size_t content) {
    return openingTag(tag).size() + content + closingTag(tag).size() + 2 * kCrLf.size();
}

// What a node adds to the text: its blocks, each after the blank line that
// ends the block before.
std::size_t spanOf(const TItem& item) {
    if (item.Kind == akEditFile)
        return kAfterBlock.size() + blockSize(tagEditFile, item.FileName.size());
    return 2 * kAfterBlock.size() + blockSize(tagSearchFor, item.SearchText.size()) +
           blockSize(actionTagOf(item.Kind), item.ActionText.size());
}

// The blank line at the very end, there unless the last block is a search action's.
std::size_t endSize(const ModDocument& doc) {
    const Node* last = doc.lastNode();
    return !last || last->kind() == akEditFile ? kAfterBlock.size() : 0;
}

std::size_t bodySizeOf(const ModDocument& doc) {
    std::size_t size = kAfterBlock.size() * (kPropertyCount - 1);
    for (int p = 0; p < kPropertyCount; ++p)
        size += blockSize(p, doc.property(Property(p)).size());
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        size += spanOf(top->item());
        for (int c = 0; c < top->childCount(); ++c)
            size += spanOf(top->child(c)->item());
    }
    return size;
}

std::ptrdiff_t difference(std::size_t after, std::size_t before) {
    return std::ptrdiff_t(after) - std::ptrdiff_t(before);
}

// How much the body of the text grows when edit is applied to doc; none for
// an edit that rewrites every text. An edit that does not fit changes
// nothing, as applyEdit then throws.
std::optional<std::ptrdiff_t> sizeChange(const ModDocument& doc, const Edit& edit) {
    const auto textOf = [&](NodePath at, bool editFile) -> const Node* {
        const Node* node = nodeAt(doc, at);
        return node && (node->kind() == akEditFile) == editFile ? node : nullptr;
    };
    return std::visit(
        Overloaded{
            [](const edits::Insert& e) -> std::optional<std::ptrdiff_t> {
                std::size_t span = spanOf(e.node.item);
                for (const NodeCopy& child : e.node.children)
                    span += spanOf(child.item);
                return std::ptrdiff_t(span);
            },
            [&](const edits::Remove& e) -> std::optional<std::ptrdiff_t> {
                const Node* node = nodeAt(doc, e.at);
                if (!node)
                    return 0;
                std::size_t span = spanOf(node->item());
                for (int c = 0; c < node->childCount(); ++c)
                    span += spanOf(node->child(c)->item());
                return -std::ptrdiff_t(span);
            },
            [](const edits::Move&) -> std::optional<std::ptrdiff_t> { return 0; },
            [&](const edits::SetKind& e) -> std::optional<std::ptrdiff_t> {
                const Node* node = textOf(e.at, false);
                if (!node || !isSearchAction(e.kind))
                    return 0;
                const std::size_t action = node->item().ActionText.size();
                return difference(blockSize(actionTagOf(e.kind), action),
                                  blockSize(actionTagOf(node->kind()), action));
            },
            [&](const edits::SetFileName& e) -> std::optional<std::ptrdiff_t> {
                const Node* node = textOf(e.at, true);
                return node ? difference(e.fileName.size(), node->item().FileName.size()) : 0;
            },
            [&](const edits::SetSearchText& e) -> std::optional<std::ptrdiff_t> {
                const Node* node = textOf(e.at, false);
                return node ? difference(e.text.size(), node->item().SearchText.size()) : 0;
            },
            [&](const edits::SetActionText& e) -> std::optional<std::ptrdiff_t> {
                const Node* node = textOf(e.at, false);
                return node ? difference(e.text.size(), node->item().ActionText.size()) : 0;
            },
            [&](const edits::SetProperty& e) -> std::optional<std::ptrdiff_t> {
                if (int(e.property) < 0 || int(e.property) >= kPropertyCount)
                    return 0;
                return difference(e.value.size(), doc.property(e.property).size());
            },
            [](const edits::SetAllTexts&) -> std::optional<std::ptrdiff_t> {
                return std::nullopt;
            },
        },
        edit);
}

struct Block {
    int tag;
    std::string_view content;
};

struct NodeTexts {
    std::int32_t kind = akEditFile;
    std::string_view file, search, action;
};

// The nodes of a document in display order.
class DocumentNodes {
public:
    explicit DocumentNodes(const ModDocument& doc) : doc_(doc) {}
    std::string_view property(int p) const { return doc_.property(Property(p)).view(); }
    bool next(NodeTexts& out) {
        while (top_ < doc_.topLevelCount()) {
            const Node* top = doc_.topLevel(top_);
            const Node* node =
                child_ < 0 ? top : child_ < top->childCount() ? top->child(child_) : nullptr;
            if (!node) {
                ++top_;
                child_ = -1;
                continue;
            }
            ++child_;
            const TItem& item = node->item();
            out = {item.Kind, item.FileName.view(), item.SearchText.view(), item.ActionText.view()};
            return true;
        }
        return false;
    }

private:
    const ModDocument& doc_;
    int top_ = 0;
    int child_ = -1;
};

// The nodes of a snapshot, in the same order.
class SnapshotNodes {
public:
    explicit SnapshotNodes(const DocumentSnapshot& snapshot) : snapshot_(snapshot) {}
    std::string_view property(int p) const { return snapshot_.texts[std::size_t(p)].view(); }
    bool next(NodeTexts& out) {
        if (at_ == snapshot_.nodes.size())
            return false;
        const Text* texts = &snapshot_.texts[kPropertyCount + 3 * at_];
        out = {snapshot_.nodes[at_].kind, texts[0].view(), texts[1].view(), texts[2].view()};
        ++at_;
        return true;
    }

private:
    const DocumentSnapshot& snapshot_;
    std::size_t at_ = 0;
};

// The blocks of a text in order, as the assembler writes them.
template <class Nodes> class Blocks {
public:
    explicit Blocks(Nodes nodes) : nodes_(std::move(nodes)) {}
    bool next(Block& block) {
        if (property_ < kPropertyCount) {
            block = {property_, nodes_.property(property_)};
            ++property_;
            return true;
        }
        if (actionDue_) {
            actionDue_ = false;
            block = {actionTagOf(node_.kind), node_.action};
            return true;
        }
        if (!nodes_.next(node_))
            return false;
        actionDue_ = node_.kind != akEditFile;
        block = actionDue_ ? Block{tagSearchFor, node_.search} : Block{tagEditFile, node_.file};
        return true;
    }

private:
    Nodes nodes_;
    NodeTexts node_;
    int property_ = 0;
    bool actionDue_ = false;
};

// The bytes of a text from a given block on, in pieces, none of them empty.
template <class Nodes> class Pieces {
public:
    // first is the block to start with, none when the blocks have ended;
    // lastTag is the block's before it, -1 for none.
    Pieces(Blocks<Nodes>& blocks, const Block* first, int lastTag)
        : blocks_(blocks), lastTag_(lastTag) {
        if (first)
            queue(*first);
        else
            finish();
    }
    // The next piece; empty at the end.
    std::string_view next() {
        for (;;) {
            while (at_ < count_)
                if (const std::string_view piece = queue_[at_++]; !piece.empty())
                    return piece;
            if (ended_)
                return {};
            Block block;
            if (blocks_.next(block))
                queue(block);
            else
                finish();
        }
    }

private:
    void push(std::string_view piece) { queue_[count_++] = piece; }
    void queue(const Block& block) {
        at_ = count_ = 0;
        if (lastTag_ >= 0)
            push(kAfterBlock);
        push(openingTag(block.tag));
        push(kCrLf);
        push(block.content);
        push(kCrLf);
        push(closingTag(block.tag));
        lastTag_ = block.tag;
    }
    void finish() {
        at_ = count_ = 0;
        ended_ = true;
        if (lastTag_ >= 0 && lastTag_ < tagReplace)
            push(kAfterBlock);
    }

    Blocks<Nodes>& blocks_;
    std::string_view queue_[6];
    int at_ = 0;
    int count_ = 0;
    int lastTag_;
    bool ended_ = false;
};

bool sameBytes(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           (a.data() == b.data() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

template <class A, class B> bool sameStream(Pieces<A>& a, Pieces<B>& b) {
    std::string_view x, y;
    for (;;) {
        if (x.empty())
            x = a.next();
        if (y.empty())
            y = b.next();
        if (x.empty() || y.empty())
            return x.empty() && y.empty();
        if (x.data() == y.data() && x.size() == y.size()) {
            x = y = {};
            continue;
        }
        const std::size_t n = std::min(x.size(), y.size());
        if (std::memcmp(x.data(), y.data(), n) != 0)
            return false;
        x.remove_prefix(n);
        y.remove_prefix(n);
    }
}

// Whether the two assemble to the same text: block by block while the blocks
// agree, which holds for all of a text that nobody changed, then as bytes.
template <class A, class B> bool sameText(Blocks<A> a, Blocks<B> b) {
    int lastTag = -1;
    Block x, y;
    for (;;) {
        const bool hasX = a.next(x);
        const bool hasY = b.next(y);
        if (!hasX && !hasY)
            return true;
        if (hasX && hasY && x.tag == y.tag && sameBytes(x.content, y.content)) {
            lastTag = x.tag;
            continue;
        }
        Pieces<A> restA(a, hasX ? &x : nullptr, lastTag);
        Pieces<B> restB(b, hasY ? &y : nullptr, lastTag);
        return sameStream(restA, restB);
    }
}

} // namespace

std::size_t assembledSize(const ModDocument& doc) {
    return bodySizeOf(doc) + endSize(doc);
}

void SavedText::take(const ModDocument& doc) {
    saved_ = snapshotOf(doc);
    bodySize_ = bodySizeOf(doc);
    savedSize_ = bodySize_ + endSize(doc);
}

void SavedText::forget() {
    saved_.reset();
}

Edit SavedText::apply(ModDocument& doc, Edit edit, EditObserver* observer) {
    const std::optional<std::ptrdiff_t> change = sizeChange(doc, edit);
    Edit inverse = applyEdit(doc, std::move(edit), observer);
    bodySize_ = change ? std::size_t(std::ptrdiff_t(bodySize_) + *change) : bodySizeOf(doc);
    return inverse;
}

bool SavedText::differs(const ModDocument& doc) const {
    if (!saved_ || bodySize_ + endSize(doc) != savedSize_)
        return true;
    return !sameText(Blocks(DocumentNodes(doc)), Blocks(SnapshotNodes(*saved_)));
}

} // namespace torvale
