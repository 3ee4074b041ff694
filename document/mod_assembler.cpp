#include "mod_assembler.h"

#include <string_view>

namespace torvale {

namespace {

constexpr std::string_view kCrLf = "\r\n";

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}

    void line(std::string_view text) {
        out_.append(text);
        out_.append(kCrLf);
    }

    void block(int tag, std::string_view content, bool last = false) {
        line(openingTag(tag));
        line(content);
        if (last) {
            out_.append(closingTag(tag));
            return;
        }
        line(closingTag(tag));
        line({});
    }

private:
    std::string& out_;
};

// Each block adds its tags, three or four line ends and its content.
constexpr std::size_t kBlockOverhead = 40;

std::size_t expectedSize(const ModDocument& doc) {
    std::size_t size = 0;
    for (int p = 0; p < kPropertyCount; ++p)
        size += doc.property(Property(p)).size() + kBlockOverhead;
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        const auto add = [&size](const TItem& item) {
            size += item.FileName.size() + item.SearchText.size() + item.ActionText.size() +
                    2 * kBlockOverhead;
        };
        add(top->item());
        for (int c = 0; c < top->childCount(); ++c)
            add(top->child(c)->item());
    }
    return size;
}

void writeNode(Writer& w, const Node* node, bool last) {
    const TItem& item = node->item();
    if (item.Kind == akEditFile) {
        w.block(tagEditFile, item.FileName);
        return;
    }
    w.block(tagSearchFor, item.SearchText);
    w.block(actionTagOf(item.Kind), item.ActionText, last);
}

} // namespace

std::string assembleMod(const ModDocument& doc) {
    std::string out;
    out.reserve(expectedSize(doc));
    Writer w(out);
    for (int p = 0; p < kPropertyCount; ++p)
        w.block(p, doc.property(Property(p)));
    const Node* last = doc.lastNode();
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        writeNode(w, top, top == last);
        for (int c = 0; c < top->childCount(); ++c)
            writeNode(w, top->child(c), top->child(c) == last);
    }
    return out;
}

} // namespace torvale
