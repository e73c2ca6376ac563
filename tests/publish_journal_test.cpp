// A publish whose answer is lost after the shop took the item: the book stays "unknown" in
// the account's product database until the shop has been asked, and is never posted twice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/context.h"
#include "core/databases.h"
#include "market/on_sale_check.h"
#include "sim/market_sim.h"
#include "support/market_stage.h"
#include "support/temp_app_dir.h"

using vt::testing::TempAppDir;
using vt::testing::U8;

namespace vt {
namespace {

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

}  // namespace
}  // namespace vt
