// The thread that assembles and writes recovery copies, so that taking a copy
// of a large mod never holds up the window.
#pragma once

#include "line_ends.h"
#include "recovery_store.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

namespace torvale {

// Assembles and writes the copies on a thread of its own, so that a large mod
// never holds up the window. Only the latest request counts: one that comes
// while another waits replaces it.
class RecoveryWriter {
public:
    explicit RecoveryWriter(RecoveryStore& store);
    // Drops what waits and lets what runs finish.
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    // copy.text is assembled from snapshot on the writer's thread, with the
    // mod's line ends, which its first line break gives back.
    void write(DocumentSnapshot snapshot, RecoveryCopy copy,
               LineEnds lineEnds = LineEnds::CrLf);
    void remove();
    // Blocks until every request so far is done.
    void wait();
    // The reason the last write failed, empty after one that worked.
    std::string lastError() const;

private:
    struct Write {
        DocumentSnapshot snapshot;
        RecoveryCopy copy;
        LineEnds lineEnds;
    };
    struct Remove {};
    using Job = std::variant<std::monostate, Write, Remove>;
    void run();

    RecoveryStore& store_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Job pending_;
    bool busy_ = false;
    bool stopping_ = false;
    std::string lastError_;
    std::thread thread_;
};

} // namespace torvale
