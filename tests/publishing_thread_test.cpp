#include "market/publishing_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "app/results_panel.h"
#include "core/context.h"
#include "core/session.h"
#include "sim/bookstore_sim.h"
#include "sim/market_sim.h"
#include "support/product_pages.h"
#include "support/stand_in_hosts.h"
#include "support/temp_app_dir.h"

using vt::testing::TempAppDir;
using vt::testing::U8;

using vt::testing::PointMarketAt;

namespace vt {
namespace {

// Polls until the condition holds or ten seconds have passed.
bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 10000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

class PublishingThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(market_.Start("127.0.0.1", 0));
        ASSERT_TRUE(store_.Start("127.0.0.1", 0));
        PointMarketAt(ctx_.hosts(), market_.origin());
        vt::testing::PointBookstoreAt(ctx_.hosts(), store_.origin());  // serves the pictures
        ctx_.session().AddAccount(market_.CookieFor("vantrell_demo"));
        ctx_.session().MarkLoginValid();
        // A logged-in seller's product database is open: nothing is posted without its
        // journal entry.
        ASSERT_TRUE(ctx_.db().OpenProductDb("vantrell_demo"));
        ctx_.publishing().SetPublishPacingMs(0);
        ctx_.config().SetTitleLengthP("60");
        ctx_.config().SetPriceDazheP("10");
        ctx_.config().SetBookStoreCountP("5");
        ctx_.job().SetCurrentFenlei("job");
        // A job is running: its start is disabled and a list thread still works.
        ctx_.panel().SetRunning();
        ctx_.job().RunningListThreads = 1;
    }

    void TearDown() override {
        ctx_.panel().PressStop();
        ctx_.workers().JoinAll();
    }

    // The record the detail stage would hand over for a book of the stand-in bookstore.
    std::unique_ptr<O_BookInfo> Record(const sim::Book& book) {
        market_.SetCategoryAnswer(book.isbn, sim::CategoryAnswer::NewBook);
        return vt::testing::CollectedRecordOf(book, store_.origin());
    }

    int Collect(const sim::Book& book) {
        CollectedRow row{};
        row[kOuterCodeCol] = book.id;
        return ctx_.collected().AppendWithRecord(row, Record(book));
    }

    // The processing cursor, read as the workers write it: under its lock.
    int Cursor() {
        std::lock_guard<std::timed_mutex> lock(ctx_.job().WorkerCursorLock);
        return ctx_.job().ProcessingCursor;
    }

    std::string Status(int row) { return ctx_.collected().Cell(row, kMarketStateCol); }
    std::string Picture(int row) { return ctx_.collected().Cell(row, kImageStateCol); }

    sim::MarketSim market_;
    sim::BookstoreSim store_{sim::CatalogOptions{11, 300, 60}};
    TempAppDir dir_;
    AppContext ctx_{dir_.path()};
};

TEST_F(PublishingThreadTest, EveryCollectedBookIsPublishedTheLastOneIncluded) {
    StartPublishingThreads(ctx_, 1, false);
    std::vector<const sim::Book*> books;
    for (const sim::Book& b : store_.catalog().books())
        if (b.Plain() && books.size() < 3)
            books.push_back(&b);
    ASSERT_EQ(books.size(), 3u);

    // Rows arrive while the thread already runs; nothing follows the last one.
    for (const sim::Book* book : books) Collect(*book);

    ASSERT_TRUE(WaitFor([&] { return ctx_.counters().Number(CounterBox::Published) == 3; }))
        << U8(Status(0)) << " / " << U8(Status(1)) << " / " << U8(Status(2));
    const std::vector<sim::ShopItem> shop = market_.Items();
    ASSERT_EQ(shop.size(), 3u);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(U8(Status(row)), U8("上传成功"));
        EXPECT_EQ(U8(Picture(row)), U8("图片成功下载"));
        EXPECT_EQ(shop[row].outerCode, books[row]->id);
        // Handled books are let go: no later pass touches them again.
        EXPECT_EQ(ctx_.collected().Record(row), nullptr);
    }
    EXPECT_EQ(ctx_.counters().Text(CounterBox::Collected), "3");
    EXPECT_EQ(Cursor(), 3);
}

// "全部清空" while a book is being published: the clear empties the list and the thread
// finishes that book, but its outcome ("上传成功", the picture state) is written for the
// cleared row only, never into the new row 0, which is another book never published.
TEST_F(PublishingThreadTest, AnOutcomeForAClearedRowNeverLandsOnTheNewRowWithItsIndex) {
    std::vector<const sim::Book*> books;
    for (const sim::Book& b : store_.catalog().books())
        if (b.Plain() && books.size() < 2)
            books.push_back(&b);
    ASSERT_EQ(books.size(), 2u);
    sim::FaultSettings slow;
    slow.latencyMs = 150;
    market_.server().SetFaults(slow);
    StartPublishingThreads(ctx_, 1, false);
    Collect(*books[0]);
    ASSERT_TRUE(WaitFor([&] { return U8(Status(0)) == U8("正在获取数据信息"); }));

    ResultsPanel(ctx_).ClearCollected();
    CollectedRow other{};
    other[kOuterCodeCol] = books[1]->id;
    ctx_.collected().AppendWithRecord(other, nullptr);  // nothing to publish for it

    ASSERT_TRUE(WaitFor([&] { return ctx_.counters().Number(CounterBox::Published) == 1; }));
    ASSERT_TRUE(WaitFor([&] { return ctx_.job().PublishBusy == 0; }));
    EXPECT_EQ(ctx_.collected().Count(), 1);
    EXPECT_EQ(Status(0), "");
    EXPECT_EQ(Picture(0), "");
    const std::vector<sim::ShopItem> shop = market_.Items();
    ASSERT_EQ(shop.size(), 1u);
    EXPECT_EQ(shop[0].outerCode, books[0]->id);
}

TEST_F(PublishingThreadTest, BooksThatCannotBePublishedKeepTheirReason) {
    const sim::Book* noPicture = store_.catalog().FirstWith(sim::Trait::NoPicture);
    const sim::Book* png = store_.catalog().FirstWith(sim::Trait::PngPicture);
    const sim::Book* noPrice = store_.catalog().FirstWith(sim::Trait::NoListPrice);
    ASSERT_TRUE(noPicture && png && noPrice);
    Collect(*noPicture);
    Collect(*png);
    Collect(*noPrice);
    std::unique_ptr<O_BookInfo> gone = Record(*store_.catalog().FirstPlain());
    gone->RemoteImageUrl = store_.origin() + "/images/0000000-1_w_1.jpg";
    ctx_.collected().AppendWithRecord(CollectedRow{}, std::move(gone));

    StartPublishingThreads(ctx_, 1, false);
    // One thread takes the rows in order: the last row's picture outcome comes last.
    ASSERT_TRUE(WaitFor([&] { return !Picture(3).empty(); }));

    struct Expect {
        std::string picture, status;
    };
    const std::vector<Expect> expected = {
        {"图片不存在或图片不正确", "正在获取数据信息"},
        {"图片不存在或图片不正确", "正在获取数据信息"},
        {"图片成功下载", "价格为空，上传失败"},
        {"服务器不接受请求", "正在获取数据信息"},
    };
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(U8(Picture(row)), U8(expected[row].picture)) << row;
        EXPECT_EQ(U8(Status(row)), U8(expected[row].status)) << row;
    }
    EXPECT_TRUE(market_.Items().empty());
}

TEST_F(PublishingThreadTest, LapsedLoginHoldsEveryRowUntilTheSellerLogsInAgain) {
    ctx_.session().MarkLoginLapsed();
    std::atomic<int> lapseNotices{0};
    ctx_.session().titleObservers().Subscribe([&](const std::string& title) {
        if (title.find("登陆失效，请重新登录") != std::string::npos)
            ++lapseNotices;
    });
    Collect(*store_.catalog().FirstPlain());
    StartPublishingThreads(ctx_, 2, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Status(0), "");
    EXPECT_EQ(Cursor(), 0);
    EXPECT_EQ(market_.server().RequestCount(), 0u);
    EXPECT_EQ(lapseNotices, 1);

    ctx_.session().MarkLoginValid();
    ASSERT_TRUE(WaitFor([&] { return ctx_.counters().Number(CounterBox::Published) == 1; }));
    EXPECT_EQ(market_.Items().size(), 1u);
}

TEST_F(PublishingThreadTest, ARowIsTakenOnceAndANewLoginGoesOnWithTheNextRow) {
    std::vector<const sim::Book*> books;
    for (const sim::Book& b : store_.catalog().books())
        if (b.Plain() && books.size() < 3)
            books.push_back(&b);
    ASSERT_EQ(books.size(), 3u);
    // The seller pages refuse the first attempt: the login lapses with it.
    market_.SetAccessLimited(true);
    Collect(*books[0]);
    StartPublishingThreads(ctx_, 1, false);
    ASSERT_TRUE(WaitFor([&] { return !ctx_.session().LoginValid(); }));
    ASSERT_TRUE(WaitFor([&] { return Status(0) == kLapsedNotPublished; })) << U8(Status(0));

    // The seller logs in again; the pages answer again.
    market_.SetAccessLimited(false);
    Collect(*books[1]);
    Collect(*books[2]);
    ctx_.session().MarkLoginValid();
    ASSERT_TRUE(WaitFor([&] { return ctx_.counters().Number(CounterBox::Published) == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The first book was not tried again: it is neither in the shop nor counted twice.
    EXPECT_EQ(U8(Status(0)), U8(kLapsedNotPublished));
    const std::vector<sim::ShopItem> shop = market_.Items();
    ASSERT_EQ(shop.size(), 2u);
    EXPECT_EQ(shop[0].outerCode, books[1]->id);
    EXPECT_EQ(shop[1].outerCode, books[2]->id);
    EXPECT_EQ(ctx_.counters().Number(CounterBox::Published), 2);
    EXPECT_EQ(Cursor(), 3);
}

// True when every worker of the context ends within five seconds. When they do not, the
// job is stopped so that the test can still end.
bool WorkersEnd(AppContext& ctx) {
    auto joined = std::async(std::launch::async, [&ctx] { ctx.workers().JoinAll(); });
    if (joined.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    ctx.panel().PressStop();
    return false;
}

TEST_F(PublishingThreadTest, ThreadsEndWhenTheJobStopsOrNothingIsLeft) {
    // No list thread runs and nothing was collected: both variants end by themselves.
    ctx_.job().RunningListThreads = 0;
    StartPublishingThreads(ctx_, 2, false);
    StartPublishingThreads(ctx_, 1, true);
    EXPECT_TRUE(WorkersEnd(ctx_));

    // While a list thread runs they wait for rows until the job is stopped.
    ctx_.job().RunningListThreads = 1;
    StartPublishingThreads(ctx_, 2, false);
    StartPublishingThreads(ctx_, 1, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ctx_.workers().Launched(), 3u);
    ctx_.panel().PressStop();
    EXPECT_TRUE(WorkersEnd(ctx_));
}

TEST_F(PublishingThreadTest, AShortCrawlDoesNotEndThePublishersBeforeTheFirstBookArrives) {
    // The one list page is read and its crawler has ended; the detail stage still has the
    // row to process, so nothing has been collected yet.
    ctx_.job().RunningListThreads = 0;
    ctx_.toCollect().Append(ToCollectRow{});
    StartPublishingThreads(ctx_, 1, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int row = Collect(*store_.catalog().FirstPlain());
    ASSERT_TRUE(WaitFor([&] { return Status(row) == "上传成功"; })) << Status(row);
    EXPECT_EQ(market_.Items().size(), 1u);
}

TEST_F(PublishingThreadTest, PacingKeepsOneUploadPerThreadToThePacingPeriod) {
    ctx_.publishing().SetPublishPacingMs(1500);
    Collect(*store_.catalog().FirstPlain());
    StartPublishingThreads(ctx_, 1, false);
    ASSERT_TRUE(WaitFor([&] { return ctx_.counters().Number(CounterBox::Published) == 1; }));
    const auto published = std::chrono::steady_clock::now();
    for (const sim::Book& b : store_.catalog().books())
        if (b.Plain() && b.id != store_.catalog().FirstPlain()->id) {
            Collect(b);
            break;
        }
    ASSERT_TRUE(WaitFor([&] { return ctx_.counters().Number(CounterBox::Published) == 2; }));
    // The first upload's period (1.5 s, counted in whole seconds from its start) must
    // have run out before the second book was taken.
    EXPECT_GE(std::chrono::steady_clock::now() - published, std::chrono::milliseconds(400));
}

}  // namespace
}  // namespace vt
