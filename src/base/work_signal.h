// Wakes the job's idle workers when something they wait for may have happened: a new row,
// a stop, a new login, a stage that finished. A waiting worker sleeps instead of polling.
// A worker reads Generation() before it tests its conditions and waits only while no
// Notify came after that read, so a change between its test and its sleep is never lost.
#pragma once

// (not <chrono>: its C++20 unit names do not convert to the GBK execution charset)
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vt {

class WorkSignal {
public:
    using Clock = std::chrono::steady_clock;

    // Safety net for a change that nobody announced: a waiter looks again at least this
    // often. Twenty wake-ups a second per thread cost nothing worth measuring.
    static constexpr std::chrono::milliseconds kLongestSleep{50};

    std::uint64_t Generation() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return generation_;
    }

    void Notify() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++generation_;
        }
        changed_.notify_all();
    }

    // Returns when a Notify came after `seen` was read, at `until`, or after kLongestSleep.
    void WaitAfter(std::uint64_t seen, Clock::time_point until) const {
        const Clock::time_point cap = Clock::now() + kLongestSleep;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_until(lock, until < cap ? until : cap, [&] { return generation_ != seen; });
    }
    void WaitAfter(std::uint64_t seen) const { WaitAfter(seen, Clock::time_point::max()); }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::uint64_t generation_ = 0;
};

}  // namespace vt
