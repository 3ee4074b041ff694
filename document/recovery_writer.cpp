// The recovery writer's thread: only the latest request counts, and the
// snapshot is encoded, written and freed there.
#include "recovery_writer.h"

#include <chrono>
#include <utility>

namespace torvale {

namespace {

std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

RecoveryWriter::RecoveryWriter(RecoveryStore& store,
                               std::function<void(const std::string&)> written)
    : store_(store), written_(std::move(written)), thread_([this] { run(); }) {}

RecoveryWriter::~RecoveryWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_ = std::monostate();
    }
    changed_.notify_all();
    thread_.join();
}

void RecoveryWriter::write(DocumentSnapshot snapshot, RecoveryCopy copy, LineEnds lineEnds) {
    {
        std::lock_guard lock(mutex_);
        pending_ = Write{std::move(snapshot), std::move(copy), lineEnds};
    }
    changed_.notify_all();
}

void RecoveryWriter::remove() {
    {
        std::lock_guard lock(mutex_);
        pending_ = Remove{};
    }
    changed_.notify_all();
}

void RecoveryWriter::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock,
                  [this] { return !busy_ && std::holds_alternative<std::monostate>(pending_); });
}

std::string RecoveryWriter::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

void RecoveryWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return stopping_ || !std::holds_alternative<std::monostate>(pending_);
        });
        if (stopping_)
            return;
        Job job = std::exchange(pending_, std::monostate());
        busy_ = true;
        lock.unlock();
        std::string error;
        if (auto* write = std::get_if<Write>(&job)) {
            write->copy.document = std::move(write->snapshot);
            write->copy.lineEnds = write->lineEnds;
            if (write->copy.writtenAt == 0)
                write->copy.writtenAt = nowSeconds();
            store_.write(write->copy, &error);
            if (written_)
                written_(error);
        } else {
            store_.remove();
        }
        // The snapshot is freed here too, off the caller's thread.
        job = std::monostate();
        lock.lock();
        busy_ = false;
        lastError_ = std::move(error);
        changed_.notify_all();
    }
}

} // namespace torvale
