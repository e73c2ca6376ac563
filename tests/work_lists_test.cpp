#include "core/work_lists.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "core/result_counters.h"

using namespace vt;

TEST(WorkLists, RowsCellsChecksAndClear) {
    ToCollectList list;
    std::vector<ListChange::Kind> seen;
    list.Subscribe([&](const ListChange& c) { seen.push_back(c.kind); });

    ToCollectRow row{};
    row[kMarkCol] = "23456789";
    row[kTitleCol] = "活着";
    EXPECT_EQ(list.Append(row), 0);
    EXPECT_EQ(list.Append(ToCollectRow{}), 1);
    EXPECT_EQ(list.Cell(0, kTitleCol), "活着");
    EXPECT_TRUE(list.SetCell(1, kStatusCol, "已经上传过"));
    EXPECT_FALSE(list.SetCell(5, kStatusCol, "x"));
    EXPECT_FALSE(list.SetCell(0, 12, "x"));
    EXPECT_EQ(list.Cell(9, 0), "");

    list.SetChecked(1, true);
    EXPECT_EQ(list.CheckedRows(), std::vector<int>{1});
    list.SetAllChecked(true);
    EXPECT_EQ(list.CheckedRows(), (std::vector<int>{0, 1}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(seen,
              (std::vector<ListChange::Kind>{ListChange::RowAppended, ListChange::RowAppended,
                                             ListChange::CellChanged, ListChange::CheckChanged,
                                             ListChange::AllCheckChanged, ListChange::Cleared}));
}

TEST(WorkLists, CollectedRowOwnsItsRecordBeyondAClear) {
    CollectedList list;
    auto book = std::make_unique<O_BookInfo>();
    book->BookName = "围城";
    int row = list.AppendWithRecord(CollectedRow{}, std::move(book));
    auto held = list.Record(row);
    ASSERT_NE(held, nullptr);
    list.Clear();
    EXPECT_EQ(list.Record(row), nullptr);
    EXPECT_EQ(held->BookName, "围城");  // a publishing thread that holds it keeps it
}

TEST(WorkLists, ConcurrentAppendsGetDistinctIndexes) {
    ToCollectList list;
    std::vector<std::thread> threads;
    std::vector<std::vector<int>> got(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) got[t].push_back(list.Append(ToCollectRow{}));
        });
    for (auto& th : threads) th.join();
    std::set<int> all;
    for (auto& v : got) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), 2000u);
    EXPECT_EQ(*all.rbegin(), 1999);
}

TEST(Counters, IncrementIsOneStepUnderManyThreads) {
    ResultCounters counters;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) counters.Increment(CounterBox::PendingFiltered);
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(counters.Text(CounterBox::PendingFiltered), "4000");
}

TEST(Counters, BoxesHoldTextAndTheLabelCanChange) {
    ResultCounters counters;
    EXPECT_EQ(counters.Text(CounterBox::Published), "");
    EXPECT_EQ(counters.Number(CounterBox::Published), 0);
    counters.SetText(CounterBox::Collecting, "小说");
    EXPECT_EQ(counters.Increment(CounterBox::Collecting), 1);  // a text counts as 0
    EXPECT_EQ(std::string(CounterCaption(CounterBox::ToCollect)), "待采集：");
    EXPECT_EQ(counters.CollectingLabel(), "正在采集：");
    counters.SetCollectingLabel("类目分析完成");
    EXPECT_EQ(counters.CollectingLabel(), "类目分析完成");
}
