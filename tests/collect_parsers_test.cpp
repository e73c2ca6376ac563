// The list-page parsers: what becomes a to-collect row, what is dropped and counted, and
// the title cleanup, on pages made by the stand-in bookstore's own page builder.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <thread>

#include "base/hosts.h"
#include "collect/list_parsers.h"
#include "core/context.h"
#include "detail/book_filters.h"
#include "sim/bookstore_pages.h"
#include "sim/catalog.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::TempAppDir;
using vt::testing::U8;

namespace {

const char kOrigin[] = "http://127.0.0.1:9";  // never contacted: pages are made locally

sim::Book PlainBook(const std::string& id) {
    sim::Book b;
    b.id = id;
    b.title = "深入理解计算机系统";
    b.author = "兰德尔";
    b.publisher = "机械工业出版社";
    b.listPrice = "139.00";
    b.salePrice = "98.50";
    b.date = "2016-11-01";
    b.picture = "/images/" + id + "-1_w_1.jpg";
    return b;
}

// A fresh installed tree and context whose product host is the pages' origin. The
// "filter collected data" box is ticked so the list stage asks no stock question.
struct Parsing {
    TempAppDir dir;
    AppContext ctx{dir.path()};
    Parsing() {
        ctx.hosts().Set(HostRole::SourceProduct, kOrigin);
        ctx.config().SetCHKFiltData(true);
    }
    long Filtered() { return ctx.counters().Number(CounterBox::PendingFiltered); }
    void Search(const std::vector<sim::Book>& books) {
        std::vector<const sim::Book*> items;
        for (const auto& b : books) items.push_back(&b);
        ParseSearchPage(ctx, sim::SearchPage(kOrigin, "k", items, 1, 1));
    }
    void Category(const std::vector<sim::Book>& books) {
        std::vector<const sim::Book*> items;
        for (const auto& b : books) items.push_back(&b);
        sim::Category cat{"01.05.00.00.00.00", "文学", {}};
        ParseCategoryPage(ctx, sim::CategoryPage(kOrigin, cat, 2, items, 1, 1, nullptr));
    }
};

}  // namespace

TEST(TitleCleanup, BracketsAreRemovedOnWholeCharacters) {
    struct Case {
        std::string title;
        bool cutLast;
        std::string expected;
    } cases[] = {
        {"Data Basics(2nd)(Teacher Edition)", false, "Data Basics"},
        {"Data Basics(2nd)(Teacher Edition)", true, "Data Basics(2nd)"},
        // Five bytes inside: too short. Read by bytes, the closing bracket's first byte
        // would have ended the match and left half a character behind.
        {"算法导论（第3版）", false, "算法导论（第3版）"},
        {"算法导论（第3版）", true, "算法导论（第3版）"},
        {"算法导论（第三版）", false, "算法导论"},
        {"Go语言（第2版）（修订本）", false, "Go语言"},
        {"红楼梦（上）", false, "红楼梦（上）"},
        {"民法(第2版)(教师用书)", true, "民法(第2版)"},
        {"围城（插图珍藏版）再版", false, "围城再版"},
        {"没有括号", true, "没有括号"},
        {"未闭合（第一第二第三", false, "未闭合（第一第二第三"},
    };
    for (const auto& c : cases) {
        std::string title = c.cutLast ? CutAtLastBracket(c.title) : c.title;
        EXPECT_EQ(U8(RemoveTitleBrackets(title)), U8(c.expected))
            << U8(c.title) << " cut last: " << c.cutLast;
    }
}

TEST(SearchLayout, RowsTakeTheListFieldsAndTheNextRunningNumbers) {
    Parsing p;
    sim::Book a = PlainBook("23001001"), b = PlainBook("23001002");
    b.title = "算法导论（第3版）";
    p.Search({a, b});

    ASSERT_EQ(p.ctx.toCollect().Count(), 2);
    const ToCollectRow row = p.ctx.toCollect().RowAt(0);
    const ToCollectRow expected = {
        "23001001", "1",      "深入理解计算机系统", "139.00",     "98.50",
        "",         "兰德尔", "机械工业出版社",     "2016-11-01", "",
        "",         ""};
    EXPECT_EQ(row, expected);
    EXPECT_EQ(U8(p.ctx.toCollect().Cell(1, kTitleCol)), U8("算法导论（第3版）"));
    EXPECT_EQ(p.ctx.toCollect().Cell(1, kNumberCol), "2");
    EXPECT_EQ(p.ctx.counters().Text(CounterBox::ToCollect), "2");
    EXPECT_EQ(p.Filtered(), 0);
}

TEST(SearchLayout, DropsAndCounts) {
    struct Case {
        const char* what;
        std::function<void(sim::Book&)> change;
        std::function<void(AppContext&)> settings;
        bool appended;
        long counted;
    } cases[] = {
        {"no publish date", [](sim::Book& b) { b.date.clear(); }, nullptr, false, 1},
        {"no date, no author, no list price: counted once",
         [](sim::Book& b) {
             b.date.clear();
             b.author.clear();
             b.listPrice.clear();
         },
         nullptr, false, 1},
        {"forbidden word in the title: counted, kept",
         [](sim::Book& b) { b.title = "样书深入理解"; },
         [](AppContext& c) {
             c.config().SetForbiddenBooksText("样书,非卖品");
             RebuildFilterWords(c);
         },
         true, 1},
        {"not sold by the store, own-goods setting on: skipped, not counted",
         [](sim::Book& b) { b.selfRun = false; },
         [](AppContext& c) { c.config().SetVantrellZiShouP(true); }, false, 0},
        {"not sold by the store, setting off", [](sim::Book& b) { b.selfRun = false; }, nullptr,
         true, 0},
        {"already published", nullptr,
         [](AppContext& c) {
             c.db().OpenProductDb("shop");
             c.db().RecordPublished("23001001", "1");
         },
         false, 1},
    };
    for (const auto& c : cases) {
        Parsing p;
        sim::Book b = PlainBook("23001001");
        if (c.change)
            c.change(b);
        if (c.settings)
            c.settings(p.ctx);
        p.Search({b});
        EXPECT_EQ(p.ctx.toCollect().Count(), c.appended ? 1 : 0) << c.what;
        EXPECT_EQ(p.Filtered(), c.counted) << c.what;
    }
}

TEST(SearchLayout, LastBracketSettingCutsTheRowTitle) {
    Parsing p;
    p.ctx.config().SetRemoveLastKuoHaoP(true);
    sim::Book b = PlainBook("23001003");
    b.title = "Data Basics(2nd)(Teacher Edition)";
    p.Search({b});
    ASSERT_EQ(p.ctx.toCollect().Count(), 1);
    EXPECT_EQ(p.ctx.toCollect().Cell(0, kTitleCol), "Data Basics(2nd)");
}

// A zero byte in a list item reaches no cell, and does not hide a forbidden word.
TEST(SearchLayout, ZeroBytesOfThePageNeverReachARow) {
    Parsing p;
    p.ctx.config().SetForbiddenBooksText("样书");
    RebuildFilterWords(p.ctx);
    sim::Book b = PlainBook("23001004");
    b.title = "样|书深入理解";
    b.author = "兰|德尔";
    const sim::Book* items[] = {&b};
    std::string page = sim::SearchPage(kOrigin, "k", {items[0]}, 1, 1);
    std::replace(page.begin(), page.end(), '|', '\0');
    ParseSearchPage(p.ctx, page);

    ASSERT_EQ(p.ctx.toCollect().Count(), 1);
    EXPECT_EQ(U8(p.ctx.toCollect().Cell(0, kTitleCol)), U8("样书深入理解"));
    EXPECT_EQ(U8(p.ctx.toCollect().Cell(0, kAuthorCol)), U8("兰德尔"));
    EXPECT_EQ(p.Filtered(), 1);  // the forbidden word, counted as without the zero byte
}

TEST(CategoryLayout, PriceRangeOwnGoodsAndPublisher) {
    struct Case {
        const char* what;
        int basis;
        const char* from;
        const char* to;
        std::function<void(sim::Book&)> change;
        bool appended;
        long counted;
    } cases[] = {
        {"9.90 below 10", kSalePrice, "10", "", [](sim::Book& b) { b.salePrice = "9.90"; }, false,
         1},
        {"no range", kSalePrice, "", "", [](sim::Book& b) { b.salePrice = "0.50"; }, true, 0},
        {"25.80 counts as 25", kListPrice, "25", "25", [](sim::Book& b) { b.listPrice = "25.80"; },
         true, 0},
        {"above the top", kListPrice, "", "100", nullptr, false, 1},
        {"not the store's own: skipped, not counted", kSalePrice, "", "",
         [](sim::Book& b) { b.selfRun = false; }, false, 0},
        {"no author", kSalePrice, "", "", [](sim::Book& b) { b.author.clear(); }, false, 1},
        {"forbidden publisher", kSalePrice, "", "",
         [](sim::Book& b) { b.publisher = "盗版出版社"; }, false, 1},
    };
    for (const auto& c : cases) {
        Parsing p;
        p.ctx.config().SetPriceRangeBasis(c.basis);
        p.ctx.config().SetPriceRangeFrom(c.from);
        p.ctx.config().SetPriceRangeTo(c.to);
        p.ctx.db().OpenFilterDb();
        p.ctx.db().ReplaceList(ListTable::ForbidCBS, "盗版出版社");
        sim::Book b = PlainBook("23002001");
        if (c.change)
            c.change(b);
        p.Category({b});
        EXPECT_EQ(p.ctx.toCollect().Count(), c.appended ? 1 : 0) << c.what;
        EXPECT_EQ(p.Filtered(), c.counted) << c.what;
    }
}

TEST(PromoLayout, EveryListedIdentifierUnlessPublished) {
    Parsing p;
    p.ctx.db().OpenProductDb("shop");
    p.ctx.db().RecordPublished("30000003", "1");
    std::vector<sim::Book> books = {PlainBook("30000001"), PlainBook("30000002"),
                                    PlainBook("30000001"), PlainBook("30000003")};
    std::vector<const sim::Book*> items;
    for (const auto& b : books) items.push_back(&b);
    sim::Promotion promo{"/subject/1001.html", "活动", {}};
    ParsePromoPage(p.ctx, sim::PromotionPage(kOrigin, promo, items, 1, 1));

    ASSERT_EQ(p.ctx.toCollect().Count(), 3);
    ToCollectRow only{};
    only[kMarkCol] = "30000001";
    EXPECT_EQ(p.ctx.toCollect().RowAt(0), only);
    EXPECT_EQ(p.ctx.toCollect().Cell(1, kMarkCol), "30000002");
    EXPECT_EQ(p.ctx.toCollect().Cell(2, kMarkCol), "30000001");
    EXPECT_EQ(p.ctx.job().RunningNumber, 3);
    EXPECT_EQ(p.Filtered(), 0);
}

TEST(RowAppend, ConcurrentAppendsGetDistinctConsecutiveNumbers) {
    Parsing p;
    p.ctx.job().RunningNumber = 40;  // numbers go on from the previous job
    constexpr int kThreads = 4, kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&p, t] {
            for (int i = 0; i < kEach; ++i) {
                ToCollectRow row{};
                row[kMarkCol] = std::to_string(t * 1000 + i);
                AppendListRow(p.ctx, row, 1);
            }
        });
    for (auto& t : threads) t.join();

    const int n = p.ctx.toCollect().Count();
    ASSERT_EQ(n, kThreads * kEach);
    std::set<std::string> marks;
    for (int i = 0; i < n; ++i) {
        // Rows stand in the order their numbers were given.
        EXPECT_EQ(p.ctx.toCollect().Cell(i, kNumberCol), std::to_string(41 + i));
        marks.insert(p.ctx.toCollect().Cell(i, kMarkCol));
    }
    EXPECT_EQ(marks.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(p.ctx.job().RowCounter, n);
    EXPECT_EQ(p.ctx.counters().Text(CounterBox::ToCollect), std::to_string(n));
}

TEST(ListPages, EitherTextMeansNoProducts) {
    EXPECT_TRUE(ReportsNoProducts("<p>抱歉，没有找到相关的商品</p>"));
    EXPECT_TRUE(ReportsNoProducts("筛选条件太多了，没有找到相关商品"));
    EXPECT_FALSE(ReportsNoProducts(""));
    EXPECT_FALSE(ReportsNoProducts("<li class=\"line1\">没有找到</li>"));
}
