#include "mod_reader.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

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

    // Start of the line that next() returns next.
    std::size_t position() const { return pos_; }

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
inline unsigned char lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// The tag numbers whose tag text continues "<" + c (after an optional "/").
int candidates(unsigned char c, std::array<int, 3>& out) {
    switch (c) {
    case 'i': out = {tagId}; return 1;
    case 'v': out = {tagVersion}; return 1;
    case 'm': out = {tagModInfo}; return 1;
    case 'a': out = {tagAuthor, tagAddBefore, tagAddAfter}; return 3;
    case 'h': out = {tagHomepage}; return 1;
    case 'e': out = {tagEditFile}; return 1;
    case 's': out = {tagSearchFor}; return 1;
    case 'r': out = {tagReplace}; return 1;
    default: return 0;
    }
}

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

TagMasks tagsIn(std::string_view line) {
    TagMasks masks;
    const char* p = line.data();
    const char* end = p + line.size();
    while (end - p >= 4) { // "<id>" is the shortest tag
        p = static_cast<const char*>(std::memchr(p, '<', std::size_t(end - p)));
        if (!p || end - p < 4)
            break;
        const bool closing = p[1] == '/';
        std::array<int, 3> tags{};
        const int n = candidates(lower(static_cast<unsigned char>(p[closing ? 2 : 1])), tags);
        for (int i = 0; i < n; ++i) {
            if (closing && matchesAt(p, end, closingTag(tags[i])))
                masks.close |= std::uint16_t(1u << tags[i]);
            else if (!closing && matchesAt(p, end, openingTag(tags[i])))
                masks.open |= std::uint16_t(1u << tags[i]);
        }
        ++p;
    }
    return masks;
}

// A line that holds at least one tag. Offsets fit 32 bits because the reader
// refuses longer texts, which keeps the index small for tag-heavy files.
struct TaggedLine {
    std::uint32_t start; // first byte of the line
    std::uint32_t next;  // first byte of the line after it
    TagMasks masks;
};

class Reader {
public:
    Reader(std::string_view text, ModDocument& doc, std::size_t limit)
        : text_(text), doc_(doc), limit_(limit) {
        for (int p = 0; p < kPropertyCount; ++p)
            properties_[std::size_t(p)] = doc.property(Property(p));
    }

    ReadOutcome run() {
        ReadOutcome outcome = readAll();
        for (int p = 0; p < kPropertyCount; ++p)
            doc_.setProperty(Property(p), std::move(properties_[std::size_t(p)]));
        outcome.selected = selected_;
        return outcome;
    }

private:
    ReadOutcome readAll() {
        if (text_.size() >= std::numeric_limits<std::uint32_t>::max())
            return tooMuch();
        indexTaggedLines();
        // For each tag, the tagged line at which the search for its closing tag
        // stands. Opening lines come in file order, so these only move forward.
        std::array<std::size_t, kTagCount> closeCursor{};
        for (std::size_t i = 0; i < tagged_.size(); ++i) {
            const TaggedLine& line = tagged_[i];
            if (!line.masks.open)
                continue;
            if (line.next >= text_.size())
                break; // opening tags on the last line are ignored
            for (int t = 0; t < kTagCount; ++t) {
                if (!(line.masks.open & (1u << t)))
                    continue;
                std::size_t& c = closeCursor[std::size_t(t)];
                if (c <= i)
                    c = i + 1;
                while (c < tagged_.size() && !(tagged_[c].masks.close & (1u << t)))
                    ++c;
                const bool closed = c < tagged_.size();
                const std::size_t spanEnd = closed ? tagged_[c].start : text_.size();
                const std::string_view content = text_.substr(line.next, spanEnd - line.next);
                if (content.size() > limit_ - taken_)
                    return tooMuch();
                taken_ += content.size();
                collect(t, content);
                if (!closed) {
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

    void indexTaggedLines() {
        LineCursor cursor(text_);
        std::string_view line;
        std::size_t start = 0;
        while (cursor.next(line)) {
            const TagMasks masks = tagsIn(line);
            if (masks.open || masks.close)
                tagged_.push_back({std::uint32_t(start), std::uint32_t(cursor.position()), masks});
            start = cursor.position();
        }
    }

    static void appendLines(std::string& target, std::string_view content) {
        LineCursor cursor(content);
        std::string_view line;
        while (cursor.next(line))
            target.append(line);
    }

    // Multi-line texts put CR LF before a line only when they already hold text,
    // so empty lines at the start of a block vanish.
    static void appendText(std::string& target, std::string_view content) {
        if (target.empty())
            target.reserve(content.size());
        LineCursor cursor(content);
        std::string_view line;
        while (cursor.next(line)) {
            if (!target.empty())
                target.append("\r\n", 2);
            target.append(line);
        }
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
        case tagEditFile: {
            // Each line replaces the one before: the last one counts.
            LineCursor cursor(content);
            std::string_view line;
            while (cursor.next(line))
                pendingFile_.assign(line);
            break;
        }
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
            TItem item;
            item.FileName = std::move(pendingFile_);
            item.Kind = akEditFile;
            selected_ = doc_.appendNode(nullptr, std::move(item), LabelForm::Read);
            pendingFile_.clear();
        } else if (tag >= tagReplace) {
            TItem item;
            item.Kind = tag - tagSearchFor;
            item.SearchText = std::move(pendingSearch_);
            item.ActionText = std::move(pendingAction_);
            doc_.appendNode(selected_, std::move(item), LabelForm::Read);
            pendingSearch_.clear();
            pendingAction_.clear();
        }
    }

    std::string_view text_;
    ModDocument& doc_;
    const std::size_t limit_;
    std::size_t taken_ = 0;
    std::vector<TaggedLine> tagged_;
    std::array<std::string, kPropertyCount> properties_;
    std::string pendingFile_;
    std::string pendingSearch_;
    std::string pendingAction_;
    Node* selected_ = nullptr;
};

} // namespace

std::string notFoundMessage(int tagIndex) {
    return std::string(ModTags[std::size_t(tagIndex)]) + "not found!";
}

ReadOutcome readMod(std::string_view text, ModDocument& doc, std::size_t blockTextLimit) {
    return Reader(untilNul(text), doc, blockTextLimit).run();
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
