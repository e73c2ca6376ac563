// The worker threads of the running job. They leave at their stop test; the owner
// joins them before a new job starts and before the context goes away, so nothing is
// killed or leaked.
#pragma once

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vt {

class JobThreads {
public:
    JobThreads() = default;
    ~JobThreads() { JoinAll(); }
    JobThreads(const JobThreads&) = delete;
    JobThreads& operator=(const JobThreads&) = delete;

    // Starts one worker. An exception that escapes the worker's own loop is swallowed
    // here: it costs that worker, never the process.
    void Launch(std::function<void()> work) {
        std::lock_guard<std::mutex> lock(mutex_);
        threads_.emplace_back([work = std::move(work)] {
            try {
                work();
            } catch (...) {
            }
        });
    }

    // Waits until every launched worker has ended.
    void JoinAll() {
        std::vector<std::thread> threads;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            threads.swap(threads_);
        }
        for (auto& t : threads)
            if (t.joinable())
                t.join();
    }

    std::size_t Launched() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return threads_.size();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::thread> threads_;
};

}  // namespace vt
