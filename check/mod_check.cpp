// The test of a mod against the forum: each forum file read once, the steps
// of every edit-file node that names it applied in the mod's order, and the
// report in words for the command line.
#include "mod_check.h"

#include "install_file.h"

#include "forum/forum_file.h"
#include "forum/name_lookup.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <thread>
#include <unordered_map>

namespace torvale {

namespace {

using Step = StepCheck::Status;
using File = FileCheck::Status;

InstallFile::Change changeOf(std::int32_t kind) {
    switch (kind) {
    case akSearchAddBefore:
        return InstallFile::Change::AddBefore;
    case akSearchAddAfter:
        return InstallFile::Change::AddAfter;
    default:
        return InstallFile::Change::Replace;
    }
}

// Asks for the memory at p to be brought near, where the compiler can.
inline void prefetch(const char* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// The steps are listed in the mod's order first; then each file is read and
// its steps applied, file after file, so that one file's lines are in the
// cache while its steps run and in memory only until its result is known.
class Checker {
public:
    Checker(const ModDocument& doc, const CheckOptions& options) : doc_(doc), options_(options) {}

    CheckReport run() {
        // What each step needs is taken from its node as the steps are
        // listed, in the mod's order, in which the nodes lie in memory; the
        // files' steps, taken in another order, then find it side by side.
        std::vector<std::vector<Pending>> byFile;
        int step = 0;
        for (int r = 0; r < doc_.topLevelCount(); ++r) {
            const Node* top = doc_.topLevel(r);
            StepCheck check;
            if (top->kind() != akEditFile) {
                check.node = top;
                check.status = Step::NoEditFile;
                report_.steps.push_back(check);
                continue;
            }
            check.file = fileFor(top->item().FileName);
            byFile.resize(report_.files.size());
            for (int c = 0; c < top->childCount(); ++c) {
                check.node = top->child(c);
                check.step = ++step;
                const TItem& item = check.node->item();
                byFile[check.file].push_back({report_.steps.size(), item.SearchText.view(),
                                              item.ActionText.view(), changeOf(item.Kind)});
                report_.steps.push_back(check);
            }
        }
        // Files are independent of each other: as many at a time as there
        // are cores, each taking the next file not yet taken. The files with
        // the most steps go first, so that no thread is left with a long one
        // at the end while the others wait.
        std::vector<std::size_t> order(report_.files.size());
        for (std::size_t f = 0; f < order.size(); ++f)
            order[f] = f;
        std::ranges::stable_sort(order, [&](std::size_t a, std::size_t b) {
            return byFile[a].size() > byFile[b].size();
        });
        std::atomic<std::size_t> next = 0;
        const auto work = [&] {
            Scratch scratch;
            for (std::size_t n; (n = next++) < order.size();)
                checkFile(report_.files[order[n]], byFile[order[n]], scratch);
        };
        const std::size_t helpers =
            std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), 8) - 1;
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < helpers && t + 1 < report_.files.size(); ++t)
            threads.emplace_back(work);
        work();
        for (std::thread& thread : threads)
            thread.join();
        return std::move(report_);
    }

private:
    struct Pending {
        std::size_t step; // in report_.steps
        std::string_view search;
        std::string_view action;
        InstallFile::Change change;
    };

    // Memory that each step uses again, one for each thread.
    struct Scratch {
        std::deque<std::string> searchStorage;
        std::vector<std::string_view> search;
        std::vector<std::string_view> action;
    };

    // The file an edit-file node names. Large mods name the same few files
    // thousands of times; each name is looked up on disk once, and names that
    // lead to one file share it, so that later nodes see what the steps
    // before them made of it.
    std::size_t fileFor(std::string_view name) {
        const auto named = byName_.find(name);
        if (named != byName_.end())
            return named->second;
        FileCheck check;
        check.name = name;
        std::string key;
        if (options_.forumDirectory.empty()) {
            check.status = File::NoForumScript;
            key = "\n" + check.name;
        } else {
            check.path = resolveEditFile(options_.forumDirectory, name);
            key = check.path.empty() ? "\n\n" + check.name : check.path;
            const std::string& dir = options_.forumDirectory;
            check.diffName =
                check.path.starts_with(dir) ? check.path.substr(dir.size()) : check.path;
        }
        auto known = byKey_.find(key);
        if (known == byKey_.end()) {
            known = byKey_.emplace(std::move(key), report_.files.size()).first;
            report_.files.push_back(std::move(check));
        }
        byName_.emplace(name, known->second);
        return known->second;
    }

    void checkFile(FileCheck& file, const std::vector<Pending>& steps, Scratch& scratch) {
        ForumFile read;
        if (file.status != File::NoForumScript) {
            read = loadForumFile(file.path, kMaxForumFileSize, false);
            if (read.status == ForumFile::Status::NotFound) {
                file.status = File::Missing;
                file.error = read.error; // why no file can have the name, if that is why
            } else if (read.status != ForumFile::Status::Loaded) {
                file.status = File::Unreadable;
                file.error = read.error;
            }
        }
        const Step status = file.status == File::NoForumScript ? Step::NoForumScript
                            : file.status == File::Missing     ? Step::FileMissing
                                                               : Step::FileUnreadable;
        if (read.status != ForumFile::Status::Loaded) {
            for (const Pending& step : steps)
                report_.steps[step.step].status = status;
            return;
        }
        InstallFile lines(read.content.bytes);
        std::deque<std::string> actionStorage; // lines added to the file live as long as it
        for (std::size_t k = 0; k < steps.size(); ++k) {
            // The texts of a later step lie anywhere in a large mod: asked
            // for now, they are there when that step comes.
            if (k + 2 < steps.size()) {
                prefetch(steps[k + 2].search.data());
                prefetch(steps[k + 2].action.data());
            }
            checkStep(report_.steps[steps[k].step], steps[k], lines, actionStorage, scratch);
        }
        const bool changed = lines.changed();
        file.status = changed ? File::Changed : File::Unchanged;
        if (changed && options_.diffs)
            file.diff = lines.unifiedDiff("a/" + file.diffName, "b/" + file.diffName);
    }

    static void checkStep(StepCheck& check, const Pending& step, InstallFile& lines,
                          std::deque<std::string>& actionStorage, Scratch& scratch) {
        scratch.searchStorage.clear();
        installerLines(step.search, scratch.searchStorage, scratch.search);
        check.emptySearch = scratch.search.empty();
        const auto found = lines.find(scratch.search);
        if (!found) {
            check.status = Step::NotFound;
            return;
        }
        check.status = Step::Found;
        check.line = found->line + 1;
        check.again = found->again == std::string_view::npos ? 0 : found->again + 1;
        // The added lines point into the document or into storage kept to the end.
        installerLines(step.action, actionStorage, scratch.action);
        lines.apply(step.change, found->line, scratch.search.size(), scratch.action);
    }

    const ModDocument& doc_;
    const CheckOptions& options_;
    CheckReport report_;
    std::unordered_map<std::string, std::size_t> byKey_;
    // The names as the document holds them, which outlives the check; hashed,
    // since a large mod looks a name up for each of thousands of nodes.
    std::unordered_map<std::string_view, std::size_t> byName_;
};

} // namespace

bool CheckReport::allFound() const {
    return std::ranges::all_of(steps, [](const StepCheck& s) { return s.status == Step::Found; });
}

bool CheckReport::anyUnreadable() const {
    return std::ranges::any_of(files,
                               [](const FileCheck& f) { return f.status == File::Unreadable; });
}

CheckReport checkMod(const ModDocument& doc, const CheckOptions& options) {
    return Checker(doc, options).run();
}

std::string describeStep(const StepCheck& step) {
    switch (step.status) {
    case Step::Found:
        if (step.again)
            return "found at line " + std::to_string(step.line) + ", and again at line " +
                   std::to_string(step.again) + ": the installer takes the first";
        return "found at line " + std::to_string(step.line);
    case Step::NotFound:
        return step.emptySearch ? "not found: the search text is empty" : "not found";
    case Step::FileMissing:
        return "file missing";
    case Step::FileUnreadable:
        return "file cannot be read";
    case Step::NoForumScript:
        return "no forum script configured";
    case Step::NoEditFile:
        return "not tested: it comes before any edit-file block";
    }
    return {};
}

std::string describeFile(const FileCheck& file) {
    switch (file.status) {
    case File::Changed:
        return "changed";
    case File::Unchanged:
        return "not changed";
    case File::Missing:
        if (!file.error.empty())
            return "file missing: " + file.error;
        return file.path.empty() ? "file missing" : "file missing (" + file.path + ")";
    case File::Unreadable:
        return "cannot be read (" + file.path + "): " + file.error;
    case File::NoForumScript:
        return "no forum script configured";
    }
    return {};
}

std::string formatReport(const CheckReport& report) {
    std::string out;
    const auto stepLine = [&out](const StepCheck& s) {
        out.append("  step ").append(std::to_string(s.step)).append(": ");
        out.append(describeStep(s)).push_back('\n');
    };
    bool before = false;
    for (const StepCheck& s : report.steps)
        if (s.status == Step::NoEditFile) {
            if (!before)
                out.append("Before any edit file:\n");
            before = true;
            out.append("  search action: ").append(describeStep(s)).push_back('\n');
        }
    std::vector<std::vector<const StepCheck*>> byFile(report.files.size());
    for (const StepCheck& s : report.steps)
        if (s.status != Step::NoEditFile)
            byFile[s.file].push_back(&s);
    for (std::size_t f = 0; f < report.files.size(); ++f) {
        const FileCheck& file = report.files[f];
        out.append(file.name.empty() ? "(no file name)" : file.name).append(": ");
        out.append(describeFile(file)).push_back('\n');
        for (const StepCheck* s : byFile[f])
            stepLine(*s);
    }
    // Steps that no forum could be tried on are neither found nor failed.
    const auto count = [&report](Step status) {
        return std::size_t(std::ranges::count_if(
            report.steps, [status](const StepCheck& s) { return s.status == status; }));
    };
    const std::size_t found = count(Step::Found), untested = count(Step::NoForumScript);
    out.append(std::to_string(report.steps.size()))
        .append(report.steps.size() == 1 ? " step: " : " steps: ")
        .append(std::to_string(found))
        .append(" found, ")
        .append(std::to_string(report.steps.size() - found - untested))
        .append(" failed");
    if (untested)
        out.append(", ")
            .append(std::to_string(untested))
            .append(" not tested: no forum script configured");
    out.append(".\n");
    return out;
}

} // namespace torvale
