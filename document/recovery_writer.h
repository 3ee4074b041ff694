// The thread that assembles and writes recovery copies, so that taking a copy
// of a large mod never holds up the window.
#pragma once

#include "line_ends.h"
#include "recovery_store.h"

#include <condition_variable>
#include <functional>
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
    // written hears, on the writer's thread, how each write went: the reason
    // it failed, empty when it worked.
    explicit RecoveryWriter(RecoveryStore& store,
                            std::function<void(const std::string& error)> written = {});
    // Drops what waits and lets what runs finish.
    ~RecoveryWriter();
    RecoveryWriter(const RecoveryWriter&) = delete;
    RecoveryWriter& operator=(const RecoveryWriter&) = delete;

    // snapshot becomes copy.document, encoded on the writer's thread, with
    // the mod's line ends.
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
    std::function<void(const std::string&)> written_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Job pending_;
    bool busy_ = false;
    bool stopping_ = false;
    std::string lastError_;
    std::thread thread_;
};

} // namespace torvale
