// A failed step looked into: the file's index and normal forms made on the
// first failure in it, and kept until a step changes the file.
#include "failed_step.h"

#include "install_file.h"

namespace torvale {

namespace {

void placeOnDisk(NearestPlace& place, const InstallFile& file) {
    const auto disk = [&file](std::size_t line) {
        const std::int64_t origin = line ? file.originOf(line - 1) : -1;
        return origin >= 0 ? std::size_t(origin) + 1 : 0;
    };
    place.diskFirst = disk(place.first);
    place.diskLast = disk(place.last);
    place.otherDiskFirst = disk(place.otherFirst);
    place.otherDiskLast = disk(place.otherLast);
}

} // namespace

void FailedSteps::look(const yabmod::StepView& view, std::string& reason,
                       std::optional<NearestPlace>& nearest) {
    if (!looked_ || looked_->file != &view.file || looked_->fileRun != view.step.file) {
        looked_.emplace();
        looked_->file = &view.file;
        looked_->fileRun = view.step.file;
        looked_->index.emplace(view.file.keys());
        looked_->misses.emplace(view.file);
    }
    reason = (*looked_->misses)(view.search);
    nearest = nearestPlace(*looked_->index, view.search);
    if (nearest)
        placeOnDisk(*nearest, view.file);
}

} // namespace torvale
