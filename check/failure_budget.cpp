#include "failure_budget.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace torvale {

FailureBudget::FailureBudget(unsigned shares, int most)
    : most_(most), shares_(shares), reached_(new std::atomic<int>[shares]), failures_(shares) {
    for (unsigned s = 0; s < shares; ++s)
        reached_[s] = 0;
}

void FailureBudget::reached(unsigned share, int step) {
    // Every step of every share comes here: a store, and a lock only while
    // another share waits.
    reached_[share].store(step);
    if (waiting_.load() > 0)
        moved();
}

void FailureBudget::moved() {
    // Taken once, so that a share about to wait is waiting before the call.
    { const std::lock_guard lock(mutex_); }
    moved_.notify_all();
}

bool FailureBudget::claim(unsigned share, int step) {
    reached(share, step);
    std::unique_lock lock(mutex_);
    if (countBefore(step) >= most_)
        return false;
    // A failure counts whether or not it is looked into.
    failures_[share].push_back(step);
    moved_.notify_all(); // a share that waits may now know its answer
    waiting_.fetch_add(1);
    const auto decided = [&] { return countBefore(step) >= most_ || allReached(step); };
    // Woken by the others as they move; the timeout only rechecks.
    while (!moved_.wait_for(lock, std::chrono::milliseconds(5), decided)) {
    }
    waiting_.fetch_sub(1);
    return countBefore(step) < most_;
}

void FailureBudget::done(unsigned share) {
    reached_[share].store(INT_MAX);
    moved();
}

bool FailureBudget::allReached(int step) const {
    for (unsigned s = 0; s < shares_; ++s)
        if (reached_[s].load() < step)
            return false;
    return true;
}

int FailureBudget::countBefore(int step) const {
    int n = 0;
    for (const std::vector<int>& f : failures_)
        n += int(std::ranges::count_if(f, [step](int s) { return s < step; }));
    return n;
}

} // namespace torvale
