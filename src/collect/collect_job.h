// The crawl state of the one collection job that runs at a time, shared by every worker
// of the job: list templates and entries, the page counter, the row counters and the
// cursors of the detail and publishing stages, with the locks that guard them.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/book_types.h"

namespace vt {

// How long each lock may be waited for before the worker gives up its turn.
inline constexpr int kCrawlerCursorWaitMs = 3000;
inline constexpr int kDetailCursorWaitMs = 50;
inline constexpr int kRowInsertWaitMs = 1000;
inline constexpr int kImageLockWaitMs = 3000;

// A bounded wait for one of the job's locks: the lock is tried again and again until it
// is had (true) or the time is up (false); a short hold is waited out by yielding, a
// longer one in 1 ms sleeps like every other idle wait of the workers. Trying rather than
// a timed wait keeps every lock and unlock visible to the thread checker, which cannot
// follow the timed wait of this platform's mutex.
inline bool LockWithin(std::timed_mutex& mutex, int waitMs) {
    constexpr int kYields = 200;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (int tries = 0; !mutex.try_lock(); ++tries) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (tries < kYields)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct CollectJob {
    // Guards NextPage, EntryIndex, DetailCursor and ProcessingCursor.
    std::timed_mutex WorkerCursorLock;
    // Taken while a row is appended to either list (RowCounter, RunningNumber, CollectedNumber).
    std::timed_mutex RowInsertLock;
    // Taken for each picture download and for the round-robin account choice.
    std::timed_mutex ImageLock;

    // Set by the job start before any worker runs, read-only afterwards.
    std::string UrlTemplate;            // "{0}" (keyword) or "[pages]" (promotion) marks the page
    std::vector<UrlAndFenlei> Entries;  // category jobs
    std::string GoodsToken;             // the goods-list token of the on-sale check

    // Under WorkerCursorLock.
    int EntryIndex = 0;
    int NextPage = 0;
    int DetailCursor = 0;
    int ProcessingCursor = 0;

    std::atomic<int> RunningListThreads{0};

    // Under RowInsertLock.
    int RowCounter = 0;
    long RunningNumber = 0;    // never reset: numbers keep rising from job to job
    long CollectedNumber = 0;  // never reset

    // The category text of the books being found now (names the picture folder).
    std::string CurrentFenlei() const {
        std::lock_guard<std::mutex> lock(fenleiMutex_);
        return currentFenlei_;
    }
    void SetCurrentFenlei(std::string text) {
        std::lock_guard<std::mutex> lock(fenleiMutex_);
        currentFenlei_ = std::move(text);
    }

private:
    mutable std::mutex fenleiMutex_;
    std::string currentFenlei_;
};

}  // namespace vt
