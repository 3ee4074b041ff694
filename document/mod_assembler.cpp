// Writes a document as mod-file text in the canonical layout, whole or in
// pieces, and straight from the reader for torvale-cli assemble.
#include "mod_assembler.h"

#include "memory_hints.h"

#include <cstring>
#include <memory>
#include <vector>

namespace torvale {

namespace {

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

// Writes blocks in the canonical layout. What follows a block's closing tag
// (its line end and an empty line) is written when the next block starts or at
// the end, where the format's end rule decides it. The texts come with the
// line ends kTexts between their lines (CR LF in the document); with LF line
// ends, their CR LF becomes LF too. Both are constants, so that the common
// writer writes nothing but constant pieces and texts as they are.
template <class Out, LineEnds kEnds, LineEnds kTexts = LineEnds::CrLf> class Writer {
public:
    explicit Writer(Out& out) : out_(out) {}

    void block(int tag, std::string_view content) {
        if (lastTag_ >= 0)
            afterBlock();
        out_.put(openingTag(tag));
        lineEnd();
        if constexpr (kEnds != kTexts)
            putWithLf(content);
        else
            out_.put(content);
        lineEnd();
        out_.put(closingTag(tag));
        lastTag_ = tag;
    }

    void searchAction(std::int32_t kind, std::string_view search, std::string_view action) {
        block(tagSearchFor, search);
        block(actionTagOf(kind), action);
    }

    void node(const TItem& item) {
        if (item.Kind == akEditFile)
            block(tagEditFile, item.FileName);
        else
            searchAction(item.Kind, item.SearchText, item.ActionText);
    }

    // The text ends right after the closing tag of a search action that is the
    // last node; any other last block ends as every block does.
    void end() {
        if (lastTag_ >= 0 && lastTag_ < tagReplace)
            afterBlock();
        lastTag_ = -1;
    }

    void document(const ModDocument& doc) {
        for (int p = 0; p < kPropertyCount; ++p)
            block(p, doc.property(Property(p)));
        for (int r = 0; r < doc.topLevelCount(); ++r) {
            const Node* top = doc.topLevel(r);
            node(top->item());
            for (int c = 0; c < top->childCount(); ++c)
                node(top->child(c)->item());
        }
        end();
    }

private:
    void lineEnd() { out_.put(kEnds == LineEnds::Lf ? "\n" : "\r\n"); }
    // The closing tag's line end and an empty line.
    void afterBlock() { out_.put(kEnds == LineEnds::Lf ? "\n\n" : "\r\n\r\n"); }

    // The text with each CR LF written as LF; every other byte as it is.
    [[gnu::noinline]] void putWithLf(std::string_view text) {
        for (std::size_t at = text.find("\r\n"); at != std::string_view::npos;
             at = text.find("\r\n")) {
            out_.put(text.substr(0, at));
            out_.put("\n");
            text.remove_prefix(at + 2);
        }
        out_.put(text);
    }

    Out& out_;
    int lastTag_ = -1; // of the block written last, if its end is still due
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

// The assembled text as a list of pieces, to be written once the whole file
// is read (the properties come first in the text, but may come last in the
// file). A piece that goes on with the bytes of the source file where the
// piece before it ends there lengthens that piece: a file already in the
// canonical layout comes back as a few long stretches of its own bytes.
class PieceList {
public:
    explicit PieceList(std::string_view source) : source_(source) {}

    // Makes sure the bytes of text outlive the list; returns them.
    std::string_view hold(Text&& text) {
        const std::string_view bytes = text.view();
        if (bytes.size() > kSmall && !inSource(bytes))
            kept_.push_back(std::move(text));
        return bytes;
    }

    // Adds bytes that are static, in the source, held, or small (then copied).
    void put(std::string_view piece) {
        if (piece.empty())
            return;
        if (!pieces_.empty() && continuesSource(piece)) {
            lengthenLast(piece.size());
            return;
        }
        if (piece.size() > kSmall || inSource(piece)) {
            pieces_.push_back(piece);
            return;
        }
        copySmall(piece);
    }

    template <class Out> void writeTo(Out& out) const {
        for (const std::string_view piece : pieces_)
            out.put(piece);
    }

private:
    static constexpr std::size_t kSmall = 64;
    static constexpr std::size_t kArenaChunk = std::size_t(1) << 16;

    bool inSource(std::string_view bytes) const {
        const char* begin = source_.data();
        return bytes.data() >= begin && bytes.data() + bytes.size() <= begin + source_.size();
    }

    // True when piece equals the source bytes right after the last piece,
    // which must be a stretch of the source.
    bool continuesSource(std::string_view piece) const {
        const std::string_view last = pieces_.back();
        if (!inSource(last))
            return false;
        const char* end = last.data() + last.size();
        if (piece.data() == end)
            return inSource(piece);
        const std::size_t left = std::size_t(source_.data() + source_.size() - end);
        return piece.size() <= kSmall && piece.size() <= left &&
               std::memcmp(end, piece.data(), piece.size()) == 0;
    }

    // Small pieces from elsewhere (tags, line ends, short texts of their own)
    // are gathered in chunks, where neighbours merge into one piece.
    void copySmall(std::string_view piece) {
        if (arena_.empty() || arenaUsed_ + piece.size() > kArenaChunk) {
            arena_.push_back(std::make_unique<char[]>(kArenaChunk));
            arenaUsed_ = 0;
        }
        char* at = arena_.back().get() + arenaUsed_;
        std::memcpy(at, piece.data(), piece.size());
        arenaUsed_ += piece.size();
        if (!pieces_.empty() && pieces_.back().data() + pieces_.back().size() == at)
            lengthenLast(piece.size());
        else
            pieces_.push_back({at, piece.size()});
    }

    void lengthenLast(std::size_t count) {
        std::string_view& last = pieces_.back();
        last = {last.data(), last.size() + count};
    }

    std::string_view source_;
    std::vector<std::string_view> pieces_;
    std::vector<Text> kept_;
    std::vector<std::unique_ptr<char[]>> arena_;
    std::size_t arenaUsed_ = 0;
};

// Assembles what the reader finds as it finds it, into piece lists.
// The reader hands over texts with the line ends they are written with.
template <LineEnds kEnds> class AssemblingTarget final : public ReadTarget {
public:
    explicit AssemblingTarget(std::string_view source)
        : header_(source), nodes_(source), headerWriter_(header_), nodesWriter_(nodes_) {}

    LineEnds textLineEnds() const override { return kEnds; }

    void editFile(Text fileName) override {
        nodesWriter_.block(tagEditFile, nodes_.hold(std::move(fileName)));
    }
    void searchAction(std::int32_t kind, Text searchText, Text actionText) override {
        const std::string_view search = nodes_.hold(std::move(searchText));
        const std::string_view action = nodes_.hold(std::move(actionText));
        nodesWriter_.searchAction(kind, search, action);
    }
    void property(Property p, Text value) override {
        headerWriter_.block(int(p), header_.hold(std::move(value)));
    }

    template <class Out> void writeTo(Out& out) {
        headerWriter_.end();
        nodesWriter_.end();
        header_.writeTo(out);
        nodes_.writeTo(out);
    }

private:
    PieceList header_;
    PieceList nodes_;
    Writer<PieceList, kEnds, kEnds> headerWriter_;
    Writer<PieceList, kEnds, kEnds> nodesWriter_;
};

template <LineEnds kEnds>
StreamedAssembly readAndAssembleIn(const SharedBytes& source,
                                   const std::function<bool(std::string_view)>& write,
                                   std::size_t blockTextLimit) {
    AssemblingTarget<kEnds> target(source.bytes);
    StreamedAssembly result;
    result.outcome = readMod(source, target, blockTextLimit);
    StreamOut out(write);
    target.writeTo(out);
    result.written = out.finish();
    return result;
}

} // namespace

std::string assembleMod(const ModDocument& doc, LineEnds ends) {
    std::string text;
    text.reserve(expectedSize(doc));
    // Tens of MiB for a large mod, made again for each Preview and Test Mod:
    // a fault for every 4 KiB of them cost more than the writing.
    adviseHugePages(text.data(), text.capacity());
    StringOut out(text);
    if (ends == LineEnds::Lf)
        Writer<StringOut, LineEnds::Lf>(out).document(doc);
    else
        Writer<StringOut, LineEnds::CrLf>(out).document(doc);
    return text;
}

bool assembleMod(const ModDocument& doc, const std::function<bool(std::string_view)>& write,
                 LineEnds ends) {
    StreamOut out(write);
    if (ends == LineEnds::Lf)
        Writer<StreamOut, LineEnds::Lf>(out).document(doc);
    else
        Writer<StreamOut, LineEnds::CrLf>(out).document(doc);
    return out.finish();
}

StreamedAssembly readAndAssemble(const SharedBytes& source,
                                 const std::function<bool(std::string_view)>& write,
                                 std::size_t blockTextLimit) {
    return detectLineEnds(source.bytes) == LineEnds::Lf
               ? readAndAssembleIn<LineEnds::Lf>(source, write, blockTextLimit)
               : readAndAssembleIn<LineEnds::CrLf>(source, write, blockTextLimit);
}

} // namespace torvale
