// A file's steps: its changed places from the line diff, the close ones joined
// where one step is shorter than two, each given its search text.
#include "make_steps.h"

#include "make_runs.h"

#include <cstring>
#include <limits>

namespace torvale {

namespace {

using make::FileState;
using make::KeyedLines;
using make::LineTable;
using make::Run;

// Places further apart than this many lines never share a step, nor do more
// than this many places.
constexpr std::size_t kJoinGap = 8;
constexpr std::size_t kJoinMost = 4;
// What the tags of a step add to the mod, about.
constexpr std::size_t kStepBytes = 60;

// The file's lines as Perl reads them, by their keys; and the text the diff
// compares: each key on a line of its own, an unended last line marked by a
// carriage return (which no key holds), so that a line feed added or taken
// from the last line is a change.
KeyedLines keyed(std::string_view bytes, LineTable& table, std::string& forDiff) {
    KeyedLines lines;
    std::string key;
    for (std::size_t start = 0; start < bytes.size();) {
        const void* lf = std::memchr(bytes.data() + start, '\n', bytes.size() - start);
        const std::size_t end =
            lf ? std::size_t(static_cast<const char*>(lf) - bytes.data()) : bytes.size();
        key.clear();
        for (std::size_t i = start; i < end; ++i)
            if (bytes[i] != '\r')
                key.push_back(bytes[i]);
        lines.ids.push_back(table.intern(key));
        forDiff += key;
        forDiff += lf ? "\n" : "\r\n";
        lines.openEnd = !lf;
        start = end + 1;
    }
    return lines;
}

LineHunk joined(const std::vector<LineHunk>& hunks, std::size_t first, std::size_t last) {
    const LineHunk& a = hunks[first];
    const LineHunk& b = hunks[last];
    return {a.before, b.before + b.removed - a.before, a.after, b.after + b.added - a.after};
}

std::string joinedKeys(const LineTable& table, const std::vector<std::uint32_t>& ids) {
    std::string text;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i)
            text += "\r\n";
        text += table.key(ids[i]);
    }
    return text;
}

} // namespace

FileSteps makeFileSteps(std::string_view original, std::string_view changed) {
    FileSteps out;
    LineTable table;
    std::string before, after;
    KeyedLines old = keyed(original, table, before);
    KeyedLines now = keyed(changed, table, after);
    const std::vector<LineHunk> hunks = lineHunks(before, after);
    if (hunks.empty())
        return out;
    if (old.ids.empty()) {
        out.problem = "the original file is empty: the installer finds no line in it to add to";
        return out;
    }
    if (now.ids.empty()) {
        out.problem = "the changed file is empty: the installer leaves at least one line in a file";
        return out;
    }
    old.index(table.size());
    now.index(table.size());

    // The file before a step is the same however the places before it were
    // grouped, so the best grouping is found from the last place back.
    struct Choice {
        Run run;
        std::size_t last = 0; // the group's last place
        LineHunk place;
    };
    constexpr double kNever = std::numeric_limits<double>::infinity();
    const std::size_t count = hunks.size();
    std::vector<double> cost(count + 1, 0.0);
    std::vector<Choice> choice(count);
    for (std::size_t k = count; k-- > 0;) {
        cost[k] = kNever;
        for (std::size_t m = k; m < count && m < k + kJoinMost; ++m) {
            if (m > k && hunks[m].before - (hunks[m - 1].before + hunks[m - 1].removed) > kJoinGap)
                break;
            const LineHunk place = joined(hunks, k, m);
            const Run run = FileState(table, old, now, place).choose();
            if (!run.ok)
                continue;
            // A step that is not found once, or starts or ends on a blank line,
            // is taken only where no other will do.
            const double mine =
                double(run.tier) * 1e12 + double(kStepBytes + run.bytes + run.actionBytes);
            if (mine + cost[m + 1] < cost[k]) {
                cost[k] = mine + cost[m + 1];
                choice[k] = {run, m, place};
            }
        }
    }
    if (cost[0] == kNever) {
        // The last place with no way on has no step of its own.
        std::size_t k = count;
        while (cost[k - 1] != kNever)
            --k;
        out.problem = "no step of the installer can make the change at line " +
                      std::to_string(hunks[k - 1].after + 1);
        return out;
    }
    for (std::size_t k = 0; k < count; k = choice[k].last + 1) {
        const Choice& c = choice[k];
        const FileState state(table, old, now, c.place);
        MadeStep step;
        step.kind = c.run.kind;
        step.search = joinedKeys(table, state.searchLines(c.run));
        step.action = joinedKeys(table, state.actionLines(c.run));
        step.searchLines = c.run.last - c.run.first;
        step.line = c.run.first + 1;
        out.steps.push_back(std::move(step));
    }
    return out;
}

} // namespace torvale
