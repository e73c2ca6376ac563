// The forbidden-word test, the "过滤：" counters, the job's word lists and the price range.
#include "detail/book_filters.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/context.h"
#include "support/temp_app_dir.h"

using namespace vt;

namespace {

class BookFiltersTest : public ::testing::Test {
protected:
    void SetUp() override { row_ = ctx_.toCollect().Append(ToCollectRow{"1001"}); }

    void Forbid(const std::string& box) {
        ctx_.config().SetForbiddenBooksText(box);
        RebuildFilterWords(ctx_);
    }
    std::string Status() { return ctx_.toCollect().Cell(row_, kStatusCol); }

    vt::testing::TempAppDir dir_;
    AppContext ctx_{dir_.path()};
    int row_ = -1;
};

TEST_F(BookFiltersTest, WordListsAreCutFromTheirOwnBoxes) {
    struct Case {
        std::string box;
        WordList words;
    };
    const std::vector<Case> cases = {
        {"", {""}},
        {"abc,,def,", {"abc", "def"}},
        {",盗版, 影印 ,", {"盗版", " 影印 "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        ctx_.config().SetForbiddenBooksText(c.box);
        ctx_.config().SetForbiddenWordsText("屏蔽," + c.box);
        RebuildFilterWords(ctx_);
        EXPECT_EQ(*ctx_.filterWords().ForbiddenWords(), c.words);
        EXPECT_EQ(ctx_.filterWords().FilterWords()->front(), "屏蔽");
    }
}

TEST_F(BookFiltersTest, ForbiddenTextNamesTheFirstListedWordThatOccurs) {
    Forbid("盗版,影印,ABC");
    struct Case {
        const char* name;
        std::string text;
        bool forbidden;
        std::string status;
    };
    const std::vector<Case> cases = {
        {"second word", "一本影印的书", true, "过滤：影印"},
        {"list order, not text order", "影印盗版", true, "过滤：盗版"},
        {"case matters", "abc", false, ""},
        // "癆" is 0xB0 'A': its second byte followed by "BC" is not the word.
        {"no match across a character",
         "\xB0"
         "ABC",
         false, ""},
        {"whole word at a character start",
         "\xB0"
         "AABC",
         true, "过滤：ABC"},
        {"nothing", "算法导论", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ctx_.toCollect().SetCell(row_, kStatusCol, "");
        EXPECT_EQ(IsForbiddenText(ctx_, c.text, row_), c.forbidden);
        EXPECT_EQ(Status(), c.status);
    }
}

TEST_F(BookFiltersTest, EmptyBoxForbidsNothingAndLeavesTheStatus) {
    Forbid("");
    ctx_.toCollect().SetCell(row_, kStatusCol, "earlier");
    EXPECT_FALSE(CountIfForbidden(ctx_, "任何书名", CounterBox::PendingFiltered, row_));
    EXPECT_EQ(Status(), "earlier");
    EXPECT_EQ(ctx_.counters().Text(CounterBox::PendingFiltered), "");
}

TEST_F(BookFiltersTest, CountingFromManyThreadsLosesNoCountAndShowsEachValueOnce) {
    Forbid("禁");
    std::mutex shownMutex;
    std::multiset<std::string> shown;
    ctx_.counters().Subscribe([&](const CounterChange& change) {
        if (change.box == CounterBox::CollectedFiltered) {
            std::lock_guard<std::mutex> lock(shownMutex);
            shown.insert(change.text);
        }
    });
    constexpr int kThreads = 8, kEach = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i)
                EXPECT_TRUE(CountIfForbidden(ctx_, "禁书", CounterBox::CollectedFiltered, row_));
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(ctx_.counters().Number(CounterBox::CollectedFiltered), kThreads * kEach);
    EXPECT_EQ(ctx_.counters().Text(CounterBox::PendingFiltered), "");
    ASSERT_EQ(shown.size(), std::size_t{kThreads * kEach});
    for (int v = 1; v <= kThreads * kEach; ++v) EXPECT_EQ(shown.count(std::to_string(v)), 1u) << v;
}

TEST(PriceRangeTest, LeadingInteger) {
    const std::vector<std::pair<std::string, long>> cases = {
        {"29.80", 29},
        {"  50.99", 50},
        {"-5x", -5},
        {"+7", 7},
        {"\t12", 12},
        {"￥30", 0},
        {"", 0},
        {"abc", 0},
        {"99999999999999999999999", LONG_MAX},
        {"-99999999999999999999999", LONG_MIN},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(LeadingInteger(text), value) << text;
}

TEST(PriceRangeTest, BoundsAreInclusiveAndMayBeEmpty) {
    struct Case {
        const char* price;
        const char* from;
        const char* to;
        bool inRange;
    };
    const std::vector<Case> cases = {
        {"29.90", "30", "50", false}, {"30.00", "30", "50", true}, {"50.99", "30", "50", true},
        {"51", "30", "50", false},    {"120", "30", "", true},     {"29", "30", "", false},
        {"0.50", "", "", true},       {"", "", "", true},          {"", "1", "", false},
        {"8", "", "7.9", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PriceInRange(c.price, c.from, c.to), c.inRange)
            << c.price << " in [" << c.from << ", " << c.to << "]";
}

}  // namespace
