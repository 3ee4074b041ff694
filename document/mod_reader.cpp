#include "mod_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torvale {

namespace {

// Walks the lines of a text. It keeps the next CR and LF it has found, so that
// a text of many lone CRs is not searched again for an LF at every line.
class LineCursor {
public:
    explicit LineCursor(std::string_view text)
        : text_(text), lf_(find(0, '\n')), cr_(find(0, '\r')) {}

    bool next(std::string_view& line) {
        const std::size_t size = text_.size();
        if (pos_ >= size)
            return false;
        if (lf_ < pos_)
            lf_ = find(pos_, '\n');
        if (cr_ < pos_)
            cr_ = find(pos_, '\r');
        std::size_t end;
        std::size_t after;
        if (cr_ < lf_) {
            end = cr_;
            after = cr_ + 1 == lf_ ? lf_ + 1 : cr_ + 1;
        } else if (lf_ < size) {
            end = lf_;
            after = lf_ + 1;
        } else {
            end = size;
            after = size;
        }
        line = text_.substr(pos_, end - pos_);
        pos_ = after;
        return true;
    }

private:
    std::size_t find(std::size_t from, char c) const {
        const void* hit = std::memchr(text_.data() + from, c, text_.size() - from);
        return hit ? std::size_t(static_cast<const char*>(hit) - text_.data()) : text_.size();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t lf_;
    std::size_t cr_;
};

std::string_view untilNul(std::string_view text) {
    const void* nul = std::memchr(text.data(), '\0', text.size());
    return nul ? text.substr(0, std::size_t(static_cast<const char*>(nul) - text.data())) : text;
}

// Tags are ASCII; bytes above 127 lowercase to nothing ASCII in the code pages
// mod files are written in, so only A-Z need folding.
inline unsigned char lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// For each byte, the tag numbers (as bits) whose name starts with it in either
// case: one lookup settles most "<" of the HTML and Perl in a mod.
constexpr std::array<std::uint16_t, 256> kTagsByFirstLetter = [] {
    std::array<std::uint16_t, 256> tags{};
    for (int t = 0; t < kTagCount; ++t) {
        const auto c = static_cast<unsigned char>(openingTag(t)[1]);
        tags[c] |= std::uint16_t(1u << t);
        tags[c - 32] |= std::uint16_t(1u << t);
    }
    return tags;
}();

bool matchesAt(const char* p, const char* end, std::string_view tag) {
    if (std::size_t(end - p) < tag.size())
        return false;
    for (std::size_t i = 1; i < tag.size(); ++i)
        if (lower(static_cast<unsigned char>(p[i])) != static_cast<unsigned char>(tag[i]))
            return false;
    return true;
}

struct TagMasks {
    std::uint16_t open = 0;
    std::uint16_t close = 0;
};

#if defined(__SSE2__)
// Each tag as 16 bytes to compare with, and which of them count.
struct TagPattern {
    __m128i bytes;
    unsigned used;
};

std::array<TagPattern, 2 * kTagCount> makeTagPatterns() {
    std::array<TagPattern, 2 * kTagCount> patterns{};
    for (std::size_t i = 0; i < ModTags.size(); ++i) {
        alignas(16) char bytes[16] = {};
        std::memcpy(bytes, ModTags[i].data(), ModTags[i].size());
        patterns[i] = {_mm_load_si128(reinterpret_cast<const __m128i*>(bytes)),
                       (1u << ModTags[i].size()) - 1};
    }
    return patterns;
}

const std::array<TagPattern, 2 * kTagCount> kTagPatterns = makeTagPatterns();
#endif

// Adds the tag that starts at p, if one does.
void addTagAt(const char* p, const char* end, TagMasks& masks) {
    if (end - p < 4) // "<id>" is the shortest tag
        return;
    const bool closing = p[1] == '/';
    unsigned candidates = kTagsByFirstLetter[static_cast<unsigned char>(p[closing ? 2 : 1])];
#if defined(__SSE2__)
    // Most "<" in a mod start tags: compare 16 bytes at once, folded to lower
    // case, when the text goes on that far. The longest tag has 14 bytes.
    if (candidates && end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                            _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
        const __m128i lowered = _mm_or_si128(v, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
        while (candidates) {
            const int t = std::countr_zero(candidates);
            candidates &= candidates - 1;
            const TagPattern& tag = kTagPatterns[std::size_t(2 * t + (closing ? 1 : 0))];
            const unsigned same = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(lowered, tag.bytes)));
            if ((same & tag.used) == tag.used)
                (closing ? masks.close : masks.open) |= std::uint16_t(1u << t);
        }
        return;
    }
#endif
    while (candidates) {
        const int t = std::countr_zero(candidates);
        candidates &= candidates - 1;
        if (closing && matchesAt(p, end, closingTag(t)))
            masks.close |= std::uint16_t(1u << t);
        else if (!closing && matchesAt(p, end, openingTag(t)))
            masks.open |= std::uint16_t(1u << t);
    }
}

// A line that holds at least one tag. Offsets fit 32 bits because the reader
// refuses longer texts, which keeps the index small for tag-heavy files.
struct TaggedLine {
    std::uint32_t start; // first byte of the line
    std::uint32_t next;  // first byte of the line after it
    TagMasks masks;
};

// Which of the 64 bytes at p are "<", CR, LF and NUL, as bit masks.
struct ByteMasks {
    std::uint64_t less;
    std::uint64_t cr;
    std::uint64_t lf;
    std::uint64_t nul;
};

inline ByteMasks masksOf64(const char* p) {
    ByteMasks m{0, 0, 0, 0};
#if defined(__SSE2__)
    const __m128i less = _mm_set1_epi8('<');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const auto mask = [&v](__m128i c) {
            return std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, c))));
        };
        m.less |= mask(less) << (16 * k);
        m.cr |= mask(cr) << (16 * k);
        m.lf |= mask(lf) << (16 * k);
        m.nul |= mask(zero) << (16 * k);
    }
#else
    for (unsigned i = 0; i < 64; ++i) {
        m.less |= std::uint64_t(p[i] == '<') << i;
        m.cr |= std::uint64_t(p[i] == '\r') << i;
        m.lf |= std::uint64_t(p[i] == '\n') << i;
        m.nul |= std::uint64_t(p[i] == '\0') << i;
    }
#endif
    return m;
}

// Finds the lines that hold tags, one after the other, as far as the reader
// needs them: the reader works right behind it, while the bytes are still in
// the cache. It also tracks whether every line end so far is CR LF: then a run
// of whole lines is its own text, lines joined by CR LF, and a block can point
// into the file instead of copying it.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text), size_(text.size()) {}

    // The length of the text: up to its first NUL, once the scan has met it.
    std::size_t size() const { return size_; }

    // The next tagged line, or false after the last one.
    bool next(TaggedLine& out) {
        for (;;) {
            while (less_) {
                const unsigned bit = unsigned(std::countr_zero(less_));
                less_ &= less_ - 1;
                if (onLess(bit, out))
                    return true;
            }
            if (scannedAll_) {
                if (!pending_)
                    return false;
                if (!endKnown_)
                    endLine(size_);
                pending_ = false;
                out = line_;
                return true;
            }
            nextBlock();
        }
    }

    // True when every line end before offset end is CR LF.
    bool crLfOnlyBefore(std::size_t end) const {
        // Up to the last byte of the current block, which may be a CR whose LF
        // is in the next block.
        const std::size_t known = scannedAll_ ? size_ : block_ + kBlock - 1;
        return started_ && end <= known && end <= clean_;
    }

private:
    void nextBlock() {
        if (started_) {
            if (breaks_)
                lastBreak_ = block_ + 63 - unsigned(std::countl_zero(breaks_));
            block_ += kBlock;
        }
        started_ = true;
        ByteMasks m;
        std::uint64_t valid = ~std::uint64_t(0);
        if (block_ + kBlock <= size_) {
            m = masksOf64(text_.data() + block_);
        } else {
            char tail[kBlock] = {};
            std::memcpy(tail, text_.data() + block_, size_ - block_);
            valid = (std::uint64_t(1) << (size_ - block_)) - 1;
            m = masksOf64(tail);
        }
        // A NUL ends the text: nothing after it is read.
        if (m.nul & valid) {
            size_ = block_ + unsigned(std::countr_zero(m.nul & valid));
            valid = (std::uint64_t(1) << (size_ - block_)) - 1;
        }
        m.less &= valid;
        m.cr &= valid;
        m.lf &= valid;
        // Every LF follows a CR, and every CR is followed by an LF; the last
        // byte of a block is checked with the next one.
        const std::uint64_t mismatch = (((m.cr << 1) | carry_) & valid) ^ m.lf;
        if (mismatch && clean_ == kAll) {
            // A lone LF here, or a lone CR just before.
            const std::size_t at = block_ + unsigned(std::countr_zero(mismatch));
            clean_ = at > 0 ? at - 1 : 0;
        }
        carry_ = m.cr >> 63;
        less_ = m.less;
        breaks_ = m.cr | m.lf;
        if (pending_ && !endKnown_ && breaks_)
            endLine(block_ + unsigned(std::countr_zero(breaks_)));
        if (block_ + kBlock >= size_) {
            scannedAll_ = true;
            // A CR as the last byte of the text is followed by nothing.
            if (size_ > block_ && (m.cr >> (size_ - block_ - 1) & 1))
                clean_ = std::min(clean_, size_ - 1);
        }
    }

    // The pending tagged line ends at the line break at end (or the text's end).
    void endLine(std::size_t end) {
        std::size_t next = end;
        if (next < size_)
            next += text_[next] == '\r' && next + 1 < size_ && text_[next + 1] == '\n' ? 2 : 1;
        line_.next = std::uint32_t(next);
        endKnown_ = true;
    }

    // Handles a "<" at bit of the current block; true when that completes the
    // tagged line before it, which is then in out.
    bool onLess(unsigned bit, TaggedLine& out) {
        const std::size_t pos = block_ + bit;
        TagMasks masks;
        addTagAt(text_.data() + pos, text_.data() + size_, masks);
        if (!masks.open && !masks.close)
            return false;
        if (pending_ && (!endKnown_ || pos < line_.next)) {
            line_.masks.open |= masks.open;
            line_.masks.close |= masks.close;
            return false;
        }
        const bool completed = pending_;
        if (completed)
            out = line_;
        // The line's ends are the line breaks around the tag, from the masks.
        const std::uint64_t before = breaks_ & ((std::uint64_t(1) << bit) - 1);
        const std::size_t start = before ? block_ + 64 - unsigned(std::countl_zero(before))
                                         : (lastBreak_ == kAll ? 0 : lastBreak_ + 1);
        line_ = {std::uint32_t(start), 0, masks};
        pending_ = true;
        endKnown_ = false;
        const std::uint64_t after = bit == 63 ? 0 : breaks_ & ~((std::uint64_t(2) << bit) - 1);
        if (after)
            endLine(block_ + unsigned(std::countr_zero(after)));
        return completed;
    }

    static constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();
    static constexpr std::size_t kBlock = 64;
    std::string_view text_;
    std::size_t size_;
    std::size_t block_ = 0;
    bool started_ = false;
    bool scannedAll_ = false;
    std::uint64_t less_ = 0;
    std::uint64_t breaks_ = 0;
    std::uint64_t carry_ = 0;
    // The last line break before the current block.
    std::size_t lastBreak_ = kAll;
    // Every line end before this offset is CR LF (as far as scanned).
    std::size_t clean_ = kAll;
    bool pending_ = false;
    bool endKnown_ = false;
    TaggedLine line_{};
};

// The tagged lines from the reader's place on, pulled from the scanner as the
// search for a closing tag reaches them. Usually a block or two; all the rest
// of the file only when a block closes at its very end.
class TaggedLines {
public:
    explicit TaggedLines(Scanner& scanner) : scanner_(scanner) {}

    // Tagged line number k (counted from the start), or nullptr past the last.
    const TaggedLine* at(std::size_t k) {
        while (k >= first_ + window_.size()) {
            TaggedLine line;
            if (!scanner_.next(line))
                return nullptr;
            window_.push_back(line);
        }
        return &window_[k - first_];
    }

    // Lines before number k are not needed any more.
    void dropBefore(std::size_t k) {
        while (first_ < k && !window_.empty()) {
            window_.pop_front();
            ++first_;
        }
    }

private:
    Scanner& scanner_;
    std::deque<TaggedLine> window_;
    std::size_t first_ = 0;
};

// A text being collected: a part of the file while it is one stretch of it,
// a string of its own once lines are joined differently or added to.
class Collected {
public:
    explicit Collected(Text initial = {}) : slice_(std::move(initial)) {}

    bool empty() const { return grown_ ? text_.empty() : slice_.empty(); }
    void setSlice(Text slice) { slice_ = std::move(slice); }
    std::string& grow() {
        if (!grown_) {
            text_.assign(slice_.view());
            slice_ = {};
            grown_ = true;
        }
        return text_;
    }
    Text take() {
        Text result = grown_ ? Text(std::move(text_)) : std::move(slice_);
        *this = Collected();
        return result;
    }

private:
    Text slice_;
    std::string text_;
    bool grown_ = false;
};

class Reader {
public:
    Reader(const SharedBytes& source, ReadTarget& target, std::size_t limit)
        : owner_(source.owner), text_(source.bytes), target_(target), limit_(limit) {}

    ReadOutcome run() {
        ReadOutcome outcome = readAll();
        for (int p = 0; p < kPropertyCount; ++p)
            target_.property(Property(p), properties_[std::size_t(p)].take());
        return outcome;
    }

private:
    ReadOutcome readAll() {
        if (text_.size() >= std::numeric_limits<std::uint32_t>::max())
            return tooMuch();
        Scanner scanner(text_);
        TaggedLines lines(scanner);
        // For each tag, the tagged line at which the search for its closing tag
        // stands. Opening lines come in file order, so these only move forward.
        std::array<std::size_t, kTagCount> closeCursor{};
        for (std::size_t i = 0;; ++i) {
            lines.dropBefore(i);
            const TaggedLine* found = lines.at(i);
            if (!found)
                break;
            const TaggedLine line = *found;
            if (!line.masks.open)
                continue;
            // The scanner knows where the text ends by the time it hands out
            // the last line.
            if (line.next >= scanner.size())
                break; // opening tags on the last line are ignored
            for (int t = 0; t < kTagCount; ++t) {
                if (!(line.masks.open & (1u << t)))
                    continue;
                std::size_t& c = closeCursor[std::size_t(t)];
                if (c <= i)
                    c = i + 1;
                const TaggedLine* closing = lines.at(c);
                while (closing && !(closing->masks.close & (1u << t)))
                    closing = lines.at(++c);
                const std::size_t spanEnd = closing ? closing->start : scanner.size();
                const std::string_view content = text_.substr(line.next, spanEnd - line.next);
                if (content.size() > limit_ - taken_)
                    return tooMuch();
                taken_ += content.size();
                crLfOnly_ = scanner.crLfOnlyBefore(spanEnd);
                collect(t, content);
                if (!closing) {
                    ReadOutcome stopped;
                    stopped.status = ReadOutcome::Status::MissingClosingTag;
                    stopped.missingTag = 2 * t + 1;
                    stopped.message = notFoundMessage(stopped.missingTag);
                    return stopped;
                }
                finish(t);
            }
        }
        return {};
    }

    ReadOutcome tooMuch() const {
        ReadOutcome stopped;
        stopped.status = ReadOutcome::Status::TooMuchText;
        stopped.message = "Reading stopped: the blocks of this file add up to more than " +
                          std::to_string(limit_ >> 20) + " MiB of text.";
        return stopped;
    }

    Text slice(std::string_view part) const { return Text::slice(owner_, part); }

    // Single-line properties: the lines joined with nothing between.
    static void appendLines(Collected& target, std::string_view content) {
        LineCursor cursor(content);
        std::string_view line;
        while (cursor.next(line))
            if (!line.empty())
                target.grow().append(line);
    }

    // Multi-line texts put CR LF before a line only when they already hold
    // text, so empty lines at the start of a text vanish.
    void appendText(Collected& target, std::string_view content) const {
        if (crLfOnly_) {
            // The lines joined by CR LF are the content without its last line end.
            std::string_view body = content;
            if (body.ends_with("\r\n"))
                body.remove_suffix(2);
            if (!target.empty()) {
                if (!content.empty())
                    target.grow().append("\r\n").append(body);
                return;
            }
            std::size_t skip = 0;
            while (skip + 1 < content.size() && content[skip] == '\r' && content[skip + 1] == '\n')
                skip += 2;
            target.setSlice(slice(body.substr(std::min(skip, body.size()))));
            return;
        }
        LineCursor cursor(content);
        std::string_view line;
        while (cursor.next(line)) {
            if (!target.empty())
                target.grow().append("\r\n");
            if (!line.empty())
                target.grow().append(line);
        }
    }

    // The last line of the content: each line of a file name block replaces
    // the one before.
    Text lastLine(std::string_view content) const {
        if (content.empty())
            return {};
        std::size_t end = content.size();
        if (content.ends_with("\r\n"))
            end -= 2;
        else if (content.back() == '\n' || content.back() == '\r')
            end -= 1;
        std::size_t start = end;
        while (start > 0 && content[start - 1] != '\n' && content[start - 1] != '\r')
            --start;
        return slice(content.substr(start, end - start));
    }

    void collect(int tag, std::string_view content) {
        switch (tag) {
        case tagId:
        case tagVersion:
        case tagAuthor:
        case tagHomepage:
            appendLines(properties_[std::size_t(tag)], content);
            break;
        case tagModInfo:
            appendText(properties_[std::size_t(tag)], content);
            break;
        case tagEditFile:
            pendingFile_ = lastLine(content);
            break;
        case tagSearchFor:
            appendText(pendingSearch_, content);
            break;
        default:
            appendText(pendingAction_, content);
            break;
        }
    }

    void finish(int tag) {
        if (tag == tagEditFile) {
            target_.editFile(std::move(pendingFile_));
            pendingFile_ = {};
        } else if (tag >= tagReplace) {
            target_.searchAction(tag - tagSearchFor, pendingSearch_.take(), pendingAction_.take());
        }
    }

    std::shared_ptr<const void> owner_;
    std::string_view text_;
    ReadTarget& target_;
    const std::size_t limit_;
    std::size_t taken_ = 0;
    bool crLfOnly_ = false; // for the block at hand
    std::array<Collected, kPropertyCount> properties_;
    Text pendingFile_;
    Collected pendingSearch_;
    Collected pendingAction_;
};

// Builds the document: each search action goes under the edit-file node
// before it, or on the top level before the first one.
class DocumentTarget final : public ReadTarget {
public:
    explicit DocumentTarget(ModDocument& doc) : doc_(doc) {}
    Node* selected() const { return selected_; }

    void editFile(Text fileName) override {
        TItem item;
        item.FileName = std::move(fileName);
        item.Kind = akEditFile;
        selected_ = doc_.appendNode(nullptr, std::move(item), LabelForm::Read);
    }
    void searchAction(std::int32_t kind, Text searchText, Text actionText) override {
        TItem item;
        item.Kind = kind;
        item.SearchText = std::move(searchText);
        item.ActionText = std::move(actionText);
        doc_.appendNode(selected_, std::move(item), LabelForm::Read);
    }
    void property(Property p, Text value) override { doc_.setProperty(p, std::move(value)); }

private:
    ModDocument& doc_;
    Node* selected_ = nullptr;
};

} // namespace

std::string notFoundMessage(int tagIndex) {
    return std::string(ModTags[std::size_t(tagIndex)]) + "not found!";
}

ReadOutcome readMod(const SharedBytes& source, ReadTarget& target, std::size_t blockTextLimit) {
    return Reader(source, target, blockTextLimit).run();
}

ReadOutcome readMod(const SharedBytes& source, ModDocument& doc, std::size_t blockTextLimit) {
    DocumentTarget target(doc);
    ReadOutcome outcome = readMod(source, target, blockTextLimit);
    outcome.selected = target.selected();
    return outcome;
}

ReadOutcome readMod(std::string_view text, ModDocument& doc, std::size_t blockTextLimit) {
    return readMod(SharedBytes::copyOf(text), doc, blockTextLimit);
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    LineCursor cursor(untilNul(text));
    std::string_view line;
    while (cursor.next(line))
        lines.push_back(line);
    return lines;
}

} // namespace torvale
