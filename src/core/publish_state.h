// What publishing keeps for the whole run besides the counter boxes: the category and
// ISBN of the last item the marketplace accepted (they stand in when a category lookup
// fails or a book has no ISBN of its own), and the pacing of the publishing threads.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

namespace vt {

// One upload per thread takes at least this long, which keeps the request rate towards
// the marketplace down. Only tests and benchmarks shorten it.
inline constexpr int kDefaultPublishPacingMs = 3000;

class PublishState {
public:
    std::string LastCategoryId() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastCategoryId_;
    }
    std::string LastIsbn() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastIsbn_;
    }
    // After a confirmed publish.
    void RecordSuccess(std::string categoryId, std::string isbn) {
        std::lock_guard<std::mutex> lock(mutex_);
        lastCategoryId_ = std::move(categoryId);
        lastIsbn_ = std::move(isbn);
    }

    int PublishPacingMs() const { return pacingMs_.load(); }
    void SetPublishPacingMs(int ms) { pacingMs_ = ms < 0 ? 0 : ms; }

private:
    mutable std::mutex mutex_;
    std::string lastCategoryId_;
    std::string lastIsbn_;
    std::atomic<int> pacingMs_{kDefaultPublishPacingMs};
};

}  // namespace vt
