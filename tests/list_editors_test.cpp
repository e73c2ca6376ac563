#include "app/list_editors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/results_panel.h"
#include "app/startup.h"
#include "base/text.h"
#include "core/context.h"
#include "support/temp_app_dir.h"

using vt::testing::TempAppDir;
using vt::testing::U8;
using vt::testing::WriteAll;

namespace vt {
namespace {

using namespace std::string_literals;

// An installed tree with the two word-list files and earlier marks and publishers in
// Filter.db, started up as every front end starts.
class ListEditorsTest : public ::testing::Test {
protected:
    ListEditorsTest() {
        WriteAll(dir_.native() + "/Data/File/" + GbkToUtf8("违禁字.txt"), "盗版,复印\r\n\0"s);
        WriteAll(dir_.native() + "/Data/File/" + GbkToUtf8("违规书籍.txt"),
                 "9787000000001,禁书\0"s);
        {
            AppContext earlier(dir_.path());
            earlier.db().OpenFilterDb();
            earlier.db().ReplaceList(ListTable::ForbidBiaoZhi, "m1,m2");
            earlier.db().ReplaceList(ListTable::ForbidCBS, "甲出版社");
            earlier.db().ReplaceList(ListTable::FilterBooks, "stale");
        }
        StartUp(ctx_);
    }

    std::vector<std::string> Table(const char* select) {
        std::vector<std::string> gbk;
        for (const std::string& v : ctx_.db().FilterDb()->QueryColumn(select))
            gbk.push_back(Utf8ToGbk(v));
        return gbk;
    }

    TempAppDir dir_{false};
    AppContext ctx_{dir_.path()};
};

TEST_F(ListEditorsTest, StartUpMirrorsTheWordFilesAndShowsTheTables) {
    // The two file-backed tables follow their files at every start.
    EXPECT_EQ(Table("select BookName from FilterBooks"),
              (std::vector<std::string>{"盗版", "复印"}));
    EXPECT_EQ(Table("select BookName from ForbidBooks"),
              (std::vector<std::string>{"9787000000001", "禁书"}));
    // The two table-backed boxes show their tables, each value followed by a comma.
    EXPECT_EQ(ctx_.config().ForbiddenMarksText(), "m1,m2,");
    EXPECT_EQ(U8(ctx_.config().ForbiddenPublishersText()), U8("甲出版社,"));
}

TEST_F(ListEditorsTest, SaveRewritesTheTableFromTheLiveBox) {
    ctx_.config().SetForbiddenPublishersText("O'Reilly,乙出版社");
    ASSERT_TRUE(SaveListEditor(ctx_, ListEditor::ForbiddenPublishers));
    EXPECT_TRUE(ctx_.db().IsForbiddenPublisher("O'Reilly"));
    EXPECT_TRUE(ctx_.db().IsForbiddenPublisher("乙出版社"));
    EXPECT_FALSE(ctx_.db().IsForbiddenPublisher("甲出版社"));

    // A save into a database that refuses writes fails and keeps the previous list.
    ASSERT_TRUE(ctx_.db().FilterDb()->Exec("PRAGMA query_only=1;"));
    ctx_.config().SetForbiddenMarksText("");
    EXPECT_FALSE(SaveListEditor(ctx_, ListEditor::ForbiddenMarks));
    EXPECT_EQ(Table("select BiaoZhi from ForbidBiaoZhi"), (std::vector<std::string>{"m1", "m2"}));
}

// A mark added from the results panel is part of the live box, so saving the marks box
// afterwards keeps it (it used to be deleted again, and the forbidden book came back).
TEST_F(ListEditorsTest, AMarkAddedFromTheResultsSurvivesTheNextSave) {
    ResultsPanel results(ctx_);
    for (const char* mark : {"r1", "r2"}) {
        ToCollectRow row{};
        row[kMarkCol] = mark;
        ctx_.toCollect().Append(row);
    }
    ctx_.toCollect().SetChecked(1, true);
    ASSERT_TRUE(results.AddCheckedToForbiddenMarks());
    EXPECT_EQ(ctx_.config().ForbiddenMarksText(), "m1,m2,r2,");

    ASSERT_TRUE(SaveListEditor(ctx_, ListEditor::ForbiddenMarks));
    EXPECT_TRUE(ctx_.db().IsForbiddenMark("r2"));
    EXPECT_TRUE(ctx_.db().IsForbiddenMark("m1"));

    // A box the seller left without its final comma still gets the mark as its own item.
    SysConfig c;
    c.SetForbiddenMarksText("a,b");
    AppendToMarksBox(c, "x");
    EXPECT_EQ(c.ForbiddenMarksText(), "a,b,x,");
    c.SetForbiddenMarksText("");
    AppendToMarksBox(c, "y");
    EXPECT_EQ(c.ForbiddenMarksText(), "y,");
}

}  // namespace
}  // namespace vt
