// The reading rules of mod files followed word for word, line by line and
// slowly, and the line ends the writer keeps: the yardstick that the real
// reader and writer, which skip and share, are held to in tests and under the
// fuzzer.
#pragma once

#include "document/mod_reader.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace torvale::test {

struct ReferenceLine {
    std::size_t start;
    std::size_t end;  // of the text, before the line break
    std::size_t next; // where the next line starts
};

// The lines of text, which holds no NUL, one byte at a time.
inline std::vector<ReferenceLine> referenceLines(std::string_view text) {
    std::vector<ReferenceLine> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        std::size_t next = end;
        if (next < text.size())
            next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

// The line ends a file is written back with: LF when its first line break is
// a lone LF or it has none, else CR LF.
inline LineEnds referenceLineEnds(std::string_view text) {
    for (const char c : text)
        if (c == '\n' || c == '\r')
            return c == '\n' ? LineEnds::Lf : LineEnds::CrLf;
    return LineEnds::Lf;
}

// What the writer writes for an LF mod: its CR LF text with each CR LF as LF.
inline std::string crLfAsLf(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

inline ReadOutcome referenceRead(std::string_view text, ModDocument& doc,
                                 std::size_t limit = kMaxBlockText) {
    if (const auto nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    const std::vector<ReferenceLine> lines = referenceLines(text);
    const auto lineText = [&](std::size_t i) {
        return text.substr(lines[i].start, lines[i].end - lines[i].start);
    };
    const auto holds = [&](std::size_t i, std::string_view tag) {
        std::string lower(lineText(i));
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
        return lower.find(tag) != std::string::npos;
    };

    std::string props[kPropertyCount];
    std::string file, search, action;
    Node* selected = nullptr;
    std::size_t taken = 0;
    const auto store = [&](ReadOutcome outcome) {
        for (int p = 0; p < kPropertyCount; ++p)
            doc.setProperty(Property(p), props[p]);
        outcome.selected = selected;
        return outcome;
    };
    const auto appendMulti = [](std::string& target, std::string_view line) {
        if (!target.empty())
            target += "\r\n";
        target += line;
    };

    for (std::size_t l = 0; l < lines.size(); ++l) {
        for (int t = 0; t < kTagCount; ++t) {
            if (!holds(l, openingTag(t)) || l + 1 == lines.size())
                continue;
            std::size_t c = l + 1;
            while (c < lines.size() && !holds(c, closingTag(t)))
                ++c;
            const std::size_t spanEnd = c < lines.size() ? lines[c].start : text.size();
            if (spanEnd - lines[l].next > limit - taken) {
                ReadOutcome stopped;
                stopped.status = ReadOutcome::Status::TooMuchText;
                stopped.message = "Reading stopped: the blocks of this file add up to more than " +
                                  std::to_string(limit >> 20) + " MiB of text.";
                return store(stopped);
            }
            taken += spanEnd - lines[l].next;
            for (std::size_t j = l + 1; j < std::min(c, lines.size()); ++j) {
                const std::string_view line = lineText(j);
                if (t == tagModInfo)
                    appendMulti(props[t], line);
                else if (t < tagEditFile)
                    props[t] += line;
                else if (t == tagEditFile)
                    file = line;
                else if (t == tagSearchFor)
                    appendMulti(search, line);
                else
                    appendMulti(action, line);
            }
            if (c == lines.size()) {
                ReadOutcome stopped;
                stopped.status = ReadOutcome::Status::MissingClosingTag;
                stopped.missingTag = 2 * t + 1;
                stopped.message = notFoundMessage(stopped.missingTag);
                return store(stopped);
            }
            if (t == tagEditFile) {
                selected =
                    doc.appendNode(nullptr, TItem{file, akEditFile, "", ""}, LabelForm::Read);
                file.clear();
            } else if (t >= tagReplace) {
                doc.appendNode(selected, TItem{"", t - tagSearchFor, search, action},
                               LabelForm::Read);
                search.clear();
                action.clear();
            }
        }
    }
    return store({});
}

} // namespace torvale::test
