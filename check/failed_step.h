// What a check tells of a step whose search text is not found: why, and where
// its lines most likely went, from a file made ready once for all its failures.
#pragma once

#include "near_miss.h"
#include "nearest_place.h"
#include "place_finder.h"
#include "yabmod.h"

#include <optional>
#include <string>

namespace torvale {

class FailedSteps {
public:
    // A step changed the file: what was made of it is dropped.
    void fileChanged() { looked_.reset(); }
    // Why the step's search text is not found in its file as it stands, and
    // its nearest place there, with its lines on disk.
    void look(const yabmod::StepView& view, std::string& reason,
              std::optional<NearestPlace>& nearest);

private:
    // The file of a failed step made ready for looking into, shared by the
    // failed steps after it until a step changes the file or another opens.
    struct LookedAt {
        const InstallFile* file = nullptr;
        std::size_t fileRun = 0;
        std::optional<place::FileIndex> index;
        std::optional<NearMisses> misses;
    };
    std::optional<LookedAt> looked_;
};

} // namespace torvale
