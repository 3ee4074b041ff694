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

// The rows of after with the lines that before had in their place put back,
// marked: the two differ only where a step changed the file. The lines are
// those of the text as written, so that a line a step joined to one without
// its line feed shows as changed.
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
    const std::vector<std::string_view> out = splitLines(before.substr(head, endB - head));
    const std::vector<std::string_view> in = splitLines(after.substr(head, endA - head));
    std::vector<std::string> outKeys, inKeys;
    for (const std::string_view line : out)
        outKeys.push_back(lineKey(line));
    for (const std::string_view line : in)
        inKeys.push_back(lineKey(line));

    std::string& rows = result.text;
    rows.reserve(after.size() + (endB - head) + out.size() + 1);
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
    if (endA < after.size())
        put(after.substr(endA), Edit::Same);
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
    // and the file before and after that one.
    struct Pass {
        bool seen = false;
        std::optional<std::size_t> found;
        int lastChange = 0; // the last step before it that changed the file
        std::vector<int> skipped;
        std::string before, after;
        bool changed = false;
    };
    const auto runTo = [&](int last) {
        Pass pass;
        yabmod::Options options;
        options.keepGoing = true;
        options.lastStep = last;
        options.withChanges = false;
        options.onStep = [&](const yabmod::StepView& view) {
            if (yabmod::Disk::keyOf(view.fileRun.path) != target)
                return;
            const StepRun& step = view.step;
            if (step.number == last) {
                pass.seen = true;
                pass.found = step.found;
                (view.after ? pass.after : pass.before) = view.file.text();
                pass.changed = view.after;
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

    Pass asked = runTo(wanted->number);
    if (!asked.seen)
        return result;
    result.found = asked.found ? *asked.found + 1 : 0;
    result.status = asked.found ? StepResult::Status::Applied : StepResult::Status::NotFound;
    result.skipped = std::move(asked.skipped);
    if (moment == StepMoment::After && asked.changed) {
        showChange(result, asked.before, asked.after);
        result.shownStep = wanted->number;
    } else if (asked.lastChange) {
        // The file as the steps before leave it is the file after the last
        // one that changed it, but for carriage returns taken out since.
        const Pass last = runTo(asked.lastChange);
        showChange(result, last.before, last.after);
        result.shownStep = asked.lastChange;
    } else {
        result.text = std::move(asked.before);
    }
    return result;
}

} // namespace torvale
