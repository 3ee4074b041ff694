#include "mod_assembler.h"

namespace torvale {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Collects the text into a string.
class StringOut {
public:
    explicit StringOut(std::string& out) : out_(out) {}
    void put(std::string_view piece) { out_.append(piece); }

private:
    std::string& out_;
};

// Hands the text on in pieces of about kChunk bytes, and long texts as they are.
class StreamOut {
public:
    explicit StreamOut(const std::function<bool(std::string_view)>& write) : write_(write) {
        buffer_.reserve(kChunk);
    }
    void put(std::string_view piece) {
        if (buffer_.size() + piece.size() > kChunk) {
            flush();
            if (piece.size() >= kChunk / 4) {
                ok_ = ok_ && write_(piece);
                return;
            }
        }
        buffer_.append(piece);
    }
    bool finish() {
        flush();
        return ok_;
    }

private:
    static constexpr std::size_t kChunk = std::size_t(1) << 18;
    void flush() {
        if (ok_ && !buffer_.empty())
            ok_ = write_(buffer_);
        buffer_.clear();
    }
    const std::function<bool(std::string_view)>& write_;
    std::string buffer_;
    bool ok_ = true;
};

template <class Out> class Writer {
public:
    explicit Writer(Out& out) : out_(out) {}

    void line(std::string_view text) {
        out_.put(text);
        out_.put(kCrLf);
    }

    void block(int tag, std::string_view content, bool last = false) {
        line(openingTag(tag));
        line(content);
        if (last) {
            out_.put(closingTag(tag));
            return;
        }
        line(closingTag(tag));
        out_.put(kCrLf);
    }

    void node(const Node* node, bool last) {
        const TItem& item = node->item();
        if (item.Kind == akEditFile) {
            block(tagEditFile, item.FileName);
            return;
        }
        block(tagSearchFor, item.SearchText);
        block(actionTagOf(item.Kind), item.ActionText, last);
    }

    void document(const ModDocument& doc) {
        for (int p = 0; p < kPropertyCount; ++p)
            block(p, doc.property(Property(p)));
        const Node* last = doc.lastNode();
        for (int r = 0; r < doc.topLevelCount(); ++r) {
            const Node* top = doc.topLevel(r);
            node(top, top == last);
            for (int c = 0; c < top->childCount(); ++c)
                node(top->child(c), top->child(c) == last);
        }
    }

private:
    Out& out_;
};

// Each block adds its tags, three or four line ends and its content.
constexpr std::size_t kBlockOverhead = 40;

std::size_t expectedSize(const ModDocument& doc) {
    std::size_t size = 0;
    for (int p = 0; p < kPropertyCount; ++p)
        size += doc.property(Property(p)).size() + kBlockOverhead;
    const auto add = [&size](const TItem& item) {
        size += item.FileName.size() + item.SearchText.size() + item.ActionText.size() +
                2 * kBlockOverhead;
    };
    for (int r = 0; r < doc.topLevelCount(); ++r) {
        const Node* top = doc.topLevel(r);
        add(top->item());
        for (int c = 0; c < top->childCount(); ++c)
            add(top->child(c)->item());
    }
    return size;
}

} // namespace

std::string assembleMod(const ModDocument& doc) {
    std::string text;
    text.reserve(expectedSize(doc));
    StringOut out(text);
    Writer<StringOut>(out).document(doc);
    return text;
}

bool assembleMod(const ModDocument& doc, const std::function<bool(std::string_view)>& write) {
    StreamOut out(write);
    Writer<StreamOut>(out).document(doc);
    return out.finish();
}

} // namespace torvale
