// The test of a mod against the forum: the installer's run as it is, and,
// when it stops early, a second run past its failures, so that every step
// is reported with what the installer would make of it.
#include "mod_check.h"

#include "install_file.h"
#include "mod_lines.h"
#include "line_diff.h"
#include "mod_facts.h"
#include "reading_differences.h"
#include "round_trip.h"
#include "watched_runs.h"

#include "document/memory_hints.h"
#include "forum/name_lookup.h"

#include <algorithm>
#include <filesystem>
#include <future>
#include <map>
#include <utility>

namespace torvale {

namespace {

using Status = StepCheck::Status;
using FileStatus = FileCheck::Status;
using yabmod::Run;
using yabmod::StepRun;
using Seen = WatchedRuns::Seen;

class Check {
public:
    Check(std::string_view mod, const CheckOptions& options) : mod_(mod), options_(options) {
        read_ = options.read ? options.read : yabmod::ReadFile(yabmod::readFromDisk);
    }

    CheckReport run() {
        report_.notAMod = !holdsModTag(mod_);
        if (report_.notAMod) {
            report_.stopMessage = isPackageList(mod_)
                                      ? "it is the list YaBB keeps of a mod's files to delete "
                                        "its package, not a mod"
                                      : "it holds no mod tags: it is not a mod file";
            return std::move(report_);
        }
        // The editor's reading is made on another core while the installer
        // runs: it needs only the mod.
        auto editor = std::async(std::launch::async, [this] {
            return EditorReading(mod_, modLines_.lines);
        });
        if (options_.forumDirectory.empty()) {
            untested();
            warnAboutTheMod(readingDifferences(editor.get(), mod_, modLines_.lines));
            return std::move(report_);
        }
        report_.tested = true;
        // Whole paths, as the installer's are: a "/../" in them it refuses.
        folders_.board = withoutSlash(
            std::filesystem::path(options_.forumDirectory).lexically_normal().string());
        folders_.html = options_.htmlDirectory.empty()
                            ? htmlDirectoryOf(folders_.board, read_)
                            : withoutSlash(options_.htmlDirectory);
        Run exact, past;
        if (runs_.pastThreads() > 1) {
            // With cores to spare the run past the failures goes first, in
            // shares: where it meets none, it was the installer's own run.
            past = runs_.past();
            if (metNoFailure(past)) {
                exact = std::exchange(past, Run{});
                runs_.pastWasExact();
            } else {
                exact = runs_.exact();
                runs_.exactWentFirst();
            }
        } else {
            exact = runs_.exact();
            if (exact.end != Run::End::Done)
                past = runs_.past();
        }
        report_.end = exact.end;
        report_.failedStep = exact.failedStep;
        report_.stopMessage = exact.message;
        const bool stopped = exact.end != Run::End::Done;
        const Run& all = stopped ? past : exact;
        runs_.finish(); // the failed steps' answers, looked into meanwhile
        // The readings compared on another core while the report is made. A
        // run that went through the whole mod read every step the installer
        // reads; else a run that only reads tells them.
        auto differences = std::async(std::launch::async, [this, &editor, &all] {
            const EditorReading reading = editor.get();
            return all.end == Run::End::Done
                       ? reading.differencesFrom(all)
                       : readingDifferences(reading, mod_, modLines_.lines);
        });
        listFiles(exact, all);
        listSteps(exact, all);
        warnAboutTheRun(exact);
        if (options_.diffs && (!stopped || options_.keepGoing))
            addDiffs(all);
        if (options_.uninstall)
            checkUninstall(exact);
        warnAboutTheMod(differences.get());
        return std::move(report_);
    }

private:
    // A keep-going run that skipped nothing went as the installer's does.
    static bool metNoFailure(const Run& run) {
        return run.end == Run::End::Done &&
               std::ranges::all_of(run.steps, [](const StepRun& s) {
                   return s.result == StepRun::Result::Found;
               }) &&
               std::ranges::all_of(run.files, [](const yabmod::FileRun& f) { return f.problem.empty(); });
    }

    // Without a forum the steps are listed as the installer reads them.
    void untested() {
        yabmod::ReadFile empty = [](const std::string&) {
            return yabmod::DiskEntry{yabmod::DiskEntry::Kind::File, {}};
        };
        yabmod::Options options;
        options.keepGoing = true;
        options.modLines = &modLines_.lines;
        const Run run = yabmod::runInstaller(mod_, {"/forum", "/html"}, yabmod::Mode::Install,
                                             empty, options);
        for (const yabmod::FileRun& f : run.files) {
            report_.files.push_back({f.name, {}, f.modLine, FileStatus::NoForumScript, {}, {}, {}});
            std::erase(report_.files.back().name, '\r');
        }
        for (const StepRun& s : run.steps) {
            StepCheck step;
            step.step = s.number;
            step.modLine = s.modLine;
            step.file = s.file;
            step.status = Status::NotTested;
            step.firstLine = runs_.firstLine(s);
            report_.steps.push_back(std::move(step));
        }
    }

    std::optional<std::string> original(const std::string& path) {
        const auto known = originals_.find(path);
        if (known != originals_.end())
            return known->second;
        const yabmod::DiskEntry entry = read_(path);
        std::optional<std::string> bytes;
        if (entry.kind == yabmod::DiskEntry::Kind::File)
            bytes = entry.bytes;
        return originals_.emplace(path, std::move(bytes)).first->second;
    }

    // Asked once for each block of a file: the answer is kept.
    bool changedBy(const Run& run, const std::string& path) {
        if (const auto known = changed_.find(path); known != changed_.end())
            return known->second;
        const auto change = run.changes.find(path);
        const bool changed = change != run.changes.end() && change->second.value() != original(path);
        return changed_.emplace(path, changed).first->second;
    }

    void listFiles(const Run& exact, const Run& all) {
        for (std::size_t f = 0; f < all.files.size(); ++f) {
            const yabmod::FileRun& run = all.files[f];
            FileCheck file;
            // The carriage return a CR LF mod leaves in a name is warned of once.
            file.name = run.name;
            std::erase(file.name, '\r');
            file.path = run.path;
            file.modLine = run.modLine;
            file.diffName = run.path.starts_with(folders_.board + "/")
                                ? run.path.substr(folders_.board.size() + 1)
                                : run.path;
            const bool reached = f < exact.files.size();
            if (!run.problem.empty()) {
                file.status = run.problem.starts_with("the forum's html") ? FileStatus::NotTested
                                                                          : FileStatus::Missing;
                file.reason = run.problem;
                if (file.status == FileStatus::Missing)
                    file.reason = missingReason(run);
            } else if (!reached) {
                file.status = FileStatus::NotReached;
            } else {
                file.status = changedBy(exact, run.path) ? FileStatus::Changed : FileStatus::Unchanged;
            }
            report_.files.push_back(std::move(file));
        }
    }

    // Why the installer cannot open a file, and the name it has on disk when
    // it is there in other letters.
    // Asked for each block of a missing file: the answer is kept.
    std::string missingReason(const yabmod::FileRun& run) {
        if (run.problem.starts_with("fopen refuses"))
            return "the installer refuses names with \"../\"";
        const auto known = missing_.find(run.path);
        if (known != missing_.end())
            return known->second;
        return missing_.emplace(run.path, lookForMissing(run)).first->second;
    }

    std::string lookForMissing(const yabmod::FileRun& run) {
        const std::string dir = run.path.substr(0, run.path.rfind('/') + 1);
        const std::string near = resolveEditFile(dir, run.path.substr(dir.size()));
        if (!near.empty() && near != run.path && read_(near).kind == yabmod::DiskEntry::Kind::File)
            return "not found; on disk there is " + near +
                   ", in other letters: a Linux server will not find it";
        return "not found at " + run.path;
    }

    void listSteps(const Run& exact, const Run& all) {
        // By the step's number: a mod may have tens of thousands of steps.
        std::vector<const StepRun*> reached;
        for (const StepRun& s : exact.steps) {
            if (reached.size() <= std::size_t(s.number))
                reached.resize(std::size_t(s.number) + 1);
            reached[std::size_t(s.number)] = &s;
        }
        report_.steps.reserve(all.steps.size());
        adviseHugePages(report_.steps.data(), report_.steps.capacity() * sizeof(StepCheck));
        for (const StepRun& s : all.steps) {
            StepCheck step;
            step.step = s.number;
            step.modLine = s.modLine;
            step.file = s.file;
            step.firstLine = runs_.firstLine(s);
            step.foundPast = s.result == StepRun::Result::Found;
            const StepRun* r =
                std::size_t(s.number) < reached.size() ? reached[std::size_t(s.number)] : nullptr;
            const bool fileProblem = !report_.files[s.file].reason.empty() &&
                                     report_.files[s.file].status != FileStatus::Changed &&
                                     report_.files[s.file].status != FileStatus::Unchanged;
            if (fileProblem) {
                step.status = report_.files[s.file].status == FileStatus::NotTested
                                  ? Status::NotTested
                                  : Status::FileMissing;
                step.reason = report_.files[s.file].reason;
            } else if (!r) {
                step.status = Status::NotReached;
                describeFound(step, s, runs_.seenPast());
            } else {
                describe(step, *r, runs_.seen());
            }
            report_.steps.push_back(std::move(step));
        }
    }

    void describe(StepCheck& step, const StepRun& s, Seen& seen) {
        switch (s.result) {
        case StepRun::Result::Found:
            step.status = Status::Found;
            describeFound(step, s, seen);
            return;
        case StepRun::Result::NotFound:
            step.status = Status::NotFound;
            seen.take(s.number, step);
            return;
        case StepRun::Result::Mismatch:
            step.status = Status::Mismatch;
            return;
        case StepRun::Result::NoAction:
            step.status = Status::NoAction;
            return;
        case StepRun::Result::NoFile:
            step.status = Status::FileMissing;
            return;
        case StepRun::Result::NotTested:
        case StepRun::Result::Elsewhere: // never in a run made whole
            step.status = Status::NotTested;
            return;
        }
    }

    static void describeFound(StepCheck& step, const StepRun& s, Seen& seen) {
        if (!s.found) {
            if (s.result == StepRun::Result::NotFound)
                seen.take(s.number, step);
            return;
        }
        step.line = *s.found + 1;
        step.diskLine = seen.diskLine(s.number);
        step.again = s.again == std::string::npos ? 0 : s.again + 1;
    }

    // The warnings about the mod itself, ahead of those about the run.
    void warnAboutTheMod(std::vector<ReadingDifference> differences) {
        report_.differences = std::move(differences);
        std::vector<CheckWarning> warnings;
        const std::size_t lf = mod_.find('\n');
        if (lf != std::string_view::npos && lf > 0 && mod_[lf - 1] == '\r')
            warnings.push_back(
                {0, "the mod has CR LF line ends: YaBB's installer then keeps a CR in every file "
                    "name, so it makes no backups and restores nothing after a failed step, and "
                    "it puts CR LF lines into the forum's LF files"});
        for (const ReadingDifference& d : report_.differences)
            if (d.what.starts_with("the installer skips"))
                warnings.push_back({d.modLine, d.what});
        report_.warnings.insert(report_.warnings.begin(), warnings.begin(), warnings.end());
    }

    void warnAboutTheRun(const Run& exact) {
        for (const StepCheck& s : report_.steps)
            if (s.status == Status::Found && s.again)
                report_.warnings.push_back(
                    {s.modLine, "step " + std::to_string(s.step) + ": its search text stands again at line " +
                                    std::to_string(s.again) + "; the installer takes the first"});
        const std::string board = folders_.board + "/";
        const std::string html = folders_.html.empty() ? std::string() : folders_.html + "/";
        for (const auto& [path, bytes] : exact.changes)
            if (!path.starts_with(board) && (html.empty() || !path.starts_with(html)))
                report_.warnings.push_back(
                    {0, "the installer writes " + path + ", outside the forum's folders"});
        if (exact.end != Run::End::Done)
            for (const FileCheck& f : report_.files)
                if (f.status == FileStatus::Changed)
                    report_.warnings.push_back(
                        {f.modLine, f.name + " stays changed after the failure: the installer "
                                             "cannot restore it from a backup"});
    }

    void addDiffs(const Run& run) {
        std::map<std::string, bool> done;
        for (FileCheck& file : report_.files) {
            if (done[file.path])
                continue;
            done[file.path] = true;
            const auto change = run.changes.find(file.path);
            if (change == run.changes.end() || !change->second)
                continue;
            const std::optional<std::string> before = original(file.path);
            file.diff = unifiedDiff(before.value_or(""), *change->second, file.diffName);
        }
    }

    void checkUninstall(const Run& installed) {
        yabmod::Options options;
        options.modLines = &modLines_.lines;
        options.modOutlivesRun = true;
        options.modCrsOnlyBeforeLfs = modLines_.crsOnlyBeforeLfs;
        report_.uninstall = uninstallAfter(installed, mod_, folders_, read_, options,
                                           [this](const std::string& path) { return original(path); });
    }

    std::string_view mod_;
    ModLines modLines_{mod_};
    const CheckOptions& options_;
    yabmod::ReadFile read_;
    yabmod::Folders folders_;
    CheckReport report_;
    WatchedRuns runs_{mod_, modLines_, folders_, read_, options_.threads};
    std::map<std::string, std::optional<std::string>> originals_;
    std::map<std::string, bool> changed_; // by the exact run
    std::map<std::string, std::string> missing_; // why, by path
};

} // namespace

CheckReport checkMod(std::string_view mod, const CheckOptions& options) {
    return Check(mod, options).run();
}

} // namespace torvale
