// The file after a step: the installer's own run, up to that step and past
// the failures, with the other files' texts left out, since only the steps of
// this file (and the backups the installer copies into it) change it.
#include "step_result.h"

#include "install_file.h"
#include "mod_check.h"
#include "mod_facts.h"
#include "yabmod_disk.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

namespace torvale {

namespace {

using yabmod::StepRun;

// A path without its trailing blanks and ".bak"s: a file and its backups,
// which the installer copies into each other.
std::string_view stem(std::string_view path) {
    for (;;) {
        if (path.ends_with(' '))
            path.remove_suffix(1);
        else if (path.ends_with(".bak"))
            path.remove_suffix(4);
        else
            return path;
    }
}

// Where the line count lines after the one starting at from starts.
std::size_t lineStart(std::string_view text, std::size_t count, std::size_t from = 0) {
    for (; count > 0 && from < text.size(); --count) {
        const void* lf = std::memchr(text.data() + from, '\n', text.size() - from);
        from = lf ? std::size_t(static_cast<const char*>(lf) - text.data()) + 1 : text.size();
    }
    return from;
}

enum class Edit { Same, Out, In };

// The lines taken out against those put in, by their keys: the lines a
// replacement keeps show as they are, only what differs is marked.
std::vector<Edit> lineEdits(const std::vector<std::string>& out,
                             const std::vector<std::string>& in) {
    std::size_t head = 0, tail = 0;
    while (head < out.size() && head < in.size() && out[head] == in[head])
        ++head;
    while (tail < out.size() - head && tail < in.size() - head &&
           out[out.size() - 1 - tail] == in[in.size() - 1 - tail])
        ++tail;
    const std::size_t a = out.size() - head - tail, b = in.size() - head - tail;
    std::vector<Edit> edits(head, Edit::Same);
    constexpr std::size_t kMostCells = std::size_t(1) << 22;
    if (a * b > kMostCells) {
        edits.insert(edits.end(), a, Edit::Out);
        edits.insert(edits.end(), b, Edit::In);
    } else {
        // The longest common run of lines, from the end, then walked from the start.
        std::vector<std::uint32_t> longest((a + 1) * (b + 1), 0);
        const auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& {
            return longest[i * (b + 1) + j];
        };
        for (std::size_t i = a; i-- > 0;)
            for (std::size_t j = b; j-- > 0;)
                at(i, j) = out[head + i] == in[head + j] ? at(i + 1, j + 1) + 1
                                                         : std::max(at(i + 1, j), at(i, j + 1));
        std::size_t i = 0, j = 0;
        while (i < a || j < b) {
            if (i < a && j < b && out[head + i] == in[head + j]) {
                edits.push_back(Edit::Same);
                ++i, ++j;
            } else if (i < a && (j == b || at(i + 1, j) >= at(i, j + 1))) {
                edits.push_back(Edit::Out);
                ++i;
            } else {
                edits.push_back(Edit::In);
                ++j;
            }
        }
    }
    edits.insert(edits.end(), tail, Edit::Same);
    return edits;
}

// Where the line that holds the byte at offset starts.
std::size_t startOfLineAt(std::string_view text, std::size_t offset) {
    const std::size_t lf = offset ? text.rfind('\n', offset - 1) : std::string_view::npos;
    return lf == std::string_view::npos ? 0 : lf + 1;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t next = lineStart(text, 1, from);
        lines.push_back(text.substr(from, next - from));
        from = next;
    }
    return lines;
}

// The rows of after: its bytes up to head, then the lines out that a step
// took out among the lines in it put in, each marked, then its bytes from end.
void putRows(StepResult& result, std::string_view after, std::size_t head, std::size_t end,
             const std::vector<std::string_view>& out, const std::vector<std::string_view>& in) {
    std::vector<std::string> outKeys, inKeys;
    std::size_t outBytes = 0;
    for (const std::string_view line : out) {
        outKeys.push_back(lineKey(line));
        outBytes += line.size() + 1;
    }
    for (const std::string_view line : in)
        inKeys.push_back(lineKey(line));
    std::string& rows = result.text;
    rows.reserve(after.size() + outBytes + 1);
    rows.append(after.substr(0, head));
    std::size_t row = std::size_t(std::count(rows.begin(), rows.end(), '\n'));
    const auto put = [&](std::string_view line, Edit edit) {
        // A last line without its line feed, with rows after it now.
        if (!rows.empty() && rows.back() != '\n')
            rows += '\n';
        const std::size_t from = rows.size();
        rows.append(line);
        if (edit != Edit::Same) {
            const bool added = edit == Edit::In;
            auto& marks = result.marks;
            if (!marks.empty() && marks.back().added == added &&
                marks.back().row + marks.back().rows == row) {
                ++marks.back().rows;
                marks.back().end = rows.size();
            } else {
                marks.push_back({row, 1, added, from, rows.size()});
            }
        }
        ++row;
    };
    std::size_t o = 0, i = 0;
    for (const Edit edit : lineEdits(outKeys, inKeys)) {
        // A line kept shows as the file has it after the step.
        if (edit == Edit::Out) {
            put(out[o++], edit);
            continue;
        }
        o += edit == Edit::Same;
        put(in[i++], edit);
    }
    if (end < after.size())
        put(after.substr(end), Edit::Same);
}

// The rows of after with the lines that before had in their place put back:
// the two differ only where a step changed the file. The lines are those of
// the text as written, so that a line a step joined to one without its line
// feed shows as changed.
void showChange(StepResult& result, std::string_view before, std::string_view after) {
    const std::size_t common = std::min(before.size(), after.size());
    const std::size_t same =
        std::size_t(std::ranges::mismatch(before.substr(0, common), after.substr(0, common)).in1 -
                    before.begin());
    const std::size_t head = same == common && before.size() == after.size()
                                 ? after.size()
                                 : startOfLineAt(after, same);
    // The same bytes at the ends, from a line start on, clear of the head.
    std::size_t tail = 0;
    while (tail < common - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    std::size_t endA = after.size() - tail, endB = before.size() - tail;
    const auto lineStartsAt = [](std::string_view text, std::size_t at) {
        return at == 0 || text[at - 1] == '\n';
    };
    while (endA < after.size() && !(lineStartsAt(after, endA) && lineStartsAt(before, endB)))
        ++endA, ++endB;
    putRows(result, after, head, endA, splitLines(before.substr(head, endB - head)),
            splitLines(after.substr(head, endA - head)));
}

} // namespace

std::size_t StepResult::offsetOfLine(std::size_t line) const {
    std::size_t row = line > 0 ? line - 1 : 0;
    for (const Mark& mark : marks) {
        if (mark.row > row)
            break;
        if (!mark.added)
            row += mark.rows;
    }
    return lineStart(text, row);
}

yabmod::Folders forumFolders(const std::string& forumDirectory, const yabmod::ReadFile& read) {
    yabmod::Folders folders;
    folders.board =
        withoutSlash(std::filesystem::path(forumDirectory).lexically_normal().string());
    folders.html = htmlDirectoryOf(folders.board, read);
    return folders;
}

StepResult stepResult(std::string_view mod, const yabmod::Folders& folders, std::size_t searchLine,
                      StepMoment moment, const yabmod::ReadFile& read) {
    StepResult result;

    // Which step, and which file, as the installer reads the mod.
    yabmod::Options reading;
    reading.readingOnly = true;
    const yabmod::Run steps = yabmod::runInstaller(mod, folders, yabmod::Mode::Install, read, reading);
    const auto wanted = std::ranges::find(steps.steps, searchLine, &StepRun::modLine);
    if (wanted == steps.steps.end()) {
        result.problem = "no step of the mod starts at line " + std::to_string(searchLine);
        return result;
    }
    result.step = wanted->number;
    result.name = steps.files[wanted->file].name;
    std::erase(result.name, '\r');
    if (wanted->result == StepRun::Result::NoAction) {
        result.problem = "the installer reads no action for it before the next <edit file>";
        return result;
    }
    const std::string target = yabmod::Disk::keyOf(steps.files[wanted->file].path);
    const std::string_view family = stem(target);

    const yabmod::ReadFile narrowed = [&](const std::string& path) {
        yabmod::DiskEntry entry = read(path);
        if (entry.kind == yabmod::DiskEntry::Kind::File && stem(path) != family)
            entry.bytes.clear();
        return entry;
    };
    // The file's steps up to one of them: which were found and changed it,
    // and the file before and after that one: as the step leaves it, with
    // the lines it took out and where it put its own, or the whole text
    // before it when asked (or when its lines cannot be told apart).
    struct Pass {
        bool seen = false;
        std::optional<std::size_t> found;
        int lastChange = 0; // the last step before it that changed the file
        std::vector<int> skipped;
        std::string before, after;
        bool changed = false;
        std::size_t at = 0, lines = 0;  // where its lines went in, and the lines after it
        std::vector<std::string> out;   // the lines it took out
        std::vector<std::string_view> in; // the lines it put in
        bool joined = false; // a line it took out without its line feed stood before others
    };
    const auto runTo = [&](int last, bool wholeBefore) {
        Pass pass;
        yabmod::Options options;
        options.keepGoing = true;
        options.lastStep = last;
        options.withChanges = false;
        options.onStep = [&](const yabmod::StepView& view) {
            if (yabmod::Disk::keyOf(view.fileRun.path) != target)
                return;
            const StepRun& step = view.step;
            if (step.number == last && !view.after) {
                pass.seen = true;
                pass.found = step.found;
                if (wholeBefore || !step.found)
                    pass.before = view.file.text();
                if (!step.found)
                    return;
                pass.at = *step.found;
                if (step.action == StepRun::Action::Replace)
                    for (std::size_t k = 0; k < view.search.size(); ++k) {
                        pass.out.push_back(view.file.output(*step.found + k));
                        pass.joined = pass.joined || (!pass.out.back().ends_with('\n') &&
                                                      *step.found + k + 1 < view.file.lineCount());
                    }
                else if (step.action == StepRun::Action::AddAfter)
                    pass.at += view.search.size();
            } else if (step.number == last) {
                pass.after = view.file.text();
                pass.changed = true;
                pass.in = view.added;
                pass.lines = view.file.lineCount();
            } else if (view.after) {
                pass.lastChange = step.number;
            } else if (!step.found) {
                pass.skipped.push_back(step.number);
            }
        };
        const yabmod::Run run = yabmod::runInstaller(mod, folders, yabmod::Mode::Install, narrowed, options);
        if (!pass.seen) {
            const auto ran = std::ranges::find(run.steps, last, &StepRun::number);
            result.problem = ran != run.steps.end() && !run.files[ran->file].problem.empty()
                                 ? run.files[ran->file].problem
                             : run.message.empty() ? "the installer does not reach it"
                                                   : run.message;
        }
        return pass;
    };
    // A step's change: where each of the file's lines is a line of the text
    // after the step, and was one before it, the step's lines stand where the
    // installer put them; else (a line joined to a last one without its line
    // feed, or an empty search text, whose line the installer makes only
    // after it has counted it) the whole texts before and after tell it.
    const auto show = [&](int step, const Pass& pass) {
        const std::string_view after = pass.after;
        const std::size_t breaks = std::size_t(std::count(after.begin(), after.end(), '\n'));
        const std::size_t head = lineStart(after, pass.at);
        const std::size_t end = lineStart(after, pass.in.size(), head);
        const std::vector<std::string_view> in = splitLines(after.substr(head, end - head));
        bool placed = !pass.joined && in.size() == pass.in.size() &&
                      breaks + (!after.empty() && after.back() != '\n') == pass.lines;
        for (std::size_t k = 0; placed && k < in.size(); ++k)
            placed = lineKey(in[k]) == lineKey(pass.in[k]);
        if (placed) {
            putRows(result, after, head, end, {pass.out.begin(), pass.out.end()}, in);
        } else {
            const Pass whole = runTo(step, true);
            showChange(result, whole.before, whole.after);
        }
        result.shownStep = step;
    };

    Pass asked = runTo(wanted->number, moment == StepMoment::Before);
    if (!asked.seen)
        return result;
    result.found = asked.found ? *asked.found + 1 : 0;
    result.status = asked.found ? StepResult::Status::Applied : StepResult::Status::NotFound;
    result.skipped = asked.skipped;
    if (moment == StepMoment::After && asked.changed)
        show(wanted->number, asked);
    else if (asked.lastChange)
        // The file as the steps before leave it is the file after the last
        // one that changed it, but for carriage returns taken out since.
        show(asked.lastChange, runTo(asked.lastChange, false));
    else
        result.text = std::move(asked.before);
    return result;
}

} // namespace torvale
