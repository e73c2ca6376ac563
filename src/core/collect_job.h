// The crawl state of the one collection job that runs at a time, shared by every worker
// of the job: list templates and entries, the page counter, the row counters and the
// cursors of the detail and publishing stages, with the locks that guard them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/work_signal.h"
#include "core/book_types.h"

namespace vt {

// How long each lock may be waited for before the worker gives up its turn.
inline constexpr int kCrawlerCursorWaitMs = 3000;
inline constexpr int kDetailCursorWaitMs = 50;
inline constexpr int kRowInsertWaitMs = 1000;
inline constexpr int kImageLockWaitMs = 3000;
// Collected books waiting for a publishing thread beyond which the detail stage waits:
// it reads pages far faster than books are published, and each waiting book holds its
// whole record (descriptions included), so a large job would otherwise hold them all.
inline constexpr int kCollectedBacklog = 256;

// Lowers a busy count when the row it stands for is finished, however that ends.
class BusyRelease {
public:
    explicit BusyRelease(std::atomic<int>& count) : count_(count) {}
    ~BusyRelease() { --count_; }
    BusyRelease(const BusyRelease&) = delete;
    BusyRelease& operator=(const BusyRelease&) = delete;

private:
    std::atomic<int>& count_;
};

// Outer codes a publishing thread is handling now, from the checks before its post to
// the recorded outcome. A second copy of a book (another thread's row) waits for the first
// to finish, so it sees that outcome instead of racing it to the shop.
class PublishClaims {
public:
    void Claim(const std::string& code) {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] { return held_.count(code) == 0; });
        held_.insert(code);
    }
    void Release(const std::string& code) {
        {
            std::lock_guard lock(mutex_);
            held_.erase(code);
        }
        freed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    std::set<std::string> held_;
};

// Holds a claim for one scope. A book without an outer code claims nothing: it cannot be
// told from another one.
class PublishClaim {
public:
    PublishClaim(PublishClaims& claims, std::string code)
        : claims_(claims), code_(std::move(code)) {
        if (!code_.empty())
            claims_.Claim(code_);
    }
    ~PublishClaim() {
        if (!code_.empty())
            claims_.Release(code_);
    }
    PublishClaim(const PublishClaim&) = delete;
    PublishClaim& operator=(const PublishClaim&) = delete;

private:
    PublishClaims& claims_;
    std::string code_;
};

struct CollectJob {
    // Held by a job start and by a codes import from the check that no job runs until
    // their workers are started: two starts never run at once.
    std::mutex StartLock;
    // Guards NextPage, EntryIndex, DetailCursor and ProcessingCursor.
    std::timed_mutex WorkerCursorLock;
    // Taken while a row is appended to either list (RowCounter, RunningNumber, CollectedNumber).
    std::timed_mutex RowInsertLock;
    // Taken for each picture download and for the round-robin account choice.
    std::timed_mutex ImageLock;
    // Wakes the idle detail and publishing threads: new rows, a stop, a new login, a
    // crawler or a row that finished.
    WorkSignal Wake;
    // The books being published now, by trimmed outer code.
    PublishClaims Publishing;

    // Set by the job start before any worker runs, read-only afterwards.
    std::string UrlTemplate;            // "{0}" (keyword) or "[pages]" (promotion) marks the page
    std::vector<UrlAndFenlei> Entries;  // category jobs
    std::string GoodsToken;             // the goods-list token of the on-sale check
    // The publishing stage builds each item but sends nothing (a preview job).
    std::atomic<bool> PreviewOnly{false};

    // Under WorkerCursorLock.
    int EntryIndex = 0;
    int NextPage = 0;
    int DetailCursor = 0;
    int ProcessingCursor = 0;

    std::atomic<int> RunningListThreads{0};
    // Publishing threads that have not left yet: only while one runs is the backlog
    // of collected books worked off, so only then does the detail stage wait for it.
    std::atomic<int> RunningPublishers{0};
    // Rows taken from a cursor and not finished yet, by the detail stage and by the
    // publishing threads. Raised under WorkerCursorLock together with the cursor, so a
    // reader holding the lock never sees a taken row that is neither busy nor done.
    std::atomic<int> DetailBusy{0};
    std::atomic<int> PublishBusy{0};

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
