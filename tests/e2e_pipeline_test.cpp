// Whole jobs on the in-process stand-ins, from "开始采集" to the items in the shop, judged
// against what the stand-in bookstore holds: the shop, the work lists and the account's
// product database must tell the same story, and every book that did not make it must
// say why.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "app/panel_actions.h"
#include "app/results_panel.h"
#include "base/text.h"
#include "detail/detail_thread.h"
#include "detail/image_download.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"
#include "market/price_rules.h"
#include "market/publishing_thread.h"
#include "support/e2e_job.h"
#include "support/raw_get.h"

using namespace vt;
using vt::testing::E2eJob;
using vt::testing::RawGet;
using vt::testing::U8;
using vt::testing::WaitUntil;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// True when the GBK text ends on a character boundary.
bool WholeCharacters(const std::string& gbk) {
    std::size_t at = 0;
    while (at < gbk.size()) at += IsGbkLeadByte(static_cast<unsigned char>(gbk[at])) ? 2 : 1;
    return at == gbk.size();
}

// The statuses a dropped book's to-collect row must show, by the page trait that drops it.
struct TraitDrop {
    sim::Trait trait;
    std::vector<std::string> statuses;  // any of them (the two detail variants differ)
};
const std::vector<TraitDrop>& TraitDrops() {
    static const std::vector<TraitDrop> drops = {
        {sim::Trait::NoIsbn, {"ISBN为空"}},
        {sim::Trait::NoPicture, {"主图为空"}},
        {sim::Trait::NoListPrice, {"定价为空"}},
        {sim::Trait::NoSalePrice, {"售价为空"}},
    };
    return drops;
}

bool IsForbiddenWordStatus(const std::string& status) {
    return status == "有违禁词" || status == "作者在禁止销售列表内" ||
           status.rfind("过滤：", 0) == 0;
}

// Everything a finished (or stopped) job must agree on: one set of published books,
// whichever of the shop, the collected rows and the product database is asked.
void ExpectShopListsAndRecordsAgree(E2eJob& job) {
    const auto shop = job.ShopCodes();
    EXPECT_EQ(std::adjacent_find(shop.begin(), shop.end()), shop.end())
        << "a book was published twice";
    EXPECT_EQ(job.SucceededRowCodes(), shop);
    EXPECT_EQ(job.RecordedCodes(), shop);
}

// Each shop item carries the book's own title, price, category, picture, description and
// outer code, worked out from the stand-in bookstore and the settings.
void ExpectItemsShowTheirBooks(E2eJob& job) {
    AppContext& ctx = job.ctx();
    const std::string store = job.sites().store().origin();
    for (const sim::ShopItem& item : job.market().Items()) {
        SCOPED_TRACE("item " + item.outerCode);
        const sim::Book* book = job.catalog().FindById(item.outerCode);
        ASSERT_NE(book, nullptr);

        O_BookInfo record;
        record.MarketPrice = book->listPrice;
        record.SellPrice = book->salePrice;
        EXPECT_EQ(item.price, FormatPrice(ComputePrice(ctx.config(), record)));
        // A page with two ISBNs is looked up by both; its picture name no longer fails it.
        if (!book->Has(sim::Trait::TwoIsbn)) {
            EXPECT_EQ(item.categoryId, vt::testing::FirstOfferedCategory(book->isbn));
        }
        EXPECT_LE(item.title.size(), static_cast<std::size_t>(E2eJob::kTitleLimit));
        EXPECT_TRUE(WholeCharacters(item.title)) << "title cut inside a character";
        if (book->Plain()) {
            EXPECT_EQ(U8(item.title),
                      U8(vt::testing::ExpectedItemTitle(book->title, E2eJob::kPrefix,
                                                        E2eJob::kSuffix, E2eJob::kTitleLimit)));
        }

        EXPECT_EQ(item.picture.rfind(job.market().origin() + "/", 0), 0u) << item.picture;
        const auto uploaded = RawGet(item.picture);
        const auto original = RawGet(store + book->picture);
        EXPECT_EQ(uploaded.status, 200);
        EXPECT_FALSE(original.body.empty());
        EXPECT_TRUE(uploaded.body == original.body) << "the shop shows another picture";

        EXPECT_TRUE(Contains(item.description, book->id));
        EXPECT_TRUE(Contains(item.description, book->isbn));
        if (book->Plain()) {
            EXPECT_TRUE(Contains(item.description, book->author));
            EXPECT_TRUE(Contains(item.description, book->publisher));
        }
        EXPECT_FALSE(Contains(item.description, "[shuming]"));
    }
}

// A to-collect row that is not in the shop says why: its own status, or its collected
// row's picture or publishing column. The only silent drops are books already published,
// and those are counted in the upper "过滤：" box.
void ExpectEveryOtherRowSaysWhy(E2eJob& job, long pendingFilteredBefore = 0) {
    AppContext& ctx = job.ctx();
    const auto shopCodes = job.ShopCodes();
    const std::set<std::string> shop(shopCodes.begin(), shopCodes.end());
    const auto recordedCodes = job.RecordedCodes();
    const std::set<std::string> recorded(recordedCodes.begin(), recordedCodes.end());
    std::map<std::string, int> collectedRow;
    for (int r = 0; r < ctx.collected().Count(); ++r)
        collectedRow[Trim(ctx.collected().Cell(r, kOuterCodeCol))] = r;

    long silentAlreadyPublished = 0;
    for (int r = 0; r < ctx.toCollect().Count(); ++r) {
        const std::string id = Trim(ctx.toCollect().Cell(r, kMarkCol));
        const std::string status = ctx.toCollect().Cell(r, kStatusCol);
        const sim::Book* book = job.catalog().FindById(id);
        SCOPED_TRACE("row " + std::to_string(r) + " id " + id + " status " + U8(status));
        ASSERT_NE(book, nullptr);
        for (const TraitDrop& drop : TraitDrops())
            if (book->Has(drop.trait)) {
                EXPECT_NE(std::find(drop.statuses.begin(), drop.statuses.end(), status),
                          drop.statuses.end());
            }
        if (book->Has(sim::Trait::ForbiddenInTitle) || book->Has(sim::Trait::ForbiddenInAuthor)) {
            EXPECT_TRUE(IsForbiddenWordStatus(status));
        }
        if (shop.count(id))
            continue;
        if (!status.empty())
            continue;
        auto c = collectedRow.find(id);
        if (c != collectedRow.end()) {
            const std::string image = ctx.collected().Cell(c->second, kImageStateCol);
            const std::string market = ctx.collected().Cell(c->second, kMarketStateCol);
            // "正在获取数据信息" is no outcome: the book was taken and then left unfinished.
            EXPECT_TRUE((!image.empty() && image != DownloadMessage(kImageSaved)) ||
                        (!market.empty() && market != "上传成功" && market != "正在获取数据信息"))
                << "collected but neither published nor failed: " << U8(image) << " / "
                << U8(market);
            continue;
        }
        EXPECT_TRUE(recorded.count(id)) << "dropped without a reason";
        ++silentAlreadyPublished;
    }
    EXPECT_LE(silentAlreadyPublished,
              ctx.counters().Number(CounterBox::PendingFiltered) - pendingFilteredBefore);
    // A plain book has nothing that could keep it out of the shop.
    for (int r = 0; r < ctx.toCollect().Count(); ++r) {
        const std::string id = Trim(ctx.toCollect().Cell(r, kMarkCol));
        const sim::Book* book = job.catalog().FindById(id);
        if (book && book->Plain() && pendingFilteredBefore == 0) {
            auto c = collectedRow.find(id);
            // The publish that found the login lapsed is not tried again.
            if (c != collectedRow.end() &&
                ctx.collected().Cell(c->second, kMarketStateCol) == kLapsedNotPublished)
                continue;
            EXPECT_TRUE(shop.count(id))
                << "plain book " << id << " was not published: "
                << (c == collectedRow.end()
                        ? std::string("not collected")
                        : U8(ctx.collected().Cell(c->second, kImageStateCol) + " / " +
                             ctx.collected().Cell(c->second, kMarketStateCol)));
        }
    }
}

void ExpectFinishedJob(E2eJob& job) {
    EXPECT_GT(job.ctx().toCollect().Count(), 0);
    EXPECT_FALSE(job.ShopCodes().empty());
    ExpectShopListsAndRecordsAgree(job);
    ExpectItemsShowTheirBooks(job);
    ExpectEveryOtherRowSaysWhy(job);
}

// ----- the five request modes and the codes import -----

struct ModeCase {
    const char* name;
    // Sets the request up on the panel (or imports the codes); false when it did not start.
    std::function<bool(E2eJob&)> start;
    bool importJob = false;
};

bool StartKeyword(E2eJob& job, CollectMode mode, CollectInput input, const std::string& text) {
    ChooseMode(job.ctx(), mode);
    job.ctx().panel().SetInput(input, text);
    return PressStart(job.ctx());
}

// The top-level category holding the most books, and a lower category of another one.
bool StartCategories(E2eJob& job) {
    AppContext& ctx = job.ctx();
    ChooseMode(ctx, CollectMode::Category);
    CategoryTree& tree = ctx.panel().tree();
    const auto& cats = job.catalog().categories();
    auto booksIn = [&](const sim::Category& c) { return job.catalog().InCategory(c.code).size(); };
    std::size_t top = 0;
    for (std::size_t i = 0; i < cats.size(); ++i)
        if (booksIn(cats[i]) > booksIn(cats[top]))
            top = i;
    const sim::Category* lower = nullptr;
    for (const auto& c : cats)
        if (&c != &cats[top])
            for (const auto& child : c.children)
                if (!lower || booksIn(child) > booksIn(*lower))
                    lower = &child;
    if (!lower)
        return false;
    bool topChecked = false, lowerChecked = false;
    for (int root : tree.Roots()) {
        const std::string url = tree.Info(root).Url;
        if (Contains(url, cats[top].code)) {
            tree.SetChecked(root, true);
            topChecked = true;
        }
        if (Contains(url, lower->code.substr(0, 5) + ".00")) {
            OpenCategoryNode(ctx, root);
            for (int child : tree.Children(root))
                if (Contains(tree.Info(child).Url, lower->code)) {
                    tree.SetChecked(child, true);
                    lowerChecked = true;
                }
        }
    }
    return topChecked && lowerChecked && PressStart(ctx);
}

bool StartImport(E2eJob& job) {
    std::string codes;
    int n = 0;
    for (const sim::Book& book : job.catalog().books())
        if (n++ < 90)
            codes += book.id + "\r\n";
    const std::string file = job.sites().dir().path() + "/codes.txt";
    vt::testing::WriteAll(job.sites().dir().native() + "/codes.txt", codes);
    ResultsPanel results(job.ctx());
    AppContext& ctx = job.ctx();
    return results.ImportCodes(file, [&ctx] { StartDetailThread(ctx, DetailVariant::FromPage); });
}

class PipelineModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(PipelineModes, PublishesExactlyTheBooksThatPassAndExplainsTheRest) {
    E2eJob job;
    ASSERT_TRUE(job.LogIn());
    ASSERT_TRUE(GetParam().start(job)) << (job.messages().empty() ? "" : U8(job.messages()[0]));
    ASSERT_TRUE(job.RunToEnd(GetParam().importJob, 8000)) << job.Describe();
    ExpectFinishedJob(job);
}

INSTANTIATE_TEST_SUITE_P(
    E2e, PipelineModes,
    ::testing::Values(ModeCase{"Title",
                               [](E2eJob& j) {
                                   return StartKeyword(j, CollectMode::Title, CollectInput::Title,
                                                       j.CommonTitleCharacter());
                               }},
                      ModeCase{"Author",
                               [](E2eJob& j) {
                                   return StartKeyword(j, CollectMode::Author, CollectInput::Author,
                                                       j.CommonAuthor());
                               }},
                      ModeCase{"Publisher",
                               [](E2eJob& j) {
                                   return StartKeyword(j, CollectMode::Publisher,
                                                       CollectInput::Publisher,
                                                       j.CommonPublisher());
                               }},
                      ModeCase{"Categories", StartCategories},
                      ModeCase{"Promotion",
                               [](E2eJob& j) {
                                   const std::string address =
                                       j.sites().store().origin() +
                                       j.catalog().promotions().front().path;
                                   return StartKeyword(j, CollectMode::Promo,
                                                       CollectInput::PromoAddress, address);
                               }},
                      ModeCase{"ImportedCodes", StartImport, true}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// ----- the same job twice, a lapsed login, a stop in the middle -----

bool StartTitleJob(E2eJob& job) {
    return StartKeyword(job, CollectMode::Title, CollectInput::Title, job.CommonTitleCharacter());
}

TEST(E2eRerun, TheSameJobAgainPublishesNothingNewAndCountsWhatItSkipped) {
    // Both ways of skipping: at the list stage ("过滤采集过的数据") and at the detail stage.
    for (bool skipAtListStage : {true, false}) {
        SCOPED_TRACE(skipAtListStage ? "skipped at the list stage" : "skipped at the detail stage");
        E2eJob job;
        job.ctx().config().SetCHKFiltData(skipAtListStage);
        ASSERT_TRUE(job.LogIn());
        ASSERT_TRUE(StartTitleJob(job));
        ASSERT_TRUE(job.RunToEnd()) << job.Describe();
        const auto firstShop = job.ShopCodes();
        ASSERT_FALSE(firstShop.empty());
        const long skippedBefore = job.ctx().counters().Number(CounterBox::PendingFiltered);

        ASSERT_TRUE(PressStart(job.ctx()));
        ASSERT_TRUE(job.RunToEnd()) << job.Describe();
        EXPECT_EQ(job.ShopCodes(), firstShop);
        EXPECT_EQ(job.RecordedCodes(), firstShop);
        EXPECT_TRUE(job.SucceededRowCodes().empty());
        // Every published book of the first run was skipped again and counted.
        EXPECT_GE(job.ctx().counters().Number(CounterBox::PendingFiltered) - skippedBefore,
                  static_cast<long>(firstShop.size()));
        ExpectEveryOtherRowSaysWhy(job, skippedBefore);
    }
}

TEST(E2eLapsedLogin, PausesThePipelineUntilTheSellerLogsInAgain) {
    vt::testing::E2eOptions slow;
    slow.latencyMs = 5;
    slow.pacingMs = 20;
    E2eJob job(slow);
    ASSERT_TRUE(job.LogIn());
    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(WaitUntil([&] { return !job.market().Items().empty(); }));

    job.market().ExpireSessions();
    ASSERT_TRUE(WaitUntil([&] { return Contains(job.ctx().session().Title(), kStateLapsed); }))
        << U8(job.ctx().session().Title());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a publish in flight lands
    const std::size_t paused = job.market().Items().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(job.market().Items().size(), paused);
    EXPECT_FALSE(job.ctx().session().LoginValid());

    vt::testing::WriteAll(job.sites().dir().native() + "/cookie.txt",
                          job.market().CookieFor("vantrell_demo"));
    FileCookieSource fresh(job.sites().dir().path() + "/cookie.txt");
    ASSERT_TRUE(ConfirmSingleLogin(job.ctx(), fresh));
    ASSERT_TRUE(job.RunToEnd()) << job.Describe();
    EXPECT_GT(job.market().Items().size(), paused);
    ExpectShopListsAndRecordsAgree(job);
    ExpectItemsShowTheirBooks(job);
    ExpectEveryOtherRowSaysWhy(job);
}

TEST(E2eStop, StoppingWhileCrawlersRunLeavesShopListsAndRecordsConsistent) {
    vt::testing::E2eOptions slow;
    slow.latencyMs = 20;
    E2eJob job(slow);
    job.ctx().config().SetCaiJiYeShu("6");
    ASSERT_TRUE(job.LogIn());
    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(WaitUntil([&] { return job.ctx().toCollect().Count() > 0; }));
    ASSERT_GT(job.ctx().job().RunningListThreads.load(), 0) << "the crawl ended too early";

    job.StopAndJoin();
    EXPECT_EQ(job.ctx().workers().Launched(), 0u);
    EXPECT_EQ(job.ctx().job().RunningListThreads.load(), 0);
    EXPECT_TRUE(job.ctx().panel().StartEnabled());
    ExpectShopListsAndRecordsAgree(job);
    for (const std::string& code : job.ShopCodes())
        EXPECT_NE(job.catalog().FindById(code), nullptr);
    // Nothing moves once the workers have gone.
    const std::size_t items = job.market().Items().size();
    const int rows = job.ctx().toCollect().Count();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(job.market().Items().size(), items);
    EXPECT_EQ(job.ctx().toCollect().Count(), rows);
}

// "全部清除" and "全部清空" pressed again and again while a title job runs: the lists empty
// and refill under ten kinds of writers. Every status a worker writes lands on its own
// book's row (never on a later row with the same number), the shop and the account's
// records agree, and nothing crashes (the sanitizer builds run this too).
TEST(E2eClearWhileRunning, EveryStatusLandsOnItsOwnBook) {
    vt::testing::E2eOptions options;
    options.books = 300;
    options.latencyMs = 2;
    options.pacingMs = 0;
    E2eJob job(options);
    AppContext& ctx = job.ctx();
    ctx.config().SetCaiJiYeShu("3");
    ASSERT_TRUE(job.LogIn());
    ASSERT_TRUE(StartTitleJob(job));
    ResultsPanel results(ctx);
    std::minstd_rand random(7);
    for (int i = 0; i < 24; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 40));
        if (i % 3 == 2)
            results.ClearCollected();
        else
            results.ClearToCollect();
    }
    ASSERT_TRUE(job.RunToEnd(false, 60000)) << job.Describe();

    // Shop, records and the rows still listed tell one story.
    const auto shop = job.ShopCodes();
    EXPECT_EQ(std::adjacent_find(shop.begin(), shop.end()), shop.end())
        << "a book was published twice";
    EXPECT_EQ(job.RecordedCodes(), shop);
    const std::set<std::string> inShop(shop.begin(), shop.end());
    for (const std::string& code : job.SucceededRowCodes())
        EXPECT_TRUE(inShop.count(code)) << "\"上传成功\" on book " << code << ", never published";
    for (int r = 0; r < ctx.collected().Count(); ++r) {
        const std::string code = Trim(ctx.collected().Cell(r, kOuterCodeCol));
        if (ctx.collected().Cell(r, kMarketStateCol) == kAlreadyPublished) {
            EXPECT_TRUE(inShop.count(code)) << "\"已上传过\" on book " << code;
        }
    }
    // Each to-collect status fits its own row's book.
    for (int r = 0; r < ctx.toCollect().Count(); ++r) {
        const std::string id = Trim(ctx.toCollect().Cell(r, kMarkCol));
        const std::string status = ctx.toCollect().Cell(r, kStatusCol);
        if (status.empty())
            continue;
        SCOPED_TRACE("row " + std::to_string(r) + " id " + id + " status " + U8(status));
        const sim::Book* book = job.catalog().FindById(id);
        ASSERT_NE(book, nullptr);
        // Every status that names a property of the book must find it in this row's book.
        bool explained = true;
        for (const TraitDrop& drop : TraitDrops())
            for (const std::string& s : drop.statuses)
                if (s == status && !book->Has(drop.trait))
                    explained = false;
        if (IsForbiddenWordStatus(status) && !book->Has(sim::Trait::ForbiddenInTitle) &&
            !book->Has(sim::Trait::ForbiddenInAuthor))
            explained = false;
        const std::size_t stock = status.find("：缺货");
        if (stock != std::string::npos && status.substr(0, stock) != id)
            explained = false;
        EXPECT_TRUE(explained) << "the status belongs to another book";
    }
}

}  // namespace
