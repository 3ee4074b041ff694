// Which failed steps of a run made in shares on several threads are looked
// into: the first so many in the order of the mod, as a run of the whole
// takes them, whichever share gets there first.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace torvale {

class FailureBudget {
public:
    FailureBudget(unsigned shares, int most);

    // The share has come to step (the installer's number): every step
    // before it is done. Each share tells of its steps in the mod's order.
    void reached(unsigned share, int step);
    // Whether the failure of step, in share, is among the first `most`
    // failures of the run; waits, where that depends on them, for the other
    // shares to come as far.
    bool claim(unsigned share, int step);
    // The share's run is over, or ended by an error: no more waiting for it.
    void done(unsigned share);

private:
    void moved(); // wakes the shares that wait
    bool allReached(int step) const;
    int countBefore(int step) const; // under mutex_

    const int most_;
    const unsigned shares_;
    std::unique_ptr<std::atomic<int>[]> reached_; // by share
    std::atomic<int> waiting_{0};
    std::mutex mutex_;
    std::condition_variable moved_;
    std::vector<std::vector<int>> failures_; // under mutex_: each share's, up to the first `most`
};

} // namespace torvale
