#include "app/results_panel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/context.h"
#include "detail/detail_thread.h"
#include "support/failing_vfs.h"
#include "support/temp_app_dir.h"

using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::WriteAll;

namespace vt {
namespace {

bool WaitFor(const std::function<bool()>& condition, int ms = 10000) {
    for (int i = 0; i < ms; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

class ResultsPanelTest : public ::testing::Test {
protected:
    void AddMarks(const std::vector<std::string>& marks) {
        for (const std::string& mark : marks) {
            ToCollectRow row{};
            row[kMarkCol] = mark;
            ctx_.toCollect().Append(row);
        }
    }

    std::vector<std::string> Marks() {
        std::vector<std::string> marks;
        for (int i = 0; i < ctx_.toCollect().Count(); ++i)
            marks.push_back(ctx_.toCollect().Cell(i, kMarkCol));
        return marks;
    }

    // A GBK path for the system, the same file for the test's own reading and writing.
    std::string File(const std::string& name) const { return dir_.path() + "/" + name; }
    std::string NativeFile(const std::string& name) const { return dir_.native() + "/" + name; }

    TempAppDir dir_;
    AppContext ctx_{dir_.path()};
    ResultsPanel panel_{ctx_};
};

TEST_F(ResultsPanelTest, ImportFillsTheListAndStartsTheImportWorkers) {
    WriteAll(NativeFile("codes.txt"), " 23456789\r\n\r\n\t34567890 \r\n45678901");
    AddMarks({"old"});
    // An earlier job left both cursors far down its lists.
    ctx_.job().DetailCursor = 7;
    ctx_.job().ProcessingCursor = 9;
    ctx_.config().SetForbiddenBooksText("禁书甲,禁书乙");
    int detailStarted = 0;

    ASSERT_TRUE(panel_.ImportCodes(File("codes.txt"), [&] { ++detailStarted; }));

    EXPECT_EQ(Marks(), (std::vector<std::string>{"23456789", "", "34567890", "45678901"}));
    EXPECT_EQ(ctx_.counters().Text(CounterBox::ToCollect), "4");
    EXPECT_EQ(ctx_.filterWords().ForbiddenWords()->size(), 2u);
    EXPECT_EQ(detailStarted, 1);
    EXPECT_FALSE(ctx_.panel().StartEnabled());
    EXPECT_EQ(ctx_.job().ProcessingCursor, 0);
    EXPECT_EQ(ctx_.job().DetailCursor, 0);
    EXPECT_EQ(ctx_.job().RunningListThreads, 5);
    EXPECT_EQ(ctx_.workers().Launched(), 1u);  // the one publishing thread

    // It idles (no login, nothing collected) until the job is stopped.
    ctx_.panel().PressStop();
    ctx_.workers().JoinAll();
}

TEST_F(ResultsPanelTest, ImportOfAMissingFileLeavesAnEmptyListAndStartsNothing) {
    AddMarks({"a", "b"});
    int detailStarted = 0;
    EXPECT_FALSE(panel_.ImportCodes(File("missing.txt"), [&] { ++detailStarted; }));
    EXPECT_EQ(ctx_.toCollect().Count(), 0);
    EXPECT_EQ(detailStarted, 0);
    EXPECT_EQ(ctx_.workers().Launched(), 0u);
    EXPECT_TRUE(ctx_.panel().StartEnabled());
}

TEST_F(ResultsPanelTest, ExportWritesTheCheckedMarksInRowOrder) {
    AddMarks({"a", "b", "c"});
    ASSERT_TRUE(panel_.ExportCheckedMarks(File("none.txt")));
    EXPECT_EQ(ReadAll(NativeFile("none.txt")), std::string(1, '\0'));

    ctx_.toCollect().SetChecked(2, true);
    ctx_.toCollect().SetChecked(0, true);
    ASSERT_TRUE(panel_.ExportCheckedMarks(File("two.txt")));
    EXPECT_EQ(ReadAll(NativeFile("two.txt")), std::string("a\r\nc\r\n\0", 7));

    EXPECT_FALSE(panel_.ExportCheckedMarks(File("no-such-folder/x.txt")));
}

TEST_F(ResultsPanelTest, ExportedMarksImportBackUnchanged) {
    AddMarks({"111", "222"});
    panel_.SelectAll();
    ASSERT_TRUE(panel_.ExportCheckedMarks(File("marks.txt")));
    ASSERT_TRUE(panel_.ImportCodes(File("marks.txt"), nullptr));
    // The zero byte at the end of the file is no code of its own.
    EXPECT_EQ(Marks(), (std::vector<std::string>{"111", "222"}));
    ctx_.panel().PressStop();
}

TEST_F(ResultsPanelTest, CheckedMarksBecomeForbiddenMarks) {
    AddMarks({" 1001 ", "", "1002", "1003"});
    ctx_.toCollect().SetChecked(0, true);
    ctx_.toCollect().SetChecked(1, true);
    ctx_.toCollect().SetChecked(3, true);
    ASSERT_TRUE(panel_.AddCheckedToForbiddenMarks());
    EXPECT_TRUE(ctx_.db().IsForbiddenMark("1001"));
    EXPECT_FALSE(ctx_.db().IsForbiddenMark("1002"));
    EXPECT_TRUE(ctx_.db().IsForbiddenMark("1003"));
    EXPECT_FALSE(ctx_.db().IsForbiddenMark(""));
}

TEST_F(ResultsPanelTest, AMarkTheDiskDoesNotTakeIsNeitherForbiddenNorListed) {
    testing::FailingVfs& vfs = testing::FailingVfs::Install();
    vfs.SetPathFilter("Filter.db");
    ASSERT_TRUE(ctx_.db().OpenFilterDb());
    std::vector<std::string> messages;
    ctx_.SetMessageSink([&](const std::string& m) { messages.push_back(m); });
    AddMarks({"2001"});
    ctx_.toCollect().SetChecked(0, true);
    vfs.FailAllWrites(true);
    EXPECT_FALSE(panel_.AddCheckedToForbiddenMarks());
    vfs.Disarm();
    EXPECT_FALSE(ctx_.db().IsForbiddenMark("2001"));
    EXPECT_EQ(ctx_.config().ForbiddenMarksText().find("2001"), std::string::npos);
    ASSERT_EQ(messages.size(), 1u);
}

TEST_F(ResultsPanelTest, SelectAllAndNoneTouchEveryRow) {
    AddMarks({"a", "b", "c"});
    panel_.SelectAll();
    EXPECT_EQ(ctx_.toCollect().CheckedRows(), (std::vector<int>{0, 1, 2}));
    panel_.SelectNone();
    EXPECT_TRUE(ctx_.toCollect().CheckedRows().empty());
}

TEST_F(ResultsPanelTest, ClearingAListRestartsTheCursorsIntoIt) {
    AddMarks({"a"});
    ctx_.collected().AppendWithRecord(CollectedRow{}, std::make_unique<O_BookInfo>());
    ctx_.job().NextPage = 9;
    ctx_.job().DetailCursor = 4;
    ctx_.job().ProcessingCursor = 6;

    panel_.ClearToCollect();
    EXPECT_EQ(ctx_.toCollect().Count(), 0);
    EXPECT_EQ(ctx_.job().NextPage, 1);
    // Rows found after the clear start at 0 again and must be processed.
    EXPECT_EQ(ctx_.job().DetailCursor, 0);
    EXPECT_EQ(ctx_.collected().Count(), 1);

    ctx_.job().DetailCursor = 4;
    panel_.ClearCollected();
    EXPECT_EQ(ctx_.collected().Count(), 0);
    EXPECT_EQ(ctx_.job().DetailCursor, 0);
    // Rows collected after the clear start at 0 again and must be published.
    EXPECT_EQ(ctx_.job().ProcessingCursor, 0);
}

TEST_F(ResultsPanelTest, ResetEmptiesBothListsAndTheirBoxes) {
    AddMarks({"a"});
    ctx_.collected().AppendWithRecord(CollectedRow{}, std::make_unique<O_BookInfo>());
    ctx_.counters().SetNumber(CounterBox::ToCollect, 1);
    ctx_.counters().SetNumber(CounterBox::Collected, 1);
    ctx_.counters().SetNumber(CounterBox::Published, 1);
    ctx_.job().ProcessingCursor = 3;

    panel_.Reset();
    EXPECT_EQ(ctx_.toCollect().Count(), 0);
    EXPECT_EQ(ctx_.collected().Count(), 0);
    EXPECT_EQ(ctx_.counters().Text(CounterBox::ToCollect), "");
    EXPECT_EQ(ctx_.counters().Text(CounterBox::Collected), "");
    EXPECT_EQ(ctx_.counters().Text(CounterBox::Published), "1");
    EXPECT_EQ(ctx_.job().ProcessingCursor, 0);
}

// "全部清除" while the detail thread works on row 0: the rows found after the clear are all
// processed (the cursor went back to 0), and the worker's write for the cleared row is
// dropped instead of landing on the new row 0, which is another book.
TEST_F(ResultsPanelTest, ClearDuringAJobRestartsTheDetailStageAndDropsItsStaleWrite) {
    ctx_.session().MarkLoginValid();
    ctx_.panel().SetRunning();
    ctx_.job().RunningListThreads = 1;  // a crawler still runs: the thread does not end
    std::atomic<bool> holding{false}, release{false};
    std::atomic<int> staleWritesLanded{0};
    std::mutex seenMutex;
    std::vector<std::string> seen;
    StartDetailThread(ctx_, [&](AppContext& c, RowRef row) {
        const std::string mark = c.toCollect().Cell(row, kMarkCol);
        {
            std::lock_guard<std::mutex> lock(seenMutex);
            seen.push_back(mark);
        }
        if (mark == "old-0") {
            holding = true;
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (c.toCollect().SetCell(row, kStatusCol, "done " + mark) && mark.rfind("old", 0) == 0)
            ++staleWritesLanded;
        return false;
    });
    AddMarks({"old-0", "old-1", "old-2"});
    ASSERT_TRUE(WaitFor([&] { return holding.load(); }));
    panel_.ClearToCollect();
    AddMarks({"new-0", "new-1"});
    release = true;

    ASSERT_TRUE(WaitFor([&] { return ctx_.toCollect().Cell(1, kStatusCol) == "done new-1"; }));
    EXPECT_EQ(ctx_.toCollect().Cell(0, kStatusCol), "done new-0");
    EXPECT_EQ(staleWritesLanded, 0);
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        EXPECT_EQ(seen, (std::vector<std::string>{"old-0", "new-0", "new-1"}));
    }
    ctx_.panel().PressStop();
    ctx_.workers().JoinAll();
}

// An import is a job start: refused while a job runs (its own detail thread would take the
// imported rows and drop them), and after the stop it waits for the job's workers first.
TEST_F(ResultsPanelTest, ImportWhileAJobRunsIsRefusedAndAfterTheStopWaitsForItsWorkers) {
    std::vector<std::string> messages;
    ctx_.SetMessageSink([&](const std::string& m) { messages.push_back(m); });
    WriteAll(NativeFile("codes.txt"), "111\r\n222\r\n");
    AddMarks({"job row"});
    ctx_.panel().SetRunning();
    int detailStarted = 0;

    EXPECT_FALSE(panel_.BeginImport());
    EXPECT_FALSE(panel_.ImportCodes(File("codes.txt"), [&] { ++detailStarted; }));
    EXPECT_EQ(messages, (std::vector<std::string>{kImportWhileRunning, kImportWhileRunning}));
    EXPECT_EQ(Marks(), std::vector<std::string>{"job row"});
    EXPECT_EQ(detailStarted, 0);
    EXPECT_EQ(ctx_.workers().Launched(), 0u);

    // Stopped: a worker of the job still finishes its item.
    ctx_.panel().PressStop();
    std::atomic<bool> workerEnded{false};
    ctx_.workers().Launch([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        workerEnded = true;
    });
    ASSERT_TRUE(panel_.BeginImport());
    EXPECT_EQ(ctx_.toCollect().Count(), 0);  // emptied before the file chooser
    ASSERT_TRUE(panel_.ImportCodes(File("codes.txt"), [&] {
        EXPECT_TRUE(workerEnded) << "the import started before the job's workers ended";
        ++detailStarted;
    }));
    EXPECT_TRUE(workerEnded);
    EXPECT_EQ(detailStarted, 1);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"111", "222"}));
    EXPECT_EQ(messages.size(), 2u);

    // The import runs now: a second one is refused like a job start.
    EXPECT_FALSE(panel_.ImportCodes(File("codes.txt"), [&] { ++detailStarted; }));
    EXPECT_EQ(detailStarted, 1);
    EXPECT_EQ(messages.size(), 3u);
    ctx_.panel().PressStop();
    ctx_.workers().JoinAll();
}

}  // namespace
}  // namespace vt
