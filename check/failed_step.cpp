// A failed step looked into on a thread of its own: the file's keys taken as
// they stand, and its index made once for the failures that see it alike.
#include "failed_step.h"

#include "install_file.h"
#include "near_miss.h"
#include "place_finder.h"

#include <exception>
#include <utility>

namespace torvale {

struct FailedSteps::File {
    explicit File(const InstallFile& file) : lines(file.snapshot()) {}
    InstallFile::Snapshot lines;
};

namespace {

void placeOnDisk(NearestPlace& place, const InstallFile::Snapshot& file) {
    const auto disk = [&file](std::size_t line) {
        const std::int32_t origin = line ? file.origins[line - 1] : -1;
        return origin >= 0 ? std::size_t(origin) + 1 : 0;
    };
    place.diskFirst = disk(place.first);
    place.diskLast = disk(place.last);
    place.otherDiskFirst = disk(place.otherFirst);
    place.otherDiskLast = disk(place.otherLast);
}

} // namespace

FailedSteps::~FailedSteps() {
    // Only when the run ended otherwise: the answers are not wanted any more.
    stopWorker(true);
}

void FailedSteps::stopWorker(bool dropWaiting) {
    {
        const std::lock_guard lock(mutex_);
        done_ = true;
        if (dropWaiting)
            next_ = tasks_.size();
    }
    wake_.notify_one();
    if (worker_.joinable())
        worker_.join();
}

void FailedSteps::look(const yabmod::StepView& view, std::string& reason,
                       std::optional<NearestPlace>& nearest) {
    if (!current_ || currentFile_ != &view.file || currentRun_ != view.step.file) {
        current_ = std::make_shared<const File>(view.file);
        currentFile_ = &view.file;
        currentRun_ = view.step.file;
    }
    auto task = std::make_unique<Task>();
    task->file = current_;
    task->search.assign(view.search.begin(), view.search.end());
    task->reason = &reason;
    task->nearest = &nearest;
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    if (!worker_.joinable())
        worker_ = std::thread([this] { work(); });
    wake_.notify_one();
}

void FailedSteps::work() {
    const File* seen = nullptr;
    // Each line's part of an index, made once for all the states of its
    // file (a step changes only a few lines) and for lines alike.
    const auto memo = std::make_shared<place::LineMemo>();
    std::optional<place::FileIndex> index;
    std::optional<NearMisses> misses;
    for (;;) {
        Task* task = nullptr;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return next_ < tasks_.size() || done_; });
            if (next_ == tasks_.size())
                return;
            task = tasks_[next_++].get();
        }
        // What goes wrong here (memory running out) is handed to the run's
        // thread, as it would have come up there.
        try {
            const InstallFile::Snapshot& file = task->file->lines;
            if (seen != task->file.get()) {
                seen = nullptr;
                index.emplace(file.keys, memo);
                misses.emplace(file.keys, &index->hash, &file.origins);
                seen = task->file.get();
            }
            const std::vector<std::string_view> search(task->search.begin(), task->search.end());
            task->answer = (*misses)(search);
            task->place = nearestPlace(*index, search);
            if (task->place)
                placeOnDisk(*task->place, file);
        } catch (...) {
            const std::lock_guard lock(mutex_);
            if (!failure_)
                failure_ = std::current_exception();
        }
    }
}

void FailedSteps::finish() {
    // The run is over: this thread takes on the looks still waiting beside
    // the worker, instead of only waiting for it.
    if (worker_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        work();
    }
    stopWorker(false);
    for (const std::unique_ptr<Task>& task : tasks_) {
        *task->reason = std::move(task->answer);
        *task->nearest = std::move(task->place);
    }
    tasks_.clear();
    next_ = 0;
    done_ = false;
    current_.reset();
    if (std::exception_ptr failure = std::exchange(failure_, nullptr))
        std::rethrow_exception(failure);
}

} // namespace torvale
