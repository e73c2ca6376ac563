#include "core/work_lists.h"

#include <gtest/gtest.h>

#include <atomic>
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

// A worker took row 0, then the list was cleared and refilled: its write is dropped, never
// applied to the new row 0, which is another book.
TEST(WorkLists, AWriteForAClearedRowNeverLandsOnTheNextRowWithItsIndex) {
    ToCollectList list;
    ToCollectRow first{};
    first[kMarkCol] = "book-a";
    list.Append(first);
    const RowRef taken = list.Ref(0);
    EXPECT_TRUE(list.Holds(taken));
    EXPECT_EQ(list.Ref(1).index, -1);  // no such row

    list.Clear();
    ToCollectRow second{};
    second[kMarkCol] = "book-b";
    list.Append(second);
    EXPECT_FALSE(list.Holds(taken));
    EXPECT_FALSE(list.SetCell(taken, kStatusCol, "上传成功"));
    list.SetChecked(taken, true);
    EXPECT_EQ(list.Cell(taken, kMarkCol), "");
    EXPECT_EQ(list.RowAt(taken), ToCollectRow{});
    EXPECT_EQ(list.Cell(0, kStatusCol), "");
    EXPECT_FALSE(list.Checked(0));
    // The new row, taken now, is written as before; an index alone names the row it has now.
    EXPECT_TRUE(list.SetCell(list.Ref(0), kStatusCol, "ok"));
    EXPECT_EQ(list.Cell(0, kStatusCol), "ok");

    CollectedList collected;
    collected.AppendWithRecord(CollectedRow{}, std::make_unique<O_BookInfo>());
    const RowRef publishing = collected.Ref(0);
    const auto record = collected.Record(publishing);
    collected.Clear();
    collected.AppendWithRecord(CollectedRow{}, std::make_unique<O_BookInfo>());
    EXPECT_EQ(collected.Record(publishing), nullptr);
    collected.ReleaseRecord(publishing, record.get());
    EXPECT_NE(collected.Record(0), nullptr);
}

// A view that applies ChangesSince on every notice equals the list, whatever order the
// notices of several threads arrive in.
TEST(WorkLists, ChangesSinceBringsAViewUpToTheList) {
    ToCollectList list;
    using Changes = ToCollectList::Changes;
    std::vector<ToCollectList::RowState> view;
    std::uint64_t generation = 0, stamp = 0;
    auto sync = [&] {
        Changes c = list.ChangesSince(generation, stamp);
        if (c.reset)
            view.clear();
        view.resize(static_cast<std::size_t>(c.count));
        for (auto& [index, state] : c.rows) view[static_cast<std::size_t>(index)] = state;
        generation = c.generation;
        stamp = c.stamp;
        return c;
    };
    EXPECT_TRUE(sync().reset);  // the first look takes every row
    ToCollectRow row{};
    row[kMarkCol] = "1";
    list.Append(row);
    row[kMarkCol] = "2";
    list.Append(row);
    Changes c = sync();
    EXPECT_FALSE(c.reset);
    EXPECT_EQ(c.rows.size(), 2u);
    list.SetCell(1, kTitleCol, "活着");
    list.SetChecked(0, true);
    c = sync();
    EXPECT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(view[1].cells[kTitleCol], "活着");
    EXPECT_TRUE(view[0].checked);
    EXPECT_TRUE(sync().rows.empty());  // nothing changed since

    list.Clear();
    row[kMarkCol] = "3";
    list.Append(row);
    c = sync();
    EXPECT_TRUE(c.reset);
    ASSERT_EQ(view.size(), 1u);
    EXPECT_EQ(view[0].cells[kMarkCol], "3");
    EXPECT_FALSE(view[0].checked);

    // Writers on four threads, clears among them, a view syncing meanwhile: at the end the
    // view holds exactly the list's rows.
    std::atomic<bool> done{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                ToCollectRow r{};
                r[kMarkCol] = std::to_string(t * 1000 + i);
                const int at = list.Append(r);
                list.SetCell(list.Ref(at), kStatusCol, "s" + std::to_string(i));
                if (t == 0 && i % 100 == 99)
                    list.Clear();
            }
        });
    std::thread viewer([&] {
        while (!done) sync();
    });
    for (auto& w : writers) w.join();
    done = true;
    viewer.join();
    sync();
    ASSERT_EQ(static_cast<int>(view.size()), list.Count());
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(view[static_cast<std::size_t>(i)].cells, list.RowAt(i));
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
