// One to-collect row through the detail stage, both variants, against the stand-in
// bookstore: every drop reason with its status text and counter, nothing else written,
// and a passing book in the collected list with its record.
#include "detail/process_book.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/hosts.h"
#include "core/context.h"
#include "detail/book_filters.h"
#include "detail/collected_append.h"
#include "detail/description.h"
#include "sim/bookstore_sim.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::U8;
using Trait = vt::sim::Trait;

namespace {

struct DropCase {
    const char* name;
    // Prepares the context and returns the row and the status it should end with.
    std::function<std::pair<int, std::string>()> arrange;
    CounterBox counted;
};

class ProcessBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store_.Start("127.0.0.1", 0));
        ctx_.hosts().Set(HostRole::SourceProduct, store_.origin());
        ASSERT_FALSE(LoadDescriptionTemplate(ctx_).empty());
        ASSERT_TRUE(ctx_.db().OpenProductDb("tester"));
        RebuildFilterWords(ctx_);
    }

    const sim::Book& With(Trait trait) const {
        const sim::Book* b = store_.catalog().FirstWith(trait);
        EXPECT_NE(b, nullptr) << sim::TraitName(trait);
        return b ? *b : Plain();
    }
    const sim::Book& Plain() const { return *store_.catalog().FirstPlain(); }

    // The row a list page gives for the book.
    int RowFor(const sim::Book& b) {
        return ctx_.toCollect().Append(ToCollectRow{b.id, "1", b.title, b.listPrice, b.salePrice,
                                                    "", b.author, b.publisher, b.date});
    }
    void Forbid(const std::string& box) {
        ctx_.config().SetForbiddenBooksText(box);
        RebuildFilterWords(ctx_);
    }
    // The catalogue's forbidden word inside the text.
    static std::string SampleWordIn(const std::string& text) {
        for (const auto& w : sim::ForbiddenWordSamples())
            if (text.find(w) != std::string::npos)
                return w;
        return "none";
    }
    // Checks the drop: status, one count in the named box only, no collected row.
    void ExpectDropped(bool passed, int row, const std::string& status, CounterBox counted) {
        EXPECT_FALSE(passed);
        EXPECT_EQ(U8(ctx_.toCollect().Cell(row, kStatusCol)), U8(status));
        const CounterBox other = counted == CounterBox::PendingFiltered
                                     ? CounterBox::CollectedFiltered
                                     : CounterBox::PendingFiltered;
        EXPECT_EQ(ctx_.counters().Number(counted) - before_[counted == CounterBox::PendingFiltered],
                  1);
        EXPECT_EQ(ctx_.counters().Number(other) - before_[other == CounterBox::PendingFiltered], 0);
        EXPECT_EQ(ctx_.collected().Count(), 0);
    }
    void Remember() {
        before_[0] = ctx_.counters().Number(CounterBox::CollectedFiltered);
        before_[1] = ctx_.counters().Number(CounterBox::PendingFiltered);
    }

    // Runs each case on a fresh to-collect list with default settings.
    void RunDrops(const std::vector<DropCase>& cases, bool (*process)(AppContext&, RowRef)) {
        const auto shipped = ctx_.descriptionTemplate().Text();
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            ctx_.toCollect().Clear();
            ctx_.config().SetCheckStock(false);
            ctx_.config().SetRegions({});
            ctx_.config().SetPriceRangeFrom("");
            ctx_.config().SetPriceRangeTo("");
            Forbid("");
            ctx_.descriptionTemplate().Set(*shipped);
            const auto [row, status] = c.arrange();
            Remember();
            ExpectDropped(process(ctx_, row), row, status, c.counted);
        }
    }

    sim::BookstoreSim store_;
    vt::testing::TempAppDir dir_;
    AppContext ctx_{dir_.path()};
    long before_[2] = {0, 0};  // CollectedFiltered, PendingFiltered
};

TEST_F(ProcessBookTest, RowVariantDropReasons) {
    const sim::Book& plain = Plain();
    const sim::Book& outOfStock = With(Trait::RegionOutOfStock);
    const std::vector<DropCase> cases = {
        {"no id",
         [&] {
             ToCollectRow r{"", "1", plain.title, plain.listPrice, plain.salePrice};
             return std::pair{ctx_.toCollect().Append(r), std::string("标志为空")};
         },
         CounterBox::CollectedFiltered},
        {"already published: no status",
         [&] {
             // A book of its own: the record stays for the later cases.
             const sim::Book& b = With(Trait::NotSelfRun);
             ctx_.db().RecordPublished(b.id, "tb1");
             ToCollectRow r{" " + b.id + " ", "1", b.title, b.listPrice, b.salePrice};
             return std::pair{ctx_.toCollect().Append(r), std::string()};
         },
         CounterBox::PendingFiltered},
        {"out of stock in a region: the query's status",
         [&] {
             ctx_.config().SetCheckStock(true);
             ctx_.config().SetStockRule(kAnyRegionOutMeansOut);
             ctx_.config().SetRegions({Region{outOfStock.outOfStockProvinces.front(), "x", true}});
             return std::pair{RowFor(outOfStock), outOfStock.id + "：缺货"};
         },
         CounterBox::CollectedFiltered},
        {"out of stock everywhere asked, one-in rule: no status",
         [&] {
             ctx_.config().SetCheckStock(true);
             ctx_.config().SetStockRule(kOneRegionInMeansIn);
             ctx_.config().SetRegions({Region{outOfStock.outOfStockProvinces.front(), "x", true}});
             return std::pair{RowFor(outOfStock), std::string()};
         },
         CounterBox::CollectedFiltered},
        {"no title",
         [&] {
             ToCollectRow r{plain.id, "1", "", plain.listPrice, plain.salePrice};
             return std::pair{ctx_.toCollect().Append(r), std::string("书名为空")};
         },
         CounterBox::CollectedFiltered},
        {"no site price",
         [&] {
             ToCollectRow r{plain.id, "1", plain.title, plain.listPrice, ""};
             return std::pair{ctx_.toCollect().Append(r), std::string("售价为空")};
         },
         CounterBox::CollectedFiltered},
        {"forbidden word in the title",
         [&] {
             const sim::Book& b = With(Trait::ForbiddenInTitle);
             const std::string word = SampleWordIn(b.title);
             Forbid("无关词," + word);
             return std::pair{RowFor(b), "过滤：" + word};
         },
         CounterBox::CollectedFiltered},
        {"no ISBN on the page",
         [&] {
             return std::pair{RowFor(With(Trait::NoIsbn)), std::string("ISBN为空")};
         },
         CounterBox::CollectedFiltered},
        {"forbidden ISBN",
         [&] {
             Forbid(plain.isbn);
             return std::pair{RowFor(plain), "过滤：" + plain.isbn};
         },
         CounterBox::CollectedFiltered},
        {"forbidden word in the author",
         [&] {
             const sim::Book& b = With(Trait::ForbiddenInAuthor);
             const std::string word = SampleWordIn(b.author);
             Forbid(word);
             return std::pair{RowFor(b), "过滤：" + word};
         },
         CounterBox::CollectedFiltered},
        {"empty description",
         [&] {
             ctx_.descriptionTemplate().Set("");
             return std::pair{RowFor(plain), std::string("内容为空")};
         },
         CounterBox::CollectedFiltered},
        {"no main picture",
         [&] {
             return std::pair{RowFor(With(Trait::NoPicture)), std::string("主图为空")};
         },
         CounterBox::CollectedFiltered},
    };
    RunDrops(cases, &ProcessBookFromRow);
}

TEST_F(ProcessBookTest, PageVariantDropReasons) {
    const sim::Book& plain = Plain();
    const sim::Book& outOfStock = With(Trait::RegionOutOfStock);
    auto idRow = [&](const sim::Book& b) { return ctx_.toCollect().Append(ToCollectRow{b.id}); };
    const std::vector<DropCase> cases = {
        {"already published: no status",
         [&] {
             ctx_.db().RecordPublished(With(Trait::TwoIsbn).id, "tb1");
             return std::pair{idRow(With(Trait::TwoIsbn)), std::string()};
         },
         CounterBox::PendingFiltered},
        {"no list price",
         [&] {
             return std::pair{idRow(With(Trait::NoListPrice)), std::string("定价为空")};
         },
         CounterBox::PendingFiltered},
        {"no sale price",
         [&] {
             return std::pair{idRow(With(Trait::NoSalePrice)), std::string("售价为空")};
         },
         CounterBox::PendingFiltered},
        {"list price below the range",
         [&] {
             ctx_.config().SetPriceRangeBasis(kListPrice);
             ctx_.config().SetPriceRangeFrom(std::to_string(LeadingInteger(plain.listPrice) + 1));
             return std::pair{idRow(plain), std::string("价格不在设置的价格区间")};
         },
         CounterBox::PendingFiltered},
        {"sale price above the range",
         [&] {
             ctx_.config().SetPriceRangeBasis(kSalePrice);
             ctx_.config().SetPriceRangeTo(std::to_string(LeadingInteger(plain.salePrice) - 1));
             return std::pair{idRow(plain), std::string("价格不在设置的价格区间")};
         },
         CounterBox::PendingFiltered},
        {"out of stock: the query's status is replaced",
         [&] {
             ctx_.config().SetCheckStock(true);
             ctx_.config().SetStockRule(kAnyRegionOutMeansOut);
             ctx_.config().SetRegions({Region{outOfStock.outOfStockProvinces.front(), "x", true}});
             return std::pair{idRow(outOfStock), std::string("无货")};
         },
         CounterBox::CollectedFiltered},
        {"forbidden word in the title",
         [&] {
             const sim::Book& b = With(Trait::ForbiddenInTitle);
             Forbid("无关词," + SampleWordIn(b.title));
             return std::pair{idRow(b), std::string("有违禁词")};
         },
         CounterBox::CollectedFiltered},
        {"no ISBN",
         [&] {
             return std::pair{idRow(With(Trait::NoIsbn)), std::string("ISBN为空")};
         },
         CounterBox::CollectedFiltered},
        {"forbidden ISBN",
         [&] {
             Forbid(plain.isbn);
             return std::pair{idRow(plain), std::string("有禁止销售的ISBN")};
         },
         CounterBox::CollectedFiltered},
        {"forbidden word in the author",
         [&] {
             const sim::Book& b = With(Trait::ForbiddenInAuthor);
             Forbid(SampleWordIn(b.author));
             return std::pair{idRow(b), std::string("作者在禁止销售列表内")};
         },
         CounterBox::CollectedFiltered},
        {"empty description",
         [&] {
             ctx_.descriptionTemplate().Set("");
             return std::pair{idRow(plain), std::string("图书内容为空")};
         },
         CounterBox::CollectedFiltered},
        {"no main picture",
         [&] {
             return std::pair{idRow(With(Trait::NoPicture)), std::string("主图为空")};
         },
         CounterBox::CollectedFiltered},
    };
    RunDrops(cases, &ProcessBookFromPage);
}

TEST_F(ProcessBookTest, PageVariantSkipsThePublishedWithoutFetchingAndNamesAPageItCouldNotRead) {
    const sim::Book& b = Plain();
    ctx_.db().RecordPublished(b.id, "tb1");
    const int published = ctx_.toCollect().Append(ToCollectRow{"  " + b.id + "\t"});
    EXPECT_FALSE(ProcessBookFromPage(ctx_, published));
    EXPECT_EQ(store_.server().RequestCount(), 0u);
    EXPECT_EQ(ctx_.counters().Number(CounterBox::PendingFiltered), 1);

    store_.Stop();
    const int unreachable = ctx_.toCollect().Append(ToCollectRow{With(Trait::TwoIsbn).id});
    EXPECT_FALSE(ProcessBookFromPage(ctx_, unreachable));
    // The network's fault, said as such and counted in no filter box.
    EXPECT_EQ(U8(ctx_.toCollect().Cell(unreachable, kStatusCol))
                  .rfind(U8("页面读取失败：网络连接失败"), 0),
              0u)
        << U8(ctx_.toCollect().Cell(unreachable, kStatusCol));
    EXPECT_EQ(ctx_.counters().Number(CounterBox::PendingFiltered), 1);
    EXPECT_EQ(ctx_.counters().Text(CounterBox::CollectedFiltered), "");
    EXPECT_EQ(ctx_.collected().Count(), 0);
}

TEST_F(ProcessBookTest, PassingBooksGoToTheCollectedListWithTheirRecords) {
    const sim::Book& b = With(Trait::TwoIsbn);
    ctx_.job().CollectedNumber = 41;  // numbers keep rising from job to job

    // The row variant takes the list's columns; a blank around the mark is only trimmed
    // where the mark is looked up.
    ToCollectRow cells{" " + b.id, "7",        "列表书名",   "99.00",     "66.00",
                       "",         "列表作者", "列表出版社", "2001-01-01"};
    const int row = ctx_.toCollect().Append(cells);
    ASSERT_TRUE(ProcessBookFromRow(ctx_, row));
    // The page variant reads everything from the page.
    const int pageRow = ctx_.toCollect().Append(ToCollectRow{b.id + " "});
    ASSERT_TRUE(ProcessBookFromPage(ctx_, pageRow));

    ASSERT_EQ(ctx_.collected().Count(), 2);
    EXPECT_EQ(ctx_.job().CollectedNumber, 43);
    EXPECT_EQ(ctx_.toCollect().Cell(row, kStatusCol), "");
    EXPECT_EQ(ctx_.toCollect().Cell(pageRow, kStatusCol), "");
    EXPECT_EQ(ctx_.counters().Text(CounterBox::CollectedFiltered), "");
    EXPECT_EQ(ctx_.counters().Text(CounterBox::PendingFiltered), "");

    const auto fromRow = ctx_.collected().Record(0);
    ASSERT_NE(fromRow, nullptr);
    EXPECT_EQ(ctx_.collected().RowAt(0), (CollectedRow{"41", b.id, "列表书名"}));
    EXPECT_EQ(fromRow->BookName, "列表书名");
    EXPECT_EQ(fromRow->Author, "列表作者");
    EXPECT_EQ(fromRow->PressName, "列表出版社");
    EXPECT_EQ(fromRow->PressDate, "2001-01-01");
    EXPECT_EQ(fromRow->MarketPrice, "99.00");
    EXPECT_EQ(fromRow->SellPrice, "66.00");
    EXPECT_EQ(fromRow->OuterCode, b.id);  // trimmed by the mobile description
    EXPECT_EQ(fromRow->ProductId, " " + b.id);
    EXPECT_EQ(fromRow->CanBuy, !b.Has(Trait::NoBuyButton));

    const auto fromPage = ctx_.collected().Record(1);
    ASSERT_NE(fromPage, nullptr);
    EXPECT_EQ(ctx_.collected().RowAt(1), (CollectedRow{"42", b.id, b.title}));
    EXPECT_EQ(fromPage->BookName, b.title);
    EXPECT_EQ(fromPage->MarketPrice, b.listPrice);
    EXPECT_EQ(fromPage->SellPrice, b.salePrice);
    EXPECT_EQ(fromPage->PressDate, b.date);
    EXPECT_TRUE(fromPage->CanBuy);
    EXPECT_EQ(fromPage->ProductId, b.id);

    for (const auto& rec : {fromRow, fromPage}) {
        EXPECT_EQ(rec->ISBN, b.isbn + "\r\n" + b.secondIsbn);
        EXPECT_EQ(rec->RemoteImageUrl, store_.origin() + b.picture);
        EXPECT_FALSE(rec->HeadTitle.empty());
        EXPECT_FALSE(rec->Abstract.empty());
        EXPECT_NE(rec->Description.find(rec->BookName), std::string::npos);
        EXPECT_NE(rec->Description.find(b.isbn), std::string::npos);
        EXPECT_NE(rec->MobileDescription.find("商品标识：" + b.id + "\""), std::string::npos);
        EXPECT_EQ(rec->LocalImageFileName, "");
    }
}

TEST_F(ProcessBookTest, PageVariantPriceRangeKeepsBooksOnTheBounds) {
    const sim::Book& b = Plain();
    const long price = LeadingInteger(b.listPrice);
    ctx_.config().SetPriceRangeBasis(kListPrice);
    ctx_.config().SetPriceRangeFrom(std::to_string(price));
    ctx_.config().SetPriceRangeTo(std::to_string(price));
    EXPECT_TRUE(ProcessBookFromPage(ctx_, ctx_.toCollect().Append(ToCollectRow{b.id})));
}

TEST(AddCollectedTest, ABusyRowLockDelaysTheBookButNeverLosesIt) {
    vt::testing::TempAppDir dir;
    AppContext ctx(dir.path());
    // Another appender holds the lock for longer than one bounded wait.
    std::promise<void> locked;
    std::thread holder([&] {
        std::lock_guard<std::timed_mutex> held(ctx.job().RowInsertLock);
        locked.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(kRowInsertWaitMs + 300));
    });
    locked.get_future().wait();
    auto book = std::make_unique<O_BookInfo>();
    book->OuterCode = "123";
    book->BookName = "书";
    const int row = AddCollected(ctx, std::move(book));
    holder.join();
    EXPECT_EQ(row, 0);
    EXPECT_EQ(ctx.collected().RowAt(0), (CollectedRow{"0", "123", "书"}));
    ASSERT_NE(ctx.collected().Record(0), nullptr);
    EXPECT_EQ(ctx.job().CollectedNumber, 1);
}

}  // namespace
