#include "watched_runs.h"

#include "failure_budget.h"
#include "install_file.h"

#include <algorithm>
#include <future>
#include <iterator>
#include <thread>

namespace torvale {

using yabmod::Run;
using yabmod::StepRun;

Run WatchedRuns::runWatched(bool keepGoing, Watch watch, yabmod::Options::Share share) {
    yabmod::Options options;
    options.keepGoing = keepGoing;
    options.modLines = &modLines_.lines;
    options.modOutlivesRun = true; // the runs end with the check
    options.modCrsOnlyBeforeLfs = modLines_.crsOnlyBeforeLfs;
    options.share = share;
    options.onStep = [this, &watch](const yabmod::StepView& view) {
        if (view.after) {
            // The step changed its file.
            watch.failed.fileChanged();
            return;
        }
        const int number = view.step.number;
        if (watch.budget)
            watch.budget->reached(watch.share, number);
        if (view.step.result == StepRun::Result::Elsewhere)
            return;
        // The first search line while its bytes are at hand: looked up
        // in the mod after the run, each cost a miss of the cache.
        auto& firstLines = watch.firstLines;
        if (view.step.searchRead > 0) {
            if (firstLines.size() <= std::size_t(number))
                firstLines.resize(std::size_t(number) + 1);
            firstLines[std::size_t(number)] = std::string(view.search[0]);
        }
        Seen& seen = watch.seen;
        if (view.step.found) {
            const std::int64_t origin = view.file.originOf(*view.step.found);
            if (seen.diskLines.size() <= std::size_t(number))
                seen.diskLines.resize(std::size_t(number) + 1);
            seen.diskLines[std::size_t(number)] = origin >= 0 ? std::size_t(origin) + 1 : 0;
        } else if (watch.budget ? watch.budget->claim(watch.share, number)
                                : analysed_++ < kMostAnalysed) {
            // Each costs a look through the whole file: a mod that fails
            // everywhere is told of its first failures in full.
            Seen::Failure& f = seen.failures[number];
            watch.failed.look(view, f.reason, f.nearest);
        }
    };
    watch.failed.fileChanged();
    return yabmod::runInstaller(mod_, folders_, yabmod::Mode::Install, read_, options);
}

// Each share reads the whole mod, a tenth more work in all: on two cores,
// where the work beside the run (the editor's reading, the failed steps
// looked into) fills the second, shares gain nothing.
unsigned WatchedRuns::pastThreads() const {
    if (threads_)
        return threads_;
    const unsigned cores = std::thread::hardware_concurrency();
    return mod_.size() >= kLeastBytesToShare && cores >= 3 ? std::min(cores - 1, kMostShares) : 1;
}

void WatchedRuns::exactWentFirst() {
    const auto room = std::size_t(std::max(0, kMostAnalysed - analysed_));
    while (seenPast_.failures.size() > room)
        seenPast_.failures.erase(std::prev(seenPast_.failures.end()));
}

Run WatchedRuns::past() {
    const unsigned threads = pastThreads();
    if (threads < 2)
        return runWatched(true, {seenPast_, failed_, firstLines_}, {});
    FailureBudget budget(threads, std::max(0, kMostAnalysed - analysed_));
    // Each share's own, put together after the run.
    std::vector<Seen> seen(threads);
    std::vector<FailedSteps> failed(threads);
    std::vector<std::vector<std::optional<std::string>>> firstLines(threads);
    const auto runShare = [&](unsigned s) {
        struct Done {
            FailureBudget& budget;
            unsigned s;
            ~Done() { budget.done(s); } // also when it throws
        } done{budget, s};
        return runWatched(true, {seen[s], failed[s], firstLines[s], &budget, s}, {s, threads});
    };
    std::vector<std::future<Run>> others;
    for (unsigned s = 1; s < threads; ++s)
        others.push_back(std::async(std::launch::async, runShare, s));
    std::vector<Run> shares;
    shares.push_back(runShare(0));
    for (std::future<Run>& other : others)
        shares.push_back(other.get());
    // The answers point into seen: they come in before it is merged.
    for (FailedSteps& f : failed)
        f.finish();
    std::optional<Run> merged = yabmod::mergeShares(std::move(shares));
    if (!merged) // the shares ended apart: the run of the whole tells
        return runWatched(true, {seenPast_, failed_, firstLines_}, {});
    for (Seen& part : seen)
        seenPast_.takeFrom(std::move(part));
    for (auto& lines : firstLines) {
        if (firstLines_.size() < lines.size())
            firstLines_.resize(lines.size());
        for (std::size_t n = 0; n < lines.size(); ++n)
            if (lines[n])
                firstLines_[n] = std::move(lines[n]);
    }
    return std::move(*merged);
}

std::string WatchedRuns::firstLine(const StepRun& s) {
    const auto n = std::size_t(s.number);
    if (n < firstLines_.size() && firstLines_[n])
        return std::move(*firstLines_[n]);
    return modLines_.firstSearchLine(s.modLine);
}

} // namespace torvale
