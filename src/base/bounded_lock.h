// Bounded waits for the shared worker locks. Polls try_lock rather than using
// try_lock_for: the timed wait goes through pthread_mutex_clocklock, which the thread
// sanitizer of this toolchain does not see, so every later unlock would be reported.
#pragma once

#include <mutex>
#include <thread>

namespace vt {

// Takes the lock within about waitMs milliseconds; false when the wait ran out.
inline bool LockWithin(std::timed_mutex& lock, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (lock.try_lock())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

}  // namespace vt
