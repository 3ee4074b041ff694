// What the reading rules drop or join, found the plain way: the file split
// into lines, every block marked line by line, every rule checked on every
// line. The yardstick for the findings that the reader computes from its blocks.
#pragma once

#include "document/read_findings.h"
#include "reference_reader.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace torvale::test {

inline std::vector<Finding> referenceFindings(std::string_view whole,
                                              std::size_t limit = kMaxBlockText) {
    std::string_view text = whole;
    if (const auto nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    std::vector<std::string> lines;
    std::vector<std::size_t> lengths; // with the line end, for the limit
    for (const ReferenceLine& line : referenceLines(text)) {
        lines.emplace_back(text.substr(line.start, line.end - line.start));
        lengths.push_back(line.next - line.start);
    }
    const auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
        return s;
    };
    const auto holds = [&](std::size_t i, std::string_view tag) {
        return lower(lines[i]).find(tag) != std::string::npos;
    };
    const auto blank = [](std::string_view s) {
        return s.find_first_not_of(" \t") == std::string_view::npos;
    };

    struct Block {
        int tag;
        std::size_t open;  // line index
        std::size_t close; // line index, lines.size() when never closed
    };
    std::vector<Block> blocks;
    std::size_t stop = lines.size(); // the line at which the read stopped
    bool complete = true;
    std::size_t taken = 0;
    for (std::size_t l = 0; l < lines.size() && complete; ++l) {
        for (int t = 0; t < kTagCount && complete; ++t) {
            if (!holds(l, openingTag(t)) || l + 1 == lines.size())
                continue;
            std::size_t c = l + 1;
            while (c < lines.size() && !holds(c, closingTag(t)))
                ++c;
            std::size_t size = 0;
            for (std::size_t j = l + 1; j < c; ++j)
                size += lengths[j];
            if (size > limit - taken) {
                stop = l;
                complete = false;
                break;
            }
            taken += size;
            blocks.push_back({t, l, c});
            if (c == lines.size()) {
                stop = l;
                complete = false;
            }
        }
    }

    std::vector<Finding> found;
    const auto add = [&](FindingKind kind, std::size_t index, std::string_view line) {
        found.push_back({kind, index + 1, std::string(line.substr(0, kMaxFindingText))});
    };

    // Lines: inside a block or not; tags cut out of those outside.
    std::vector<bool> inside(lines.size());
    for (const Block& b : blocks)
        for (std::size_t j = b.open + 1; j < b.close; ++j)
            inside[j] = true;
    bool anyTag = !blocks.empty();
    bool anyText = false;
    for (std::size_t l = 0; l < stop; ++l) {
        bool opens = false;
        bool oneLine = false;
        for (const Block& b : blocks)
            if (b.open == l) {
                opens = true;
                oneLine = oneLine || holds(l, closingTag(b.tag));
            }
        if (inside[l]) {
            if (opens)
                add(FindingKind::TagInsideBlock, l, lines[l]);
            continue;
        }
        std::string rest = lower(lines[l]);
        bool hadTag = false;
        for (std::string_view tag : ModTags)
            for (auto at = rest.find(tag); at != std::string::npos; at = rest.find(tag)) {
                rest.replace(at, tag.size(), "\t");
                hadTag = true;
            }
        anyTag = anyTag || hadTag;
        anyText = anyText || !blank(lines[l]);
        if (blank(rest))
            continue;
        add(oneLine  ? FindingKind::OneLineBlock
            : hadTag ? FindingKind::TextBesideTag
                     : FindingKind::TextOutsideBlocks,
            l, lines[l]);
    }
    const bool nulHides =
        whole.size() > text.size() &&
        whole.substr(text.size()).find_first_not_of(std::string_view("\0 \t\r\n", 5)) !=
            std::string_view::npos;
    if (!anyTag) {
        found.clear();
        if (anyText || nulHides)
            add(FindingKind::NoModTags, 0, lines.empty() ? "" : lines[0]);
        return found;
    }

    // Blocks, in the order they are read: what is joined, what vanishes.
    bool seen[kPropertyCount] = {};
    std::string info, search;
    bool searchPending = false;
    std::size_t pendingAt = 0;
    const auto leadingEmpty = [&](const Block& b, std::string& target) {
        const std::size_t first = b.open + 1;
        for (std::size_t j = first; j < b.close; ++j) {
            if (!lines[j].empty() && target.empty() && j > first)
                add(FindingKind::LeadingEmptyLines, first, {});
            if (!target.empty())
                target += "\r\n";
            target += lines[j];
        }
    };
    for (const Block& b : blocks) {
        if (b.open >= stop)
            break;
        if (b.tag < kPropertyCount) {
            if (seen[b.tag])
                add(FindingKind::PropertyJoined, b.open, lines[b.open]);
            seen[b.tag] = true;
        }
        if (b.tag == tagModInfo) {
            leadingEmpty(b, info);
        } else if (b.tag == tagEditFile) {
            for (std::size_t j = b.open + 1; j + 1 < b.close; ++j)
                if (!lines[j].empty()) {
                    add(FindingKind::FileNameLines, j, lines[j]);
                    break;
                }
        } else if (b.tag == tagSearchFor) {
            if (searchPending)
                add(FindingKind::SearchesJoined, b.open, lines[b.open]);
            else
                pendingAt = b.open;
            searchPending = true;
            leadingEmpty(b, search);
        } else if (b.tag >= tagReplace) {
            std::string action;
            leadingEmpty(b, action);
            searchPending = false;
            search.clear();
        } else {
            int filled = 0;
            for (std::size_t j = b.open + 1; j < b.close; ++j)
                if (!lines[j].empty() && ++filled == 2) {
                    add(FindingKind::PropertyLinesJoined, j, lines[j]);
                    break;
                }
        }
    }
    if (complete && searchPending)
        add(FindingKind::SearchWithoutAction, pendingAt, lines[pendingAt]);
    if (nulHides)
        add(FindingKind::NulByte,
            lines.size() - (text.empty() || text.back() == '\r' || text.back() == '\n' ? 0 : 1),
            {});
    std::stable_sort(found.begin(), found.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return found;
}

} // namespace torvale::test
