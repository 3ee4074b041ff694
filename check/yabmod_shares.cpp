// A keep-going install run in shares on several threads: which share opens
// a file, and the shares' runs put together.
#include "yabmod.h"

#include "yabmod_disk.h"

#include <functional>

namespace torvale::yabmod {

unsigned shareOf(std::string_view path, unsigned count) {
    // As fopen trims it to read it, and as the disk keys it.
    while (path.starts_with(' '))
        path.remove_prefix(1);
    while (path.ends_with(' '))
        path.remove_suffix(1);
    const std::string key = Disk::keyOf(path);
    // Its backups, the name with ".bak" after it, go with the file.
    std::string_view family = key;
    for (;;) {
        while (family.ends_with(' '))
            family.remove_suffix(1);
        if (!family.ends_with(".bak"))
            break;
        family.remove_suffix(4);
    }
    return unsigned(std::hash<std::string_view>()(family) % count);
}

std::optional<Run> mergeShares(std::vector<Run> shares) {
    if (shares.empty())
        return std::nullopt;
    Run& whole = shares.front();
    const auto count = unsigned(shares.size());
    for (unsigned s = 0; s < count; ++s) {
        const Run& share = shares[s];
        // A stop where the mod itself ends the run comes alike to every
        // share; one that a file makes, to its share alone.
        if (share.end != whole.end || share.failedStep != whole.failedStep ||
            share.failedModLine != whole.failedModLine || share.message != whole.message ||
            share.files.size() != whole.files.size() || share.steps.size() != whole.steps.size())
            return std::nullopt;
        for (const auto& change : share.changes)
            if (shareOf(change.first, count) != s)
                return std::nullopt;
    }
    for (unsigned s = 1; s < count; ++s) {
        Run& share = shares[s];
        for (std::size_t f = 0; f < whole.files.size(); ++f)
            if (whole.files[f].elsewhere && !share.files[f].elsewhere)
                whole.files[f] = std::move(share.files[f]);
        for (std::size_t k = 0; k < whole.steps.size(); ++k) {
            if (share.steps[k].number != whole.steps[k].number)
                return std::nullopt;
            if (whole.steps[k].result == StepRun::Result::Elsewhere &&
                share.steps[k].result != StepRun::Result::Elsewhere)
                whole.steps[k] = share.steps[k];
        }
        whole.changes.merge(share.changes);
    }
    return std::move(whole);
}

} // namespace torvale::yabmod
