// How one site has been answering lately: a run of reads that failed for the transport
// (after their retries) means the site is down, and a job that goes on would only mark
// every remaining book "网络连接失败". The first answer that arrives ends the run.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace vt {

class SiteHealth {
public:
    // A run of `limit` failures in a row makes the site down; 0 never does.
    void SetLimit(int limit) { limit_ = limit; }
    // Called once, on the failure that makes the site down, with that failure's text.
    void SetOnDown(std::function<void(const std::string& lastError)> onDown) {
        std::lock_guard<std::mutex> lock(mutex_);
        onDown_ = std::move(onDown);
    }

    void RecordAnswer() { consecutive_ = 0; }
    void RecordFailure(const std::string& error) {
        const int run = ++consecutive_;
        if (limit_ <= 0 || run < limit_ || down_.exchange(true))
            return;
        std::function<void(const std::string&)> onDown;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            onDown = onDown_;
        }
        if (onDown)
            onDown(error);
    }
    // A repeated attempt, for the job's summary.
    void RecordRetry() { ++retries_; }

    bool Down() const { return down_; }
    int Retries() const { return retries_; }
    // A new job starts with a clean record.
    void Reset() {
        consecutive_ = 0;
        retries_ = 0;
        down_ = false;
    }

private:
    std::atomic<int> limit_{0};
    std::atomic<int> consecutive_{0};
    std::atomic<int> retries_{0};
    std::atomic<bool> down_{false};
    std::mutex mutex_;  // guards onDown_
    std::function<void(const std::string&)> onDown_;
};

}  // namespace vt
