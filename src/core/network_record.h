// What the network did to the running job, for the seller and the job's summary: the
// list pages that could not be read after their retries, and why the job stopped itself
// when a site went away or the app folder could not be written. A new job starts with an empty
// record.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace vt {

class NetworkRecord {
public:
    void Reset() {
        std::lock_guard<std::mutex> lock(mutex_);
        lostPages_.clear();
        lostPageCount_ = 0;
        stopReason_.clear();
    }

    // A list page that did not come: its books were never seen.
    void NoteLostListPage(const std::string& address) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++lostPageCount_;
        if (lostPages_.size() < kKeptAddresses)
            lostPages_.push_back(address);
    }
    int LostListPages() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lostPageCount_;
    }
    // The first lost pages' addresses (at most kKeptAddresses).
    std::vector<std::string> LostPageAddresses() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lostPages_;
    }

    // The first reason wins: later failures are consequences of it. True when this one
    // was the first.
    bool SetStopReason(const std::string& reason) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopReason_.empty())
            return false;
        stopReason_ = reason;
        return true;
    }
    std::string StopReason() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopReason_;
    }

    static constexpr std::size_t kKeptAddresses = 20;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lostPages_;
    int lostPageCount_ = 0;
    std::string stopReason_;
};

}  // namespace vt
