// The installer's runs of a check, each step watched as the run comes to it:
// where a found step stands on disk, why a failed one fails and where its
// lines went (looked into on another core meanwhile), and its first search line.
#pragma once

#include "failed_step.h"
#include "mod_check.h"
#include "mod_lines.h"
#include "yabmod.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

class FailureBudget;

class WatchedRuns {
public:
    // What the steps found, looked at while the run has their file at hand:
    // by the step's number, for a mod may have tens of thousands of them.
    struct Seen {
        std::vector<std::size_t> diskLines; // of a found step; 0 when the mod put it in
        struct Failure {
            std::string reason;
            std::optional<NearestPlace> nearest;
        };
        std::map<int, Failure> failures; // each failed step looked into
        std::size_t diskLine(int step) const {
            return std::size_t(step) < diskLines.size() ? diskLines[std::size_t(step)] : 0;
        }
        // What a share of a run saw of its steps, into what the whole saw.
        void takeFrom(Seen&& share) {
            if (diskLines.size() < share.diskLines.size())
                diskLines.resize(share.diskLines.size());
            for (std::size_t n = 0; n < share.diskLines.size(); ++n)
                diskLines[n] = std::max(diskLines[n], share.diskLines[n]);
            failures.merge(share.failures);
        }
        void take(int step, StepCheck& into) {
            const auto f = failures.find(step);
            if (f == failures.end())
                return;
            into.reason = std::move(f->second.reason);
            into.nearest = std::move(f->second.nearest);
        }
    };

    // folders and read are the check's, filled in before the first run.
    WatchedRuns(std::string_view mod, const ModLines& lines, const yabmod::Folders& folders,
                const yabmod::ReadFile& read, unsigned threads)
        : mod_(mod), modLines_(lines), folders_(folders), read_(read), threads_(threads) {}

    // The run as the installer makes it, up to its first failure. The failed
    // steps looked into are the first of the check's runs, this one first.
    yabmod::Run exact() { return runWatched(false, {seen_, failed_, firstLines_}, {}); }
    // The run past the failures, each failing step skipped; for a large mod
    // in shares of its files on as many threads as there are cores to spare.
    yabmod::Run past();
    // The threads past() takes.
    unsigned pastThreads() const;
    // Where past() went first, and met no failure: it was the exact run.
    void pastWasExact() { seen_ = std::move(seenPast_); }
    // Where past() went first, and exact() after it: the failures past()
    // looked into cut to those a run after exact() would have looked into.
    void exactWentFirst();
    // The failed steps' answers, looked into meanwhile, written into what
    // the runs saw.
    void finish() { failed_.finish(); }
    Seen& seen() { return seen_; }
    Seen& seenPast() { return seenPast_; }
    // The first line of the step's search text as the runs read it; asked
    // once for each step.
    std::string firstLine(const yabmod::StepRun& s);

private:
    // What a run's watcher keeps of its steps.
    struct Watch {
        Seen& seen;
        FailedSteps& failed;
        std::vector<std::optional<std::string>>& firstLines;
        FailureBudget* budget = nullptr; // a run in shares: which failures are looked into
        unsigned share = 0;
    };

    yabmod::Run runWatched(bool keepGoing, Watch watch, yabmod::Options::Share share);

    std::string_view mod_;
    const ModLines& modLines_;
    const yabmod::Folders& folders_;
    const yabmod::ReadFile& read_;
    const unsigned threads_; // 0: as many as the mod's size and the cores are worth
    Seen seen_, seenPast_;
    std::vector<std::optional<std::string>> firstLines_; // by the step's number, as the runs saw them
    // Failed steps looked into for a reason and a nearest place so far.
    static constexpr int kMostAnalysed = 200;
    // A mod this large is run past its failures in shares, on up to so many threads.
    static constexpr std::size_t kLeastBytesToShare = std::size_t(1) << 20;
    static constexpr unsigned kMostShares = 4;
    int analysed_ = 0;
    FailedSteps failed_;
};

} // namespace torvale
