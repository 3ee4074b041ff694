// A run past a failed step of a large mod, made by two runs at once, each
// opening the files of one half of the mod's paths.
#pragma once

#include "failed_step.h"
#include "mod_check.h"
#include "yabmod.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvale {

// What the steps found, looked at while the run has their file at hand: by
// the step's number, for a mod may have tens of thousands of them.
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
    void take(int step, StepCheck& into) {
        const auto f = failures.find(step);
        if (f == failures.end())
            return;
        into.reason = std::move(f->second.reason);
        into.nearest = std::move(f->second.nearest);
    }
};

// Which failures, by their step's number, a run looks into: those now says
// yes to as they fail, less those still (when given) says no to by the time
// their turn comes.
struct Looks {
    std::function<bool(int step)> now;
    std::function<bool(int step)> still;
};

// A keep-going run that notes in seen what its steps find, and has failed
// look into the failures looks tells; only the files opens says yes to are
// opened.
using WatchedRun = std::function<yabmod::Run(Seen& seen, FailedSteps& failed, Looks looks,
                                             std::function<bool(std::string_view)> opens)>;

// The run of every file made by two runs at once, each opening half of the
// paths, with what they saw joined into seen, and of the failures those
// looked into that one run would have: while analysed, counting every
// failure, stays below mostAnalysed. The runs meet only at a path one writes and the other looks
// up: then, or when either ends early, nothing comes back, and one run must
// do it all.
std::optional<yabmod::Run> runInHalves(const WatchedRun& run, Seen& seen, int& analysed,
                                       int mostAnalysed);

} // namespace torvale
