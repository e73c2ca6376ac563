// The detail stage's thread: rows in list order, none twice, while rows still arrive; its
// own end when the crawl found nothing; stopping; a lapsed login pausing it.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "collect/list_parsers.h"
#include "core/context.h"
#include "core/session.h"
#include "detail/detail_thread.h"
#include "support/local_sites.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::WaitUntil;

namespace {

class DetailThreadTest : public ::testing::Test {
protected:
    DetailThreadTest() : ctx(dir.path()) {
        ctx.session().MarkLoginValid();
        ctx.panel().SetRunning();
    }

    // Runs the loop on a worker with a processor that records the rows it is given.
    void Start() {
        ctx.workers().Launch([this] {
            RunDetailLoop(ctx, [this](AppContext&, RowRef row) {
                std::lock_guard<std::mutex> lock(mutex);
                processed.push_back(row.index);
                return true;
            });
            ended = true;
        });
    }
    int Cursor() {
        std::lock_guard<std::timed_mutex> lock(ctx.job().WorkerCursorLock);
        return ctx.job().DetailCursor;
    }
    std::vector<int> Processed() {
        std::lock_guard<std::mutex> lock(mutex);
        return processed;
    }
    void AddRow() {
        ToCollectRow row{};
        row[kMarkCol] = "1";
        AppendListRow(ctx, row, kRowInsertWaitMs);
    }

    vt::testing::TempAppDir dir{false};
    AppContext ctx;
    std::mutex mutex;
    std::vector<int> processed;
    std::atomic<bool> ended{false};
};

}  // namespace

TEST_F(DetailThreadTest, RowsArrivingWhileItRunsAreTakenInOrderNoneTwice) {
    constexpr int kRows = 300;
    ctx.job().RunningListThreads = 2;  // two crawlers append at once
    Start();
    for (int t = 0; t < 2; ++t)
        ctx.workers().Launch([this] {
            for (int i = 0; i < kRows / 2; ++i) {
                AddRow();
                if (i % 16 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            --ctx.job().RunningListThreads;
        });
    ASSERT_TRUE(WaitUntil([&] { return Processed().size() >= kRows; }));

    std::vector<int> expected(kRows);
    for (int i = 0; i < kRows; ++i) expected[i] = i;
    EXPECT_EQ(Processed(), expected);
    // Done with the rows but not stopped: it waits for more instead of ending.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(ended);
    EXPECT_EQ(Cursor(), kRows);

    ctx.panel().PressStop();
    ctx.workers().JoinAll();
    EXPECT_TRUE(ended);
    EXPECT_EQ(Processed().size(), static_cast<std::size_t>(kRows));
}

TEST_F(DetailThreadTest, EndsByItselfOnlyWhenTheCrawlEndedWithoutRows) {
    ctx.job().RunningListThreads = 1;
    Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(ended);  // a crawler may still find books
    --ctx.job().RunningListThreads;
    EXPECT_TRUE(WaitUntil([&] { return ended.load(); }));
    EXPECT_TRUE(Processed().empty());
}

TEST_F(DetailThreadTest, StopEndsItAfterTheRowInProgress) {
    for (int i = 0; i < 5; ++i) AddRow();
    ctx.workers().Launch([this] {
        RunDetailLoop(ctx, [this](AppContext& c, RowRef row) {
            std::lock_guard<std::mutex> lock(mutex);
            processed.push_back(row.index);
            if (row.index == 1)
                c.panel().PressStop();
            return true;
        });
        ended = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return ended.load(); }));
    EXPECT_EQ(Processed(), (std::vector<int>{0, 1}));
}

TEST_F(DetailThreadTest, AFailingRowCostsOnlyThatRow) {
    for (int i = 0; i < 3; ++i) AddRow();
    ctx.workers().Launch([this] {
        RunDetailLoop(ctx, [this](AppContext&, RowRef row) -> bool {
            {
                std::lock_guard<std::mutex> lock(mutex);
                processed.push_back(row.index);
            }
            if (row.index == 0)
                throw std::runtime_error("bad page");
            return true;
        });
    });
    ASSERT_TRUE(WaitUntil([&] { return Processed().size() == 3; }));
    ctx.panel().PressStop();
    ctx.workers().JoinAll();
    EXPECT_EQ(Processed(), (std::vector<int>{0, 1, 2}));
}

TEST_F(DetailThreadTest, ALapsedLoginPausesItAndANewLoginResumesIt) {
    std::atomic<int> lapseNotices{0};
    ctx.session().titleObservers().Subscribe([&](const std::string& title) {
        if (title.find(kStateLapsed) != std::string::npos)
            ++lapseNotices;
    });
    ctx.session().MarkLoginLapsed();
    for (int i = 0; i < 3; ++i) AddRow();
    Start();
    ASSERT_TRUE(WaitUntil([&] { return ctx.session().PauseCounter() > 5; }));
    EXPECT_TRUE(Processed().empty());
    EXPECT_FALSE(ended);
    EXPECT_EQ(Cursor(), 0);

    ctx.session().MarkLoginValid();
    ASSERT_TRUE(WaitUntil([&] { return Processed().size() == 3; }));
    ctx.panel().PressStop();
    ctx.workers().JoinAll();
    EXPECT_EQ(Processed(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(lapseNotices, 1);  // announced once per lapse
}

namespace {

TEST_F(DetailThreadTest, WaitsWhileTooManyCollectedBooksWaitForAPublisher) {
    ctx.job().RunningListThreads = 1;
    for (int i = 0; i < 10; ++i) AddRow();
    // More books waiting than the backlog allows, and a publisher that will take them.
    for (int i = 0; i <= kCollectedBacklog; ++i)
        ctx.collected().AppendWithRecord(CollectedRow{}, std::make_unique<O_BookInfo>());
    ++ctx.job().RunningPublishers;
    Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_TRUE(Processed().empty());

    // Worked off to just above half: still held back, so pages are read in runs.
    auto takeUpTo = [this](int cursor) {
        {
            std::lock_guard<std::timed_mutex> lock(ctx.job().WorkerCursorLock);
            ctx.job().ProcessingCursor = cursor;
        }
        ctx.job().Wake.Notify();
    };
    takeUpTo(ctx.collected().Count() - kCollectedBacklog / 2 - 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_TRUE(Processed().empty());
    takeUpTo(ctx.collected().Count() - kCollectedBacklog / 2);
    EXPECT_TRUE(WaitUntil([&] { return Processed().size() == 10u; }));

    // With no publisher left the backlog can never shrink: the stage does not wait on it.
    takeUpTo(0);
    --ctx.job().RunningPublishers;
    for (int i = 0; i < 5; ++i) AddRow();
    EXPECT_TRUE(WaitUntil([&] { return Processed().size() == 15u; }));
    ctx.panel().PressStop();
    ctx.workers().JoinAll();
}

}  // namespace
