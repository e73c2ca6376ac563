#include "app/results_panel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/context.h"
#include "support/temp_app_dir.h"

using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::WriteAll;

namespace vt {
namespace {

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
    EXPECT_EQ(ctx_.collected().Count(), 1);

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

}  // namespace
}  // namespace vt
