// The unified diff of a forum file before and after the installer's changes,
// as patch applies it. Changes never reorder the file's own lines, so the
// diff follows from where each line came from, without a search for one.
#include "install_file.h"

#include <algorithm>

namespace torvale {

namespace {

constexpr std::size_t kContext = 3;
constexpr std::string_view kNoFinalBreak = "\\ No newline at end of file\n";

struct Op {
    enum Kind { Keep, Remove, Add } kind;
    std::size_t oldLine; // Keep, Remove
    std::size_t newLine; // Keep, Add
};

} // namespace

std::string InstallFile::unifiedDiff(std::string_view oldName, std::string_view newName) const {
    if (!changed())
        return {};
    const std::vector<Line> lines = allLines();
    const std::size_t oldCount = original_.size();
    const std::size_t newCount = lines.size();
    // A line kept in place but gaining or losing the file's final line break
    // changes too.
    const auto oldEnds = [&](std::size_t i) { return finalBreak_ || i + 1 < oldCount; };
    const auto newEnds = [&](std::size_t j) { return finalBreak_ || j + 1 < newCount; };
    std::vector<Op> ops;
    std::size_t next = 0; // the next line of the old file
    for (std::size_t j = 0; j < newCount; ++j) {
        const std::int64_t origin = lines[j].origin;
        if (origin < 0) {
            ops.push_back({Op::Add, 0, j});
            continue;
        }
        for (; next < std::size_t(origin); ++next)
            ops.push_back({Op::Remove, next, 0});
        if (oldEnds(next) == newEnds(j)) {
            ops.push_back({Op::Keep, next, j});
        } else {
            ops.push_back({Op::Remove, next, 0});
            ops.push_back({Op::Add, 0, j});
        }
        ++next;
    }
    for (; next < oldCount; ++next)
        ops.push_back({Op::Remove, next, 0});
    // Removals before additions within each run of changes, as diff writes them.
    for (std::size_t i = 0; i < ops.size();) {
        std::size_t end = i;
        while (end < ops.size() && ops[end].kind != Op::Keep)
            ++end;
        std::stable_partition(ops.begin() + std::ptrdiff_t(i), ops.begin() + std::ptrdiff_t(end),
                              [](const Op& op) { return op.kind == Op::Remove; });
        i = end + 1;
    }

    std::string out;
    out.append("--- ").append(oldName).append("\n+++ ").append(newName).append("\n");
    const auto put = [&](char sign, std::string_view text, bool ends) {
        out.push_back(sign);
        out.append(text).push_back('\n');
        if (!ends)
            out.append(kNoFinalBreak);
    };
    // The bytes of a line of the new file, without its LF.
    const auto newText = [&](std::size_t j) {
        std::string text(raw(lines[j]));
        if (lines[j].origin < 0 && newEnds(j) && addedEnding_ == "\r\n")
            text.push_back('\r');
        return text;
    };
    // Where each op stands in either file: the old and new lines before it.
    std::vector<std::size_t> oldBefore(ops.size() + 1), newBefore(ops.size() + 1);
    for (std::size_t i = 0; i < ops.size(); ++i) {
        oldBefore[i + 1] = oldBefore[i] + (ops[i].kind != Op::Add);
        newBefore[i + 1] = newBefore[i] + (ops[i].kind != Op::Remove);
    }
    for (std::size_t i = 0; i < ops.size();) {
        if (ops[i].kind == Op::Keep) {
            ++i;
            continue;
        }
        // A hunk: this change, the changes that follow within twice the
        // context, and the context around them.
        const std::size_t begin = i > kContext ? i - kContext : 0;
        std::size_t end = i;
        for (std::size_t keeps = 0; end < ops.size() && keeps <= 2 * kContext; ++end)
            keeps = ops[end].kind == Op::Keep ? keeps + 1 : 0;
        // end stands after the run of keeps that ended the hunk, or at the end.
        while (end > i && ops[end - 1].kind == Op::Keep)
            --end;
        const std::size_t stop = std::min(ops.size(), end + kContext);
        const std::size_t oldLength = oldBefore[stop] - oldBefore[begin];
        const std::size_t newLength = newBefore[stop] - newBefore[begin];
        // An empty side names the line before it, as diff does.
        const std::size_t oldStart = oldBefore[begin] + (oldLength ? 1 : 0);
        const std::size_t newStart = newBefore[begin] + (newLength ? 1 : 0);
        out.append("@@ -")
            .append(std::to_string(oldStart))
            .append(",")
            .append(std::to_string(oldLength))
            .append(" +")
            .append(std::to_string(newStart))
            .append(",")
            .append(std::to_string(newLength))
            .append(" @@\n");
        for (std::size_t k = begin; k < stop; ++k) {
            const Op& op = ops[k];
            if (op.kind == Op::Add)
                put('+', newText(op.newLine), newEnds(op.newLine));
            else
                put(op.kind == Op::Keep ? ' ' : '-', raws_[op.oldLine],
                    oldEnds(op.oldLine));
        }
        i = stop;
    }
    return out;
}

} // namespace torvale
