// The list crawl against the stand-in bookstore on 127.0.0.1: which pages are fetched
// (each once, never one past the last), how a page without products ends a crawler, the
// finish messages of the category crawlers, and stopping.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

#include "app/collect_job_start.h"
#include "collect/list_crawlers.h"
#include "collect/list_url.h"
#include "core/context.h"
#include "sim/bookstore_pages.h"
#include "support/local_sites.h"

using namespace vt;
using vt::testing::LocalSites;
using vt::testing::WaitUntil;

namespace {

sim::CatalogOptions SmallPages() {
    sim::CatalogOptions options;
    options.books = 600;
    options.pageSize = 10;
    return options;
}

// The page number of every list request that carries the marker ("page_index=" or "pg").
std::vector<int> PageNumbers(const std::vector<std::string>& targets, const std::string& marker) {
    std::vector<int> pages;
    for (const auto& t : targets) {
        const auto at = t.find(marker);
        if (at != std::string::npos)
            pages.push_back(std::atoi(t.c_str() + at + marker.size()));
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

class CrawlTest : public ::testing::Test {
protected:
    explicit CrawlTest(vt::testing::StoreOverride override = nullptr)
        : sites(SmallPages(), std::move(override)), ctx(sites.ctx()) {
        ctx.config().SetCHKFiltData(true);  // no stock questions while lists are read
        ctx.SetMessageSink([this](const std::string& m) { messages.push_back(m); });
    }
    void Pages(const char* from, const char* to) {
        ctx.config().SetStartPageFrom(from);
        ctx.config().SetCaiJiYeShu(to);
    }
    bool CrawlEnds() {
        return WaitUntil([&] { return ctx.job().RunningListThreads == 0; });
    }
    void StopAndJoin() {
        ctx.panel().PressStop();
        ctx.workers().JoinAll();
    }
    // The keyword matching most books: a publisher of the stand-in's catalogue.
    std::string BusyKeyword() {
        std::map<std::string, int> count;
        for (const auto& b : sites.store().catalog().books()) ++count[b.publisher];
        return std::max_element(count.begin(), count.end(),
                                [](auto& a, auto& b) { return a.second < b.second; })
            ->first;
    }

    // How many books of the given result pages carry every field the list stage needs.
    int CompleteBooksOn(const std::string& keyword, const std::vector<int>& pages) {
        auto found = sites.store().catalog().Search(keyword);
        sim::SortBooks(found, "sort_sale_amt_desc");
        const int size = sites.store().catalog().options().pageSize;
        int complete = 0;
        for (int page : pages)
            for (int i = (page - 1) * size; i < page * size && i < static_cast<int>(found.size());
                 ++i) {
                const sim::Book& b = *found[static_cast<std::size_t>(i)];
                complete += !b.date.empty() && !b.listPrice.empty() && !b.salePrice.empty() &&
                            !b.author.empty() && !b.publisher.empty();
            }
        return complete;
    }

    LocalSites sites;
    AppContext& ctx;
    std::vector<std::string> messages;
};

}  // namespace

TEST_F(CrawlTest, KeywordJobFetchesEachPageFromOneToTheLastOnce) {
    // A little latency keeps the three crawlers in step, where a page past the last
    // would slip through if the last page were tested outside the lock.
    sim::FaultSettings slow;
    slow.latencyMs = 15;
    sites.store().server().SetFaults(slow);
    Pages("0", "3");
    const std::string keyword = BusyKeyword();
    ASSERT_GE(sites.store().catalog().Search(keyword).size(), 40u);

    ctx.panel().SetRunning();
    ASSERT_TRUE(StartSearchJob(ctx, keyword, SortLabels()[0]));
    ASSERT_TRUE(CrawlEnds());

    EXPECT_EQ(PageNumbers(sites.StoreTargets("page_index="), "page_index="),
              (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ctx.toCollect().Count(), CompleteBooksOn(keyword, {1, 2, 3}));
    EXPECT_EQ(ctx.job().CurrentFenlei(), keyword);
    EXPECT_TRUE(messages.empty());
    StopAndJoin();
}

// Page 2 of every search reports no products.
class NoProductsOnPageTwo : public CrawlTest {
protected:
    NoProductsOnPageTwo()
        : CrawlTest([](const sim::HttpRequest& r) -> std::optional<sim::HttpResponse> {
              if (r.target.find("page_index=2") == std::string::npos)
                  return std::nullopt;
              sim::HttpResponse empty;
              empty.body = sim::NoProductsPage("", "k", sim::kNoProductsText);
              return empty;
          }) {}
};

TEST_F(NoProductsOnPageTwo, EndsOnlyTheCrawlerThatFetchedIt) {
    Pages("1", "6");
    const std::string keyword = BusyKeyword();
    ctx.panel().SetRunning();
    ASSERT_TRUE(StartSearchJob(ctx, keyword, SortLabels()[0]));
    ASSERT_TRUE(CrawlEnds());

    EXPECT_EQ(PageNumbers(sites.StoreTargets("page_index="), "page_index="),
              (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ctx.toCollect().Count(), CompleteBooksOn(keyword, {1, 3, 4, 5, 6}));
    StopAndJoin();
}

TEST_F(CrawlTest, TooManyFiltersOnTheFirstPageStartsNothing) {
    // A filter combination no book of the stand-in passes.
    for (ListFilter f : {ListFilter::VTZY, ListFilter::ZKYouHuo, ListFilter::CuXiao,
                         ListFilter::Moble, ListFilter::WeiPin, ListFilter::YuShou})
        ctx.panel().SetFilter(f, true);
    ctx.panel().SetRunning();
    EXPECT_FALSE(StartSearchJob(ctx, BusyKeyword(), SortLabels()[0]));
    EXPECT_EQ(messages, (std::vector<std::string>{"筛选条件太多了，没有找到相关商品"}));
    EXPECT_EQ(ctx.workers().Launched(), 0u);
    EXPECT_FALSE(ctx.panel().StartEnabled());  // the seller presses stop to go on
    StopAndJoin();
}

TEST_F(CrawlTest, CategoryJobCrawlsTheFirstEntryFromTheFromPageAndLaterOnesFromZero) {
    Pages("1", "2");
    ctx.job().Entries = {{"/cp01.05.00.00.00.00.html", " 文学 "},
                         {"/cp01.41.00.00.00.00.html", " 童书 "}};
    ctx.panel().SetRunning();
    ASSERT_TRUE(StartCategoryJob(ctx));
    ASSERT_TRUE(CrawlEnds());

    EXPECT_EQ(PageNumbers(sites.StoreTargets("cp01.05.00"), "/pg"), (std::vector<int>{1, 2}));
    EXPECT_EQ(PageNumbers(sites.StoreTargets("cp01.41.00"), "/pg"), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(ctx.job().EntryIndex, 2);
    ASSERT_TRUE(WaitUntil([&] { return ctx.FinishCount() == 3; }));
    EXPECT_EQ(ctx.counters().CollectingLabel(), "类目分析完成");
    StopAndJoin();
}

TEST_F(CrawlTest, CategoryJobWithFromPastToFetchesNothingAndEnds) {
    Pages("5", "3");
    ctx.job().Entries = {{"/cp01.05.00.00.00.00.html", " 文学 "}};
    ctx.panel().SetRunning();
    ASSERT_TRUE(StartCategoryJob(ctx));
    ASSERT_TRUE(CrawlEnds());
    ASSERT_TRUE(WaitUntil([&] { return ctx.FinishCount() == 3; }));

    EXPECT_TRUE(sites.StoreTargets("cp01.05").empty());
    EXPECT_EQ(ctx.job().EntryIndex, 0);
    EXPECT_EQ(ctx.counters().CollectingLabel(), "类目分析完成");
    StopAndJoin();
}

TEST(FinishMessages, OnlyTheThirdOfTheRunChangesTheLabel) {
    vt::testing::TempAppDir dir(false);
    AppContext ctx(dir.path());
    const std::string initial = ctx.counters().CollectingLabel();
    ctx.PostFinishMessage();
    ctx.PostFinishMessage();
    EXPECT_EQ(ctx.counters().CollectingLabel(), initial);
    ctx.PostFinishMessage();
    EXPECT_EQ(ctx.counters().CollectingLabel(), "类目分析完成");
    ctx.counters().SetCollectingLabel(initial);
    ctx.PostFinishMessage();  // a later job never shows it again
    EXPECT_EQ(ctx.counters().CollectingLabel(), initial);
}

TEST_F(CrawlTest, StopMakesEveryCrawlerLeaveAfterItsCurrentPage) {
    sim::FaultSettings slow;
    slow.latencyMs = 40;
    sites.store().server().SetFaults(slow);
    Pages("1", "40");
    ctx.panel().SetRunning();
    ASSERT_TRUE(StartSearchJob(ctx, BusyKeyword(), SortLabels()[0]));
    ASSERT_TRUE(WaitUntil([&] { return sites.StoreTargets("page_index=").size() >= 3; }));

    ctx.panel().PressStop();
    const std::size_t atStop = sites.StoreTargets("page_index=").size();
    ASSERT_TRUE(CrawlEnds());
    ctx.workers().JoinAll();
    // At most the page each crawler had already taken.
    EXPECT_LE(sites.StoreTargets("page_index=").size(), atStop + kKeywordCrawlers);
    EXPECT_LT(sites.StoreTargets("page_index=").size(), 12u);
}

TEST(PageTurns, NumbersPastTheLastPageAreNeverHandedOut) {
    CollectJob job;
    job.NextPage = 2;
    std::vector<int> pages;
    for (;;) {
        PageTurn t = TakeListPage(job, 4, 10);
        if (t.kind != PageTurn::Page)
            break;
        pages.push_back(t.page);
    }
    EXPECT_EQ(pages, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(TakeListPage(job, 4, 10).kind, PageTurn::Exhausted);

    // A wait that runs out changes nothing.
    std::unique_lock<std::timed_mutex> held(job.WorkerCursorLock);
    std::thread other([&] {
        EXPECT_EQ(TakeListPage(job, 9, 5).kind, PageTurn::Busy);
        EXPECT_EQ(TakeCategoryPage(job, 9, 5).kind, PageTurn::Busy);
    });
    other.join();
    held.unlock();
    EXPECT_EQ(job.NextPage, 5);
}
