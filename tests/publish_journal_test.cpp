// A publish whose answer is lost after the shop took the item: the book stays "unknown" in
// the account's product database until the shop has been asked, and is never posted twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/encoders.h"
#include "core/context.h"
#include "core/databases.h"
#include "core/session.h"
#include "market/on_sale_check.h"
#include "market/publishing_thread.h"
#include "sim/bookstore_sim.h"
#include "sim/market_sim.h"
#include "support/failing_vfs.h"
#include "support/local_sites.h"
#include "support/market_client.h"
#include "support/market_stage.h"
#include "support/product_pages.h"
#include "support/stand_in_hosts.h"
#include "support/temp_app_dir.h"

using vt::testing::PointMarketAt;
using vt::testing::TempAppDir;
using vt::testing::U8;

namespace vt {
namespace {

constexpr char kDemoNick[] = "vantrell_demo";
constexpr char kPublishPath[] = "/auction/publish/publish.htm";
constexpr char kUploadPath[] = "/auction/publish/uploadSingleImage.do";
constexpr char kGoodsPath[] = "/auction/merchandise/auction_list.htm";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// --- The journal in the product database ---

class PublishJournalDbTest : public ::testing::Test {
protected:
    std::string DbFile(const std::string& nick) {
        return dir.native() + "/DataBase/" + nick + ".db";
    }

    TempAppDir dir{false};
    Databases dbs{dir.path() + "/DataBase"};
};

TEST_F(PublishJournalDbTest, AFileOfTheOldSchemaGainsTheJournalAndEntriesOutliveReopening) {
    {
        // A product database as earlier versions left it: ProductData only.
        Database old(DbFile("seller"));
        ASSERT_TRUE(
            old.Exec("CREATE TABLE ProductData(ID INTEGER PRIMARY KEY,VT VARCHAR(50),"
                     "TB VARCHAR(30));"));
        ASSERT_TRUE(old.Exec("INSERT INTO ProductData (VT, TB) VALUES ('1001', '9001');"));
    }
    EXPECT_FALSE(dbs.MarkPublishInFlight({"2002", "", "seller", true}));  // nothing open yet
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    EXPECT_TRUE(dbs.IsPublished("1001"));

    EXPECT_TRUE(dbs.MarkPublishInFlight({" 2002\r\n", "", "书店一号", true}));
    EXPECT_TRUE(dbs.MarkPublishInFlight({"3003", "", "", false}));
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    EXPECT_TRUE(dbs.IsPublishUnknown("2002"));
    EXPECT_FALSE(dbs.IsPublishUnknown("200"));
    const auto entry = dbs.FindUnknownPublish(" 2002 ");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->outerCode, "2002");
    EXPECT_EQ(U8(entry->nick), U8("书店一号"));
    EXPECT_TRUE(entry->forSale);
    EXPECT_EQ(entry->since.size(), 19u) << entry->since;  // "YYYY-MM-DD HH:MM:SS"

    const std::vector<UnknownPublish> all = dbs.UnknownPublishes();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].outerCode, "2002");
    EXPECT_EQ(all[1].outerCode, "3003");
    EXPECT_FALSE(all[1].forSale);

    dbs.ClearPublishEntry("2002 ");
    EXPECT_FALSE(dbs.IsPublishUnknown("2002"));
    EXPECT_TRUE(dbs.IsPublishUnknown("3003"));
    // The published records keep the columns they always had.
    EXPECT_EQ(dbs.ProductDb()->QueryColumn("select name from pragma_table_info('ProductData')"),
              (std::vector<std::string>{"ID", "VT", "TB"}));
}

TEST_F(PublishJournalDbTest, RecordingASuccessClearsTheEntryInTheSameStep) {
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    ASSERT_TRUE(dbs.MarkPublishInFlight({"4004", "", "seller", true}));
    dbs.RecordPublished("4004", "9004");
    EXPECT_TRUE(dbs.IsPublished("4004"));
    EXPECT_FALSE(dbs.IsPublishUnknown("4004"));

    // Half a step never happens: a record that cannot be written leaves the entry (the
    // book is asked about again), and a journal that cannot be cleared still lets the
    // record in (the record is looked at first).
    const struct {
        const char* what;
        const char* trigger;
        bool recorded;
    } cases[] = {
        {"the record is refused",
         "CREATE TRIGGER Refuse BEFORE INSERT ON ProductData BEGIN SELECT RAISE(ABORT,'x'); END;",
         false},
        {"the entry cannot be dropped",
         "CREATE TRIGGER Refuse BEFORE DELETE ON PublishJournal BEGIN SELECT RAISE(ABORT,'x'); "
         "END;",
         true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string code = "50" + std::to_string(n++);
        auto db = dbs.ProductDb();
        ASSERT_TRUE(dbs.MarkPublishInFlight({code, "", "seller", true}));
        ASSERT_TRUE(db->Exec(c.trigger));
        dbs.RecordPublished(code, "9005");
        ASSERT_TRUE(db->Exec("DROP TRIGGER Refuse;"));
        EXPECT_EQ(dbs.IsPublished(code), c.recorded);
        EXPECT_TRUE(dbs.IsPublishUnknown(code));
    }
}

// --- The goods lookup that tells "not on sale" from "could not ask" ---

TEST(LookUpOnSale, TellsFoundNotFoundAndCouldNotAsk) {
    testing::MarketStage stage;
    ASSERT_TRUE(stage.started());
    AppContext& ctx = stage.ctx();
    const std::string cookie = stage.DemoCookie();
    const std::string token = FetchGoodsToken(ctx, cookie);
    ASSERT_FALSE(token.empty());
    // The session's own cookie is another account's: the lookup goes with the one given.
    ctx.session().SetSellerCookie("cookie2=other; tracknick=other");

    sim::HttpServer rows;  // a goods manager listing one item for every code
    rows.SetHandler([](const sim::HttpRequest&) {
        sim::HttpResponse res;
        res.body =
            "<tr class=\"goods-sid \"><td><input id = \"selectedIds:521001\" "
            "type=\"checkbox\"></td><td><a href=\"#\">复制链接</a></td></tr>";
        return res;
    });
    sim::HttpServer failing;  // answers 500
    failing.SetHandler([](const sim::HttpRequest&) {
        sim::HttpResponse res;
        res.status = 500;
        res.body = "<html>500</html>";
        return res;
    });
    ASSERT_TRUE(rows.Start("127.0.0.1", 0));
    ASSERT_TRUE(failing.Start("127.0.0.1", 0));

    const struct {
        const char* what;
        std::string goodsOrigin;
        std::string token;
        OnSaleLookup::Outcome outcome;
        std::vector<std::string> ids;
        std::string why;
    } cases[] = {
        {"listed", rows.origin(), token, OnSaleLookup::Found, {"521001"}, ""},
        {"the shop holds nothing", stage.market().origin(), token, OnSaleLookup::NotFound, {}, ""},
        {"no token",
         stage.market().origin(),
         "",
         OnSaleLookup::CouldNotAsk,
         {},
         "未取得商品列表令牌"},
        {"answering 500", failing.origin(), token, OnSaleLookup::CouldNotAsk, {}, "淘宝无应答"},
        {"down",
         testing::kClosedLoopbackOrigin,
         token,
         OnSaleLookup::CouldNotAsk,
         {},
         "dwError = "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(ctx.hosts().Set(HostRole::MarketSell, c.goodsOrigin));
        const std::size_t queriesBefore = stage.RequestsTo(kGoodsPath).size();
        const OnSaleLookup lookup = LookUpOnSale(ctx, "12345", c.token, cookie);
        EXPECT_EQ(lookup.outcome, c.outcome);
        EXPECT_EQ(lookup.ids, c.ids);
        EXPECT_TRUE(StartsWith(lookup.why, c.why)) << U8(lookup.why);
        if (c.token.empty()) {  // nothing is asked without a token
            EXPECT_EQ(stage.RequestsTo(kGoodsPath).size(), queriesBefore);
        }
    }
    ASSERT_EQ(rows.Requests().size(), 1u);
    EXPECT_EQ(rows.Requests()[0].Header("Cookie"), cookie);
    EXPECT_EQ(rows.Requests()[0].body, GoodsQueryBody("12345", token));
}

// --- Publishing around a lost answer ---

// The marketplace's upload host behind a relay that can lose the publish form's answer
// after the shop took the item: the connection cut mid-body, a 500 without body, or half
// the body behind a whole-looking response. Or it answers the form itself, unseen by the
// shop.
class AnswerLosingRelay {
public:
    enum class Loss { None, Cut, Status500, HalfBody, Replaced };

    explicit AnswerLosingRelay(sim::MarketSim& market) : market_(market) {
        server_.SetHandler([this](const sim::HttpRequest& req) { return Relay(req); });
    }
    bool Start() { return server_.Start("127.0.0.1", 0); }
    std::string origin() const { return server_.origin(); }
    // The next publish form's answer is lost that way.
    void LoseNextAnswer(Loss loss) {
        std::lock_guard lock(mutex_);
        loss_ = loss;
    }
    // Runs once when the next publish form arrives, before the shop sees it.
    void BeforeNextForm(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        beforeForm_ = std::move(hook);
    }
    // The next publish form gets this answer and never reaches the shop.
    void AnswerNextForm(std::string body) {
        std::lock_guard lock(mutex_);
        loss_ = Loss::Replaced;
        answer_ = std::move(body);
    }

private:
    sim::HttpResponse Relay(const sim::HttpRequest& req) {
        Loss loss;
        std::function<void()> beforeForm;
        {
            std::lock_guard lock(mutex_);
            loss = loss_;
            if (req.path == kPublishPath)
                beforeForm.swap(beforeForm_);
        }
        if (beforeForm)
            beforeForm();
        // The form follows the picture upload: the server cuts the answer of the request
        // after this one, once the market has taken it.
        if (loss == Loss::Cut && req.path == kUploadPath) {
            sim::FaultSettings cut;
            cut.truncateRate = 1;
            server_.SetFaults(cut);
        }
        if (req.path == kPublishPath && loss == Loss::Replaced) {
            std::lock_guard lock(mutex_);
            loss_ = Loss::None;
            sim::HttpResponse res;
            res.body = answer_;
            return res;
        }
        sim::HttpResponse res = Forward(req);
        if (req.path != kPublishPath || loss == Loss::None)
            return res;
        {
            std::lock_guard lock(mutex_);
            loss_ = Loss::None;
        }
        server_.SetFaults({});
        if (loss == Loss::Status500) {
            res.status = 500;
            res.body.clear();
        } else if (loss == Loss::HalfBody) {
            res.body.resize(res.body.size() / 2);
        }
        return res;
    }

    sim::HttpResponse Forward(const sim::HttpRequest& req) {
        testing::Headers headers;
        for (const auto& [name, value] : req.headers)
            if (name != "Host" && name != "Content-Length")
                headers.emplace_back(name, value);
        const testing::ClientResponse answer =
            testing::Exchange(market_.server().port(), req.method, req.target, headers, req.body);
        sim::HttpResponse res;
        res.status = answer.status == 0 ? 502 : answer.status;
        res.contentType = answer.Header("Content-Type");
        for (const auto& [name, value] : answer.headers)
            if (name != "Content-Type" && name != "Content-Length" && name != "Connection")
                res.headers.emplace_back(name, value);
        res.body = answer.body;
        return res;
    }

    sim::MarketSim& market_;
    sim::HttpServer server_;
    std::mutex mutex_;
    Loss loss_ = Loss::None;
    std::string answer_;
    std::function<void()> beforeForm_;
};

class PublishJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(market_.Start("127.0.0.1", 0));
        ASSERT_TRUE(store_.Start("127.0.0.1", 0));
        ASSERT_TRUE(relay_.Start());
        SetUpContext(ctx_);
        for (const sim::Book& b : store_.catalog().books())
            if (b.Plain() && books_.size() < 6)
                books_.push_back(&b);
        ASSERT_EQ(books_.size(), 6u);
    }

    void TearDown() override {
        ctx_.panel().PressStop();
        ctx_.workers().JoinAll();
    }

    // A run as the seller starts it: the stand-ins, the demo account listed and logged
    // in, its product database open.
    void SetUpContext(AppContext& ctx) {
        PointMarketAt(ctx.hosts(), market_.origin());
        vt::testing::PointBookstoreAt(ctx.hosts(), store_.origin());  // serves the pictures
        ctx.hosts().Set(HostRole::MarketUpload, relay_.origin());
        const std::string cookie = market_.CookieFor(kDemoNick);
        ctx.session().SetSellerCookie(cookie);
        ctx.session().AddAccount(cookie);
        ctx.session().MarkLoginValid();
        ASSERT_TRUE(ctx.db().OpenProductDb(kDemoNick));
        ctx.publishing().SetPublishPacingMs(0);
        ctx.config().SetTitleLengthP("60");
        ctx.config().SetPriceDazheP("10");
        ctx.config().SetBookStoreCountP("5");
        ctx.config().SetDirectSentP(true);
        ctx.job().SetCurrentFenlei("job");
        ctx.panel().SetRunning();
    }

    // A collected row of the book, as the detail stage hands it over.
    int Collect(AppContext& ctx, const sim::Book& book) {
        market_.SetCategoryAnswer(book.isbn, sim::CategoryAnswer::NewBook);
        CollectedRow row{};
        row[kOuterCodeCol] = book.id;
        return ctx.collected().AppendWithRecord(
            row, vt::testing::CollectedRecordOf(book, store_.origin()));
    }

    // The row's book handled as a publishing thread handles it.
    std::string Process(AppContext& ctx, int row) {
        auto record = ctx.collected().Record(ctx.collected().Ref(row));
        EXPECT_NE(record, nullptr);
        if (record)
            ProcessCollectedBook(ctx, *record, ctx.collected().Ref(row));
        return ctx.collected().Cell(row, kMarketStateCol);
    }

    std::size_t ShopCount(const std::string& code) {
        std::size_t n = 0;
        for (const sim::ShopItem& item : market_.Items()) n += item.outerCode == code;
        return n;
    }
    std::size_t Requests(const std::string& path) {
        std::size_t n = 0;
        for (const sim::HttpRequest& req : market_.server().Requests()) n += req.path == path;
        return n;
    }
    std::size_t PictureFetches(const sim::Book& book) {
        std::size_t n = 0;
        for (const sim::HttpRequest& req : store_.server().Requests())
            n += req.path == book.picture;
        return n;
    }

    static sim::MarketOptions TwoShops() {
        sim::MarketOptions options;
        options.accounts.push_back({"second_shop", "pw2"});
        return options;
    }

    sim::MarketSim market_{TwoShops()};
    sim::BookstoreSim store_{sim::CatalogOptions{11, 300, 60}};
    AnswerLosingRelay relay_{market_};
    TempAppDir dir_;
    AppContext ctx_{dir_.path()};
    std::vector<const sim::Book*> books_;
};

TEST_F(PublishJournalTest, ALostAnswerLeavesTheBookUnknownAndTheNextCopyIsFoundNotPostedAgain) {
    const struct {
        AnswerLosingRelay::Loss loss;
        std::string status;
    } cases[] = {
        {AnswerLosingRelay::Loss::Cut, "失败：发布结果未知（dwError = "},
        {AnswerLosingRelay::Loss::Status500, "失败：发布结果未知（淘宝无应答）"},
        {AnswerLosingRelay::Loss::HalfBody, "失败：发布结果未知（应答无法识别）"},
    };
    int failures = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const sim::Book& book = *books_[i];
        SCOPED_TRACE(U8(c.status));
        const int first = Collect(ctx_, book);
        const int second = Collect(ctx_, book);  // the same book listed twice

        relay_.LoseNextAnswer(c.loss);
        const std::string lost = Process(ctx_, first);
        EXPECT_TRUE(StartsWith(lost, c.status)) << U8(lost);
        EXPECT_EQ(ShopCount(book.id), 1u);  // the shop took it
        EXPECT_FALSE(ctx_.db().IsPublished(book.id));
        EXPECT_TRUE(ctx_.db().IsPublishUnknown(book.id));
        EXPECT_EQ(ctx_.counters().Number(CounterBox::PublishFailed), ++failures);
        // Nothing but the publish itself was asked of the shop.
        EXPECT_EQ(Requests(kGoodsPath), 0u);

        EXPECT_EQ(U8(Process(ctx_, second)), U8(kAlreadyPublished));
        EXPECT_EQ(ShopCount(book.id), 1u);
        // Asked about, and nothing of a publish sent.
        EXPECT_EQ(Requests(kGoodsPath), 2u);
        EXPECT_EQ(Requests("/auction/sell.jhtml"), 1u);
        EXPECT_EQ(Requests(kPublishPath), 1u);
        EXPECT_TRUE(ctx_.db().IsPublished(book.id));
        EXPECT_FALSE(ctx_.db().IsPublishUnknown(book.id));
        EXPECT_EQ(ctx_.collected().Record(ctx_.collected().Ref(second)), nullptr);
        EXPECT_EQ(ctx_.counters().Number(CounterBox::Published), 0);
        market_.server().ClearRequests();
    }
}

TEST_F(PublishJournalTest, ADatabaseWriteFailingAtAnyStepNeverPutsTheBookInTheShopTwice) {
    testing::FailingVfs& vfs = testing::FailingVfs::Install();
    enum class Fault { OldEntryClear, Entry, Record, EntryClear };
    const std::string noSpace = "磁盘空间不足";
    const struct {
        const char* what;
        Fault fault;
        std::string status;  // the row after the first attempt starts so
        bool stops;          // the job stopped itself for the disk
        std::size_t inShop;
        bool recorded;
        bool unknown;
        std::string rerun;  // the row when the same book comes again with space
    } cases[] = {
        {"an earlier entry cannot be dropped before the post", Fault::OldEntryClear,
         "失败：无法写入发布记录（" + noSpace + "）", true, 0, false, true, "上传成功"},
        {"the entry cannot be written", Fault::Entry, "失败：无法写入发布记录（" + noSpace + "）",
         true, 0, false, false, "上传成功"},
        {"the success cannot be recorded", Fault::Record,
         "失败：已发布但无法记录（" + noSpace + "）", true, 1, false, true, kAlreadyPublished},
        {"the entry cannot be dropped after the record", Fault::EntryClear, "上传成功", false, 1,
         true, true, kAlreadyPublished},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.what);
        const sim::Book& book = *books_[i];
        vfs.Disarm();
        vfs.SetPathFilter(UrlEncodeUtf8(kDemoNick) + ".db");  // the account's database only
        {
            AppContext run(dir_.path());
            SetUpContext(run);  // its product database opens through the failing layer
            switch (c.fault) {
                case Fault::OldEntryClear:
                    // A process killed before its post left the entry: the shop lacks the book.
                    ASSERT_TRUE(run.db().MarkPublishInFlight({book.id, "", kDemoNick, true}));
                    vfs.FailAllWrites(true);
                    break;
                case Fault::Entry:
                    vfs.FailAllWrites(true);
                    break;
                case Fault::Record:
                    relay_.BeforeNextForm([&vfs] { vfs.FailAllWrites(true); });
                    break;
                case Fault::EntryClear:
                    // The record and the clear go as one step; only that step fails.
                    relay_.BeforeNextForm([&vfs] { vfs.FailNextTransactions(1); });
                    break;
            }
            const std::string status = Process(run, Collect(run, book));
            EXPECT_TRUE(StartsWith(status, c.status)) << U8(status);
            EXPECT_EQ(ShopCount(book.id), c.inShop);
            vfs.Disarm();
            EXPECT_EQ(run.db().IsPublished(book.id), c.recorded);
            EXPECT_EQ(run.db().IsPublishUnknown(book.id), c.unknown);
            EXPECT_EQ(run.panel().JobStopped(), c.stops);
            if (c.stops) {
                EXPECT_EQ(U8(run.network().StopReason()),
                          U8("文件夹" + run.DataBaseDir() + noSpace + "，已停止采集"));
            }
        }
        // The same job again, with space: the book is in the shop once, recorded.
        AppContext again(dir_.path());
        SetUpContext(again);
        EXPECT_EQ(U8(Process(again, Collect(again, book))), U8(c.rerun));
        EXPECT_EQ(ShopCount(book.id), 1u);
        EXPECT_TRUE(again.db().IsPublished(book.id));
        EXPECT_FALSE(again.db().IsPublishUnknown(book.id));
        EXPECT_TRUE(again.network().StopReason().empty());
    }
    EXPECT_GT(vfs.RefusedWrites(), 0);
}

TEST_F(PublishJournalTest, OnlyAnAnswerThatSettlesTheOutcomeClearsTheEntry) {
    const struct {
        const char* what;
        std::string answer;  // empty: the shop itself refuses the item
        std::string status;
        bool settled;
    } cases[] = {
        {"the shop's reason", "", "失败：一口价必须大于0", true},
        {"a whole answer saying no", "{\"success\":false,\"code\":\"ERROR\"}",
         "失败：淘宝拒绝发布，未说明原因", true},
        {"a page that is no answer", "<html><body>系统繁忙</body></html>",
         "失败：发布结果未知（应答无法识别）", false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.what);
        const sim::Book& book = *books_[i];
        if (c.answer.empty())
            ctx_.config().SetPriceDazheP("0");  // a price of 0.00, which the shop refuses
        else
            relay_.AnswerNextForm(c.answer);
        EXPECT_EQ(U8(Process(ctx_, Collect(ctx_, book))), U8(c.status));
        ctx_.config().SetPriceDazheP("10");
        EXPECT_EQ(ctx_.db().IsPublishUnknown(book.id), !c.settled);
        EXPECT_EQ(ShopCount(book.id), 0u);
        if (!c.settled)
            continue;
        // Nothing to ask about: the next copy is published straight away.
        EXPECT_EQ(U8(Process(ctx_, Collect(ctx_, book))), U8("上传成功"));
        EXPECT_EQ(Requests(kGoodsPath), 0u);
        EXPECT_EQ(ShopCount(book.id), 1u);
    }
}

TEST_F(PublishJournalTest, ALaterRunOnTheSameFolderAsksTheShopFirst) {
    const sim::Book& lostBook = *books_[0];
    const sim::Book& neverArrived = *books_[1];
    relay_.LoseNextAnswer(AnswerLosingRelay::Loss::Cut);
    Process(ctx_, Collect(ctx_, lostBook));
    ASSERT_TRUE(ctx_.db().IsPublishUnknown(lostBook.id));
    // A process killed after writing the entry and before the form left.
    ASSERT_TRUE(ctx_.db().MarkPublishInFlight({neverArrived.id, "", kDemoNick, true}));
    ctx_.panel().PressStop();

    // The next run: a new context on the same folder, its publishing thread at work.
    AppContext next(dir_.path());
    SetUpContext(next);
    next.job().RunningListThreads = 1;
    StartPublishingThreads(next, 1, false);
    Collect(next, lostBook);
    Collect(next, neverArrived);
    ASSERT_TRUE(testing::WaitUntil([&] {
        return next.collected().Cell(1, kMarketStateCol) == "上传成功";
    })) << U8(next.collected().Cell(0, kMarketStateCol))
        << " / " << U8(next.collected().Cell(1, kMarketStateCol));
    next.panel().PressStop();
    next.workers().JoinAll();

    EXPECT_EQ(U8(next.collected().Cell(0, kMarketStateCol)), U8(kAlreadyPublished));
    EXPECT_EQ(ShopCount(lostBook.id), 1u);
    EXPECT_EQ(ShopCount(neverArrived.id), 1u);
    EXPECT_EQ(Requests(kPublishPath), 2u);
    EXPECT_TRUE(next.db().IsPublished(lostBook.id));
    EXPECT_TRUE(next.db().IsPublished(neverArrived.id));
    EXPECT_TRUE(next.db().UnknownPublishes().empty());
}

TEST_F(PublishJournalTest, WhenTheShopCannotBeAskedTheBookIsNotPosted) {
    // A goods manager that hands out its page token and answers every query with 500.
    sim::HttpServer failing;
    failing.SetHandler([](const sim::HttpRequest& req) {
        sim::HttpResponse res;
        if (req.method == "GET")
            res.body = "<input name='_tb_token_' type='hidden' value='e5b1a0'>";
        else
            res.status = 500;
        return res;
    });
    ASSERT_TRUE(failing.Start("127.0.0.1", 0));
    const struct {
        const char* what;
        std::string goodsOrigin;
        std::string postedBy;
        std::string reason;
    } cases[] = {
        {"the goods manager is down", testing::kClosedLoopbackOrigin, kDemoNick,
         "（未取得商品列表令牌）"},
        {"the goods manager answers 500", failing.origin(), kDemoNick, "（淘宝无应答）"},
        {"the posting account is not logged in", market_.origin(), "gone_shop",
         "（发布账号gone_shop未登录）"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.what);
        const sim::Book& book = *books_[i];
        ctx_.hosts().Set(HostRole::MarketSell, c.goodsOrigin);
        ASSERT_TRUE(ctx_.db().MarkPublishInFlight({book.id, "", c.postedBy, true}));
        const int row = Collect(ctx_, book);

        const std::string status = Process(ctx_, row);
        EXPECT_EQ(U8(status), U8(std::string(kUnknownNotAsked) + c.reason));
        EXPECT_EQ(Requests(kPublishPath), 0u);
        EXPECT_EQ(PictureFetches(book), 0u);
        EXPECT_TRUE(ctx_.db().IsPublishUnknown(book.id));
        EXPECT_FALSE(ctx_.db().IsPublished(book.id));
        EXPECT_EQ(ctx_.collected().Record(ctx_.collected().Ref(row)), nullptr);
    }
}

TEST_F(PublishJournalTest, ABookThatWouldHaveGoneToTheWarehouseStaysUnknown) {
    // The goods query lists what is on sale only: a warehouse item is never found.
    ctx_.config().SetDirectSentP(false);
    const sim::Book& book = *books_[0];
    relay_.LoseNextAnswer(AnswerLosingRelay::Loss::Cut);
    Process(ctx_, Collect(ctx_, book));
    ASSERT_EQ(market_.Items().size(), 1u);
    ASSERT_FALSE(market_.Items()[0].onSale);
    const auto entry = ctx_.db().FindUnknownPublish(book.id);
    ASSERT_TRUE(entry.has_value());
    EXPECT_FALSE(entry->forSale);

    // The settings now say "for sale"; the entry remembers where the item went.
    ctx_.config().SetDirectSentP(true);
    EXPECT_EQ(U8(Process(ctx_, Collect(ctx_, book))), U8(kUnknownInWarehouse));
    EXPECT_EQ(Requests(kGoodsPath), 2u);  // the token page and the query
    EXPECT_EQ(Requests(kPublishPath), 1u);
    EXPECT_EQ(ShopCount(book.id), 1u);
    EXPECT_TRUE(ctx_.db().IsPublishUnknown(book.id));
}

TEST_F(PublishJournalTest, TheShopIsAskedWithTheCookieOfTheAccountThatPosted) {
    // Two accounts take turns; the second one's answer is lost.
    const std::string second = market_.CookieFor("second_shop");
    ctx_.session().AddAccount(second);
    const sim::Book& first = *books_[0];
    const sim::Book& lost = *books_[1];
    EXPECT_EQ(U8(Process(ctx_, Collect(ctx_, first))), U8("上传成功"));
    relay_.LoseNextAnswer(AnswerLosingRelay::Loss::Cut);
    Process(ctx_, Collect(ctx_, lost));
    ASSERT_EQ(market_.Items().size(), 2u);
    ASSERT_EQ(market_.Items()[1].nick, "second_shop");
    EXPECT_EQ(ctx_.db().FindUnknownPublish(lost.id)->nick, "second_shop");

    // The next copy comes round to the demo account, whose shop lacks the item.
    EXPECT_EQ(U8(Process(ctx_, Collect(ctx_, lost))), U8(kAlreadyPublished));
    EXPECT_EQ(ShopCount(lost.id), 1u);
    std::vector<std::string> cookies;
    for (const sim::HttpRequest& req : market_.server().Requests())
        if (req.path == kGoodsPath)
            cookies.push_back(req.Header("Cookie"));
    EXPECT_EQ(cookies, (std::vector<std::string>{second, second}));  // token page, query
}

TEST_F(PublishJournalTest, ACopyTakenByAnotherThreadWaitsForTheFirstOutcome) {
    // Two threads take the two copies at once; each step of the shop is slow enough for
    // the second to reach its checks while the first is still publishing.
    ctx_.session().AddAccount(market_.CookieFor(kDemoNick));
    sim::FaultSettings slow;
    slow.latencyMs = 60;
    market_.server().SetFaults(slow);
    const sim::Book& book = *books_[0];
    Collect(ctx_, book);
    Collect(ctx_, book);
    Collect(ctx_, *books_[1]);  // the last row is taken once another follows or the job ends
    ctx_.job().RunningListThreads = 0;
    StartPublishingThreads(ctx_, 2, false);
    auto done = [&](int row) {
        const std::string status = ctx_.collected().Cell(row, kMarketStateCol);
        return !status.empty() && status != "正在获取数据信息";
    };
    ASSERT_TRUE(testing::WaitUntil([&] { return done(0) && done(1); }));
    ctx_.panel().PressStop();
    ctx_.workers().JoinAll();

    std::vector<std::string> statuses = {ctx_.collected().Cell(0, kMarketStateCol),
                                         ctx_.collected().Cell(1, kMarketStateCol)};
    std::sort(statuses.begin(), statuses.end());
    EXPECT_EQ(U8(statuses[0]), U8("上传成功"));
    EXPECT_EQ(U8(statuses[1]), U8(kAlreadyPublished));
    EXPECT_EQ(ShopCount(book.id), 1u);
}

}  // namespace
}  // namespace vt
