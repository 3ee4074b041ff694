// What a check tells of a step whose search text is not found: why, and where
// its lines most likely went, looked into on another core while the run goes on.
#pragma once

#include "nearest_place.h"
#include "yabmod.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace torvale {

class InstallFile;

class FailedSteps {
public:
    FailedSteps() = default;
    FailedSteps(const FailedSteps&) = delete;
    FailedSteps& operator=(const FailedSteps&) = delete;
    ~FailedSteps();

    // A step changed the file: the next failure takes it as it stands anew.
    void fileChanged() { current_.reset(); }
    // Why the step's search text is not found in its file as it stands, and
    // its nearest place there, with its lines on disk: written into reason
    // and nearest by finish(), which they must outlive.
    void look(const yabmod::StepView& view, std::string& reason,
              std::optional<NearestPlace>& nearest);
    // Takes part in the looks still waiting, waits for the rest, and hands
    // out the answers; what went wrong in a look is thrown here.
    void finish();

private:
    struct File; // the file as a failed step saw it
    struct Task {
        std::shared_ptr<const File> file;
        std::vector<std::string> search;
        std::string* reason;
        std::optional<NearestPlace>* nearest;
        std::string answer;
        std::optional<NearestPlace> place;
    };
    void work();
    // Tells the worker to end, past the looks asked for or, dropping them,
    // after the one it is at, and waits for it.
    void stopWorker(bool dropWaiting);

    std::shared_ptr<const File> current_;
    const InstallFile* currentFile_ = nullptr;
    std::size_t currentRun_ = 0; // the file's block in the mod
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::unique_ptr<Task>> tasks_; // under mutex_
    std::size_t next_ = 0;                     // the first task not taken; under mutex_
    bool done_ = false;                        // under mutex_
    std::exception_ptr failure_;               // under mutex_
    std::thread worker_;
};

} // namespace torvale
