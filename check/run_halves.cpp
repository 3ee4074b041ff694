// Two runs at once over the same mod, each the only one to open its half of
// the files: the installer's run of a file depends on nothing but the paths
// it looks up, so where neither looks up a path the other writes, their
// steps are those of one run.
#include "run_halves.h"

#include <algorithm>
#include <array>
#include <future>
#include <mutex>
#include <unordered_set>

namespace torvale {

namespace {

using yabmod::Run;

// The half that opens a path: by its hash, which shares a forum's files out
// evenly enough.
int halfOf(std::string_view path) {
    return int(std::hash<std::string_view>()(path) & 1);
}

// Whether neither run wrote a path the other looked up or wrote.
bool apart(const Run& a, const Run& b) {
    const auto touched = [](const Run& run) {
        std::unordered_set<std::string_view> paths(run.pathsLooked.begin(), run.pathsLooked.end());
        paths.insert(run.pathsWritten.begin(), run.pathsWritten.end());
        return paths;
    };
    const auto meets = [](const std::vector<std::string>& written,
                          const std::unordered_set<std::string_view>& paths) {
        return std::ranges::any_of(written, [&](const std::string& p) { return paths.contains(p); });
    };
    return !meets(a.pathsWritten, touched(b)) && !meets(b.pathsWritten, touched(a));
}

struct Half {
    Seen seen;
    FailedSteps failed;
    Run run;
};

// The failures of each half so far, by step number: a failure is looked
// into unless it is sure not to be among the first of all, those that one
// run would look into. The other half may still find failures before it,
// never fewer, so now and then one is looked into for nothing.
class Ledger {
public:
    Ledger(int before, int most) : before_(before), most_(most) {}
    // As the step fails: noted, and whether it is worth looking into.
    bool failed(int half, int step) {
        const std::lock_guard lock(mutex_);
        const bool worth = roomFor(step);
        failures_[std::size_t(half)].push_back(step);
        return worth;
    }
    // When its turn comes, the other half having gone on meanwhile.
    bool stillWorth(int step) {
        const std::lock_guard lock(mutex_);
        return roomFor(step);
    }

private:
    // The failures known before step, of both halves, leave room for it.
    bool roomFor(int step) const {
        std::size_t earlier = 0;
        for (const std::vector<int>& steps : failures_)
            earlier += std::size_t(std::lower_bound(steps.begin(), steps.end(), step) - steps.begin());
        return before_ + int(earlier) < most_;
    }
    std::mutex mutex_;
    std::array<std::vector<int>, 2> failures_;
    const int before_, most_;
};

} // namespace

std::optional<Run> runInHalves(const WatchedRun& run, Seen& seen, int& analysed, int mostAnalysed) {
    std::array<Half, 2> halves;
    Ledger ledger(analysed, mostAnalysed);
    const auto runHalf = [&](int which) {
        Half& half = halves[std::size_t(which)];
        Looks looks{[&ledger, which](int step) { return ledger.failed(which, step); },
                    [&ledger](int step) { return ledger.stillWorth(step); }};
        half.run = run(half.seen, half.failed, std::move(looks),
                       [which](std::string_view path) { return halfOf(path) == which; });
        half.failed.finish();
    };
    auto other = std::async(std::launch::async, runHalf, 1);
    runHalf(0);
    other.get();
    const Run& a = halves[0].run;
    const Run& b = halves[1].run;
    // Both read the mod alike, so that their files and steps pair up.
    if (a.end != Run::End::Done || b.end != Run::End::Done || a.files.size() != b.files.size() ||
        a.steps.size() != b.steps.size() || !apart(a, b))
        return std::nullopt;
    Run joined;
    joined.files.reserve(a.files.size());
    for (std::size_t f = 0; f < a.files.size(); ++f)
        joined.files.push_back(halves[std::size_t(halfOf(a.files[f].path))].run.files[f]);
    // Of the failures looked into, those one run would have looked into:
    // the first of all, which are among the first of each half. Counted as
    // one run counts them: every step not found in its open file.
    int failures = analysed;
    joined.steps.reserve(a.steps.size());
    for (std::size_t s = 0; s < a.steps.size(); ++s) {
        Half& owner = halves[std::size_t(halfOf(a.files[a.steps[s].file].path))];
        const yabmod::StepRun& step = owner.run.steps[s];
        joined.steps.push_back(step);
        const int number = step.number;
        if (step.found) {
            if (seen.diskLines.size() <= std::size_t(number))
                seen.diskLines.resize(std::size_t(number) + 1);
            seen.diskLines[std::size_t(number)] = owner.seen.diskLine(number);
        }
        if (step.result != yabmod::StepRun::Result::NotFound || failures++ >= mostAnalysed)
            continue;
        if (const auto f = owner.seen.failures.find(number); f != owner.seen.failures.end())
            seen.failures[number] = std::move(f->second);
    }
    analysed = failures;
    for (Half& half : halves)
        joined.changes.merge(half.run.changes);
    return joined;
}

} // namespace torvale
