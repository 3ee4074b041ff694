// The findings of a read: the blocks the reader took, laid over the lines of
// the file, show what no block keeps; the blocks in order show what is joined.
#include "read_findings.h"

#include "line_cursor.h"
#include "tag_scanner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

namespace torvale {

namespace {

class BlockLog final : public BlockListener {
public:
    void block(const BlockSpan& block) override { blocks.push_back(block); }
    std::vector<BlockSpan> blocks;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Whether the line holds anything but blanks and tags; tags never overlap,
// since each holds one "<", at its start.
bool textBesideTags(std::string_view line, bool& hadTag) {
    bool text = false;
    const char* end = line.data() + line.size();
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == '<') {
            TagMasks masks;
            tag_scan::addTagAt(line.data() + i, end, masks);
            // No tag is the start of another, so at most one starts here.
            if (masks.open || masks.close) {
                const int t = std::countr_zero(unsigned(masks.open | masks.close));
                hadTag = true;
                i += (masks.open ? openingTag(t) : closingTag(t)).size();
                continue;
            }
        }
        text = text || !isBlank(line[i]);
        ++i;
    }
    return text;
}

bool holdsText(std::string_view line) {
    return std::ranges::any_of(line, [](char c) { return !isBlank(c); });
}

bool holdsTag(std::string_view line, std::string_view tag) {
    for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1))
        if (tag_scan::matchesAt(line.data() + at, line.data() + line.size(), tag))
            return true;
    return false;
}

std::string cut(std::string_view line) {
    return std::string(line.substr(0, kMaxFindingText));
}

class FindingsPass {
public:
    FindingsPass(std::string_view text, const std::vector<BlockSpan>& blocks,
                 const ReadOutcome& outcome)
        : whole_(text), text_(untilNul(text)), blocks_(blocks),
          stopLine_(outcome.complete() ? std::numeric_limits<std::size_t>::max()
                                       : outcome.stopLine),
          complete_(outcome.complete()), openingLines_(blocks.size()) {}

    std::vector<Finding> run() {
        const bool anyTag = walkLines();
        const bool nul = nulHidesText();
        if (!anyTag) {
            findings_.clear();
            if (holdsTextAnywhere_ || nul)
                add(FindingKind::NoModTags, 1, firstLine_);
            return std::move(findings_);
        }
        walkBlocks();
        if (nul)
            add(FindingKind::NulByte, lineNumberAt(text_, text_.size()), {});
        std::ranges::stable_sort(findings_, {}, &Finding::line);
        return std::move(findings_);
    }

private:
    void add(FindingKind kind, std::size_t line, std::string_view text) {
        findings_.push_back({kind, line, cut(text)});
    }

    // The findings of single lines: text that no block takes in, and tags
    // inside a block's text. True when the file holds a tag anywhere. Inside
    // blocks only the lines that open blocks matter, so the walk counts its
    // way over the rest instead of looking at each of their lines.
    bool walkLines() {
        bool anyTag = !blocks_.empty();
        std::size_t covered = 0; // lines before this offset lie in a block
        std::size_t started = 0; // blocks whose content starts at or before the line
        std::size_t opened = 0;  // blocks whose opening line is before the line
        std::size_t number = 1;
        for (std::size_t at = 0; at < text_.size();) {
            while (started < blocks_.size() && blocks_[started].contentStart <= at)
                covered = std::max(covered, blocks_[started++].contentEnd);
            if (at < covered) {
                const std::size_t next =
                    opened < blocks_.size() ? std::min(covered, blocks_[opened].opening) : covered;
                if (next > at) {
                    number += countLineBreaks(text_.substr(at, next - at));
                    at = next;
                    continue;
                }
            }
            const std::string_view line = lineAt(at);
            if (number == 1)
                firstLine_ = line;
            unsigned opens = 0;
            for (; opened < blocks_.size() && blocks_[opened].opening == at; ++opened) {
                openingLines_[opened] = number;
                opens |= 1u << blocks_[opened].tag;
            }
            if (number < stopLine_)
                anyTag = walkLine(line, number, opens, at < covered) || anyTag;
            // The opening lines after a stop still count, for the blocks' findings.
            at += line.size();
            if (at < text_.size())
                at += text_[at] == '\r' && at + 1 < text_.size() && text_[at + 1] == '\n' ? 2 : 1;
            ++number;
        }
        return anyTag;
    }

    // One line's findings; true when it holds a tag.
    bool walkLine(std::string_view line, std::size_t number, unsigned opens, bool inside) {
        if (inside) {
            if (opens)
                add(FindingKind::TagInsideBlock, number, line);
            return opens != 0;
        }
        if (!holdsText(line))
            return false;
        holdsTextAnywhere_ = true;
        bool hadTag = false;
        if (!textBesideTags(line, hadTag))
            return true;
        bool oneLine = false;
        for (int t = 0; t < kTagCount; ++t)
            if (opens & (1u << t))
                oneLine = oneLine || holdsTag(line, closingTag(t));
        add(oneLine  ? FindingKind::OneLineBlock
            : hadTag ? FindingKind::TextBesideTag
                     : FindingKind::TextOutsideBlocks,
            number, line);
        return hadTag;
    }

    // The findings of blocks in the order the reader took them: what joins
    // and what vanishes from the texts.
    void walkBlocks() {
        std::array<bool, kPropertyCount> seen{};
        bool infoEmpty = true;
        bool searchPending = false;
        bool searchEmpty = true;
        std::size_t pendingLine = 0;
        std::size_t pendingOffset = 0;
        for (std::size_t k = 0; k < blocks_.size(); ++k) {
            const BlockSpan& b = blocks_[k];
            const std::size_t opening = openingLines_[k];
            if (opening >= stopLine_)
                break;
            const std::string_view content =
                text_.substr(b.contentStart, b.contentEnd - b.contentStart);
            if (b.tag < kPropertyCount) {
                if (seen[std::size_t(b.tag)])
                    add(FindingKind::PropertyJoined, opening, lineAt(b.opening));
                seen[std::size_t(b.tag)] = true;
            }
            switch (b.tag) {
            case tagModInfo:
                infoEmpty = leadingEmptyLines(content, opening, infoEmpty);
                break;
            case tagEditFile:
                fileNameLines(content, opening);
                break;
            case tagSearchFor:
                if (searchPending) {
                    add(FindingKind::SearchesJoined, opening, lineAt(b.opening));
                } else {
                    pendingLine = opening;
                    pendingOffset = b.opening;
                }
                searchPending = true;
                searchEmpty = leadingEmptyLines(content, opening, searchEmpty);
                break;
            case tagReplace:
            case tagAddBefore:
            case tagAddAfter:
                leadingEmptyLines(content, opening, true);
                searchPending = false;
                searchEmpty = true;
                break;
            default:
                propertyLines(content, opening);
                break;
            }
        }
        if (complete_ && searchPending)
            add(FindingKind::SearchWithoutAction, pendingLine, lineAt(pendingOffset));
    }

    // Content lines added while the text is empty vanish when empty; a
    // finding only when a line with text follows them. Whether the text is
    // still empty afterwards.
    bool leadingEmptyLines(std::string_view content, std::size_t opening, bool empty) {
        LineCursor cursor(content);
        std::string_view line;
        for (std::size_t n = 1; cursor.next(line); ++n) {
            if (line.empty())
                continue;
            if (empty && n > 1)
                add(FindingKind::LeadingEmptyLines, opening + 1, {});
            return false;
        }
        return empty;
    }

    // Each line replaces the one before: a finding for the first line with
    // text that another follows.
    void fileNameLines(std::string_view content, std::size_t opening) {
        LineCursor cursor(content);
        std::string_view line;
        std::size_t filled = 0; // the first line with text, by its number
        std::string_view filledText;
        std::size_t n = 0;
        while (cursor.next(line)) {
            ++n;
            if (!filled && !line.empty()) {
                filled = n;
                filledText = line;
            }
        }
        if (filled && filled < n)
            add(FindingKind::FileNameLines, opening + filled, filledText);
    }

    void propertyLines(std::string_view content, std::size_t opening) {
        LineCursor cursor(content);
        std::string_view line;
        int filled = 0;
        for (std::size_t n = 1; cursor.next(line); ++n) {
            if (!line.empty() && ++filled == 2) {
                add(FindingKind::PropertyLinesJoined, opening + n, line);
                return;
            }
        }
    }

    // The line that starts at offset, found without looking past its end: a
    // file with no carriage return at all must not be searched through for
    // one at every line.
    std::string_view lineAt(std::size_t offset) const {
        const std::string_view rest = text_.substr(offset);
        std::size_t end = rest.find('\n');
        if (end == std::string_view::npos)
            end = rest.size();
        const std::size_t cr = rest.substr(0, end).find('\r');
        return rest.substr(0, cr == std::string_view::npos ? end : cr);
    }

    // A NUL ends the text; a finding only when something but NULs and
    // blanks comes after it.
    bool nulHidesText() const {
        if (text_.size() == whole_.size())
            return false;
        return std::ranges::any_of(whole_.substr(text_.size()), [](char c) {
            return c != '\0' && c != ' ' && c != '\t' && c != '\r' && c != '\n';
        });
    }

    std::string_view whole_;
    std::string_view text_;
    const std::vector<BlockSpan>& blocks_;
    const std::size_t stopLine_;
    const bool complete_;
    std::vector<std::size_t> openingLines_;
    std::vector<Finding> findings_;
    std::string_view firstLine_;
    bool holdsTextAnywhere_ = false;
};

} // namespace

std::string_view findingName(FindingKind kind) {
    switch (kind) {
    case FindingKind::TextBesideTag:
        return "text-beside-tag";
    case FindingKind::OneLineBlock:
        return "one-line-block";
    case FindingKind::TextOutsideBlocks:
        return "text-outside-blocks";
    case FindingKind::TagInsideBlock:
        return "tag-inside-block";
    case FindingKind::SearchWithoutAction:
        return "search-without-action";
    case FindingKind::SearchesJoined:
        return "searches-joined";
    case FindingKind::PropertyJoined:
        return "property-joined";
    case FindingKind::PropertyLinesJoined:
        return "property-lines-joined";
    case FindingKind::FileNameLines:
        return "file-name-lines";
    case FindingKind::LeadingEmptyLines:
        return "leading-empty-lines";
    case FindingKind::NoModTags:
        return "no-mod-tags";
    case FindingKind::NulByte:
        return "nul-byte";
    }
    return "";
}

std::string_view findingDescription(FindingKind kind) {
    switch (kind) {
    case FindingKind::TextBesideTag:
        return "Text beside a tag is dropped.";
    case FindingKind::OneLineBlock:
        return "A block on one line: its text is dropped, and the block runs on to the next "
               "closing tag.";
    case FindingKind::TextOutsideBlocks:
        return "Text outside any block is dropped.";
    case FindingKind::TagInsideBlock:
        return "A line of a block's text holds a tag: it also opens a block of its own.";
    case FindingKind::SearchWithoutAction:
        return "A search block with no action block after it is dropped.";
    case FindingKind::SearchesJoined:
        return "This search block is joined to the one before: both make one search text.";
    case FindingKind::PropertyJoined:
        return "A second block of this property is joined to the first.";
    case FindingKind::PropertyLinesJoined:
        return "The lines of a one-line property are joined into one line.";
    case FindingKind::FileNameLines:
        return "Only the last line of a file-name block is kept; this one is dropped.";
    case FindingKind::LeadingEmptyLines:
        return "Empty lines at the start of a text are dropped.";
    case FindingKind::NoModTags:
        return "This file holds no mod tags: it is not a mod file.";
    case FindingKind::NulByte:
        return "A NUL byte ends the text: nothing after it is read.";
    }
    return "";
}

ReadOutcome readMod(const SharedBytes& source, ModDocument& doc, std::vector<Finding>& findings,
                    std::size_t blockTextLimit) {
    BlockLog log;
    ReadOutcome outcome = readMod(source, doc, blockTextLimit, &log);
    findings = FindingsPass(source.bytes, log.blocks, outcome).run();
    return outcome;
}

} // namespace torvale
