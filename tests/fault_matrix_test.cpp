// Whole jobs against stand-ins that misbehave on purpose: each fault at a share of one
// site's requests. Whatever the network does, nothing is published twice, every book
// found ends published or with its reason, lost list pages are reported, and no read is
// repeated beyond the bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/panel_actions.h"
#include "base/text.h"
#include "core/context.h"
#include "detail/detail_page.h"
#include "support/e2e_job.h"
#include "support/local_sites.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::E2eJob;
using vt::testing::E2eOptions;

namespace {

constexpr int kRetries = 3;
constexpr int kBooks = 120;

struct Cell {
    const char* name;
    Site site;
    sim::FaultSettings faults;
};

sim::FaultSettings Lost(double share) {
    sim::FaultSettings f;
    f.lostAnswerRate = share;
    f.lostAnswerPaths = sim::MarketSim::AcceptingPaths();
    return f;
}

const Cell kCells[] = {
    {"store_500", Site::Store, {.errorRate = 0.2}},
    {"store_drop", Site::Store, {.dropRate = 0.2}},
    {"store_truncate", Site::Store, {.truncateRate = 0.2}},
    {"store_slow", Site::Store, {.slowRate = 0.2, .slowPauseMs = 2}},
    {"market_500", Site::Market, {.errorRate = 0.15}},
    {"market_drop", Site::Market, {.dropRate = 0.15}},
    {"market_truncate", Site::Market, {.truncateRate = 0.15}},
    {"market_lost_answer", Site::Market, Lost(0.4)},
};

bool HasDuplicates(std::vector<std::string> codes) {
    std::sort(codes.begin(), codes.end());
    return std::adjacent_find(codes.begin(), codes.end()) != codes.end();
}

bool IsFailedAnswer(const sim::HttpRequest& r) {
    return r.fault == "error" || r.fault == "drop" || r.fault == "truncate";
}

// The longest run of failed answers in a row to one GET target: a read gives up after
// 1 + retries attempts, so a longer run means a read repeated beyond its bound.
std::size_t LongestFailedRun(const std::vector<sim::HttpRequest>& requests) {
    std::map<std::string, std::size_t> run;
    std::size_t longest = 0;
    for (const sim::HttpRequest& r : requests) {
        if (r.method != "GET")
            continue;
        std::size_t& n = run[r.target];
        n = IsFailedAnswer(r) ? n + 1 : 0;
        longest = std::max(longest, n);
    }
    return longest;
}

// List pages whose every attempt failed: the pages the job could not read.
int ListPagesLost(const std::vector<sim::HttpRequest>& requests) {
    std::map<std::string, std::size_t> failedRun;
    for (const sim::HttpRequest& r : requests)
        if (r.method == "GET" && r.path == "/" && r.target.find("page_index=") != std::string::npos)
            failedRun[r.target] = IsFailedAnswer(r) ? failedRun[r.target] + 1 : 0;
    int lost = 0;
    for (const auto& [target, n] : failedRun) lost += n == 1 + kRetries ? 1 : 0;
    return lost;
}

// Every book found is published or says why not: a status on its to-collect row, or a
// picture or market state on its collected row.
std::vector<std::string> BooksWithoutAnOutcome(AppContext& ctx) {
    std::set<std::string> settled;
    for (int i = 0, n = ctx.collected().Count(); i < n; ++i) {
        const CollectedRow row = ctx.collected().RowAt(i);
        if (!row[kMarketStateCol].empty() || !row[kImageStateCol].empty())
            settled.insert(Trim(row[kOuterCodeCol]));
    }
    std::vector<std::string> missing;
    for (int i = 0, n = ctx.toCollect().Count(); i < n; ++i) {
        const ToCollectRow row = ctx.toCollect().RowAt(i);
        const std::string& code = row[kMarkCol];
        if (row[kStatusCol].empty() && !settled.count(Trim(code)) &&
            !ctx.db().IsPublished(Trim(code)))
            missing.push_back(code);
    }
    return missing;
}

// A job of `books` books, published without pacing, whose bookstore answers the requests
// that `failing` picks with `status` however often they come.
E2eOptions QuickJob(int books, std::function<bool(const sim::HttpRequest&)> failing = nullptr,
                    int status = 500) {
    E2eOptions options;
    options.books = books;
    options.pacingMs = 0;
    if (failing)
        options.storeOverride =
            [failing, status](const sim::HttpRequest& r) -> std::optional<sim::HttpResponse> {
            if (!failing(r))
                return std::nullopt;
            sim::HttpResponse failed;
            failed.status = status;
            return failed;
        };
    return options;
}

// Retries with short waits, items put on sale (where the shop's goods query can find a
// book whose answer was lost), and the demo account logged in.
bool PrepareAndLogIn(E2eJob& job, int retries) {
    job.ctx().config().SetRetryCount(std::to_string(retries));
    job.ctx().SetRetryDelayMs(2);
    job.ctx().config().SetDirectSentP(true);
    return job.LogIn();
}

bool StartTitleJob(E2eJob& job) {
    ChooseMode(job.ctx(), CollectMode::Title);
    job.ctx().panel().SetInput(CollectInput::Title, job.CommonTitleCharacter());
    return PressStart(job.ctx());
}

sim::HttpServer& Server(E2eJob& job, Site site) {
    return site == Site::Store ? job.sites().store().server() : job.market().server();
}

class FaultMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(FaultMatrix, NothingTwiceEveryBookAccountedForLostPagesReportedRetriesBounded) {
    const Cell& cell = GetParam();
    E2eJob job(QuickJob(kBooks));
    AppContext& ctx = job.ctx();
    ctx.config().SetSiteDownFailures("0");  // the matrix wants every job to run to its end
    ASSERT_TRUE(PrepareAndLogIn(job, kRetries));
    // The login is made before the faults: this is about the job.
    sim::FaultSettings faults = cell.faults;
    faults.seed = 7;
    Server(job, cell.site).SetFaults(faults);
    Server(job, cell.site).ClearRequests();

    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(job.RunToEnd(false, 120000)) << job.Describe();

    const std::vector<sim::HttpRequest> requests = Server(job, cell.site).Requests();
    const std::vector<std::string> shop = job.ShopCodes();
    const std::vector<std::string> recorded = job.RecordedCodes();
    const int lostPages = ctx.network().LostListPages();
    std::size_t faulted = 0;
    for (const sim::HttpRequest& r : requests) faulted += r.fault.empty() ? 0 : 1;
    std::printf(
        "[ figures  ] %-20s found %d, shop %zu, recorded %zu, duplicates %d, lost pages %d, "
        "retries %d, faulted answers %zu of %zu\n",
        cell.name, ctx.toCollect().Count(), shop.size(), recorded.size(),
        HasDuplicates(shop) ? 1 : 0, lostPages, ctx.health(cell.site).Retries(), faulted,
        requests.size());

    EXPECT_GT(faulted, 0u) << "the knob put no fault on the job";
    EXPECT_FALSE(HasDuplicates(shop));
    EXPECT_EQ(BooksWithoutAnOutcome(ctx), std::vector<std::string>{});
    EXPECT_LE(LongestFailedRun(requests), static_cast<std::size_t>(1 + kRetries));
    if (cell.site == Site::Store) {
        EXPECT_EQ(lostPages, ListPagesLost(requests));
    }
    // What the shop holds and what the account recorded agree, except for books whose
    // publish answer was lost: those are settled by the next run.
    for (const std::string& code : recorded)
        EXPECT_TRUE(std::count(shop.begin(), shop.end(), code) == 1) << code;

    // The same job again, on a quiet network: every book in the shop is recorded, and
    // none is published a second time.
    Server(job, cell.site).SetFaults({});
    ASSERT_TRUE(PressStart(ctx));
    ASSERT_TRUE(job.RunToEnd(false, 120000)) << job.Describe();
    EXPECT_FALSE(HasDuplicates(job.ShopCodes()));
    EXPECT_EQ(job.ShopCodes(), job.RecordedCodes());
}

TEST(LostListPage, IsReportedAndTheJobGoesOnWithTheOtherPages) {
    // 400 books give two list pages of results; the first fails however often it is asked for.
    E2eJob job(QuickJob(
        400,
        [](const sim::HttpRequest& r) {
            return r.path == "/" && r.target.find("page_index=1") != std::string::npos;
        },
        503));
    AppContext& ctx = job.ctx();
    ASSERT_TRUE(PrepareAndLogIn(job, 2));
    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(job.RunToEnd(false, 120000)) << job.Describe();

    EXPECT_EQ(ctx.network().LostListPages(), 1);
    ASSERT_EQ(ctx.network().LostPageAddresses().size(), 1u);
    EXPECT_NE(ctx.network().LostPageAddresses()[0].find("page_index=1"), std::string::npos);
    EXPECT_EQ(job.sites().StoreTargets("page_index=1").size(), 3u);  // the read and two repeats
    // The second page's books were collected and published all the same.
    EXPECT_FALSE(job.ShopCodes().empty());
    EXPECT_TRUE(ctx.network().StopReason().empty());
}

TEST(LostPublishAnswers, ThreeRunsOfTheSameJobPublishNothingTwiceAndTheShopSettlesTheUnknown) {
    E2eJob job(QuickJob(kBooks));
    AppContext& ctx = job.ctx();
    ASSERT_TRUE(PrepareAndLogIn(job, kRetries));
    sim::FaultSettings faults = Lost(0.4);
    faults.seed = 11;
    job.market().server().SetFaults(faults);

    std::size_t goodsQueries = 0;
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        job.market().server().ClearRequests();
        ASSERT_TRUE(run == 1 ? StartTitleJob(job) : PressStart(ctx));
        ASSERT_TRUE(job.RunToEnd(false, 120000)) << job.Describe();
        const std::vector<std::string> shop = job.ShopCodes();
        EXPECT_FALSE(HasDuplicates(shop));
        // Every item of the shop is either recorded or still waiting to be looked up.
        std::vector<std::string> known = job.RecordedCodes();
        for (const UnknownPublish& entry : ctx.db().UnknownPublishes())
            known.push_back(entry.outerCode);
        std::sort(known.begin(), known.end());
        EXPECT_EQ(shop, known);
        for (const sim::HttpRequest& r : job.market().server().Requests())
            goodsQueries += r.method == "POST" && r.path == "/auction/merchandise/auction_list.htm";
    }
    // Books left unknown by a run were looked up in the shop by the next one.
    EXPECT_GT(goodsQueries, 0u);
}

TEST(SiteDown, TheJobStopsItselfAndSaysWhyInsteadOfFailingEveryBook) {
    // Every product page fails: the list pages come, the books behind them never do.
    E2eJob job(QuickJob(
        400,
        [](const sim::HttpRequest& r) {
            return r.path.size() > 5 && r.path.compare(r.path.size() - 5, 5, ".html") == 0;
        },
        502));
    AppContext& ctx = job.ctx();
    ctx.config().SetSiteDownFailures("4");
    ASSERT_TRUE(PrepareAndLogIn(job, 1));
    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(vt::testing::WaitUntil([&] { return ctx.panel().JobStopped(); })) << job.Describe();
    job.StopAndJoin();

    const std::string reason = ctx.network().StopReason();
    EXPECT_EQ(vt::testing::U8(reason),
              vt::testing::U8("Vantrell网站连续4次无法访问（服务器错误（HTTP 502）），已停止采集"));
    EXPECT_NE(std::find(job.messages().begin(), job.messages().end(), reason),
              job.messages().end());
    // The books it read before it stopped say why; the rest were left for a later job.
    int failedPages = 0;
    for (int i = 0, n = ctx.toCollect().Count(); i < n; ++i)
        failedPages += ctx.toCollect().Cell(i, kStatusCol).rfind(kPageReadFailed, 0) == 0;
    // Four in a row at least (a list page read in between starts the run again).
    EXPECT_GE(failedPages, 4);
    EXPECT_GT(ctx.toCollect().Count(), failedPages);
    EXPECT_TRUE(job.ShopCodes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(kCells),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
