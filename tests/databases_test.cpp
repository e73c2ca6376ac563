#include "core/databases.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/split_list.h"
#include "core/context.h"
#include "support/failing_vfs.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::TempAppDir;
using vt::testing::U8;

namespace fs = std::filesystem;

TEST(SplitList, CutsAtSeparatorsSkippingEmptyPieces) {
    struct Case {
        std::string text;
        char sep;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"a,b,,,", ',', {"a", "b"}},
        {",,a,,b,,", ',', {"a", "b"}},
        {"a", ',', {"a"}},
        {" a , b", ',', {" a ", " b"}},  // spaces stay
        {"x\r\n,y", ',', {"x\r\n", "y"}},
        {"", ',', {""}},
        {",,,", ',', {""}},
        {"活着,三体", ',', {"活着", "三体"}},
        // "亅" is 0x81 0x7C in GBK: its second byte is no separator.
        {"亅|b", '|', {"亅", "b"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitList(c.text, c.sep), c.pieces) << U8(c.text);
}

class DatabasesTest : public ::testing::Test {
protected:
    DatabasesTest() : dbs(dir.path() + "/DataBase") {
        dbs.SetMessageHandler([this](const std::string& m) { messages.push_back(m); });
    }

    int Rows(const std::string& select) { return CountRows(dbs.FilterDb(), select); }

    TempAppDir dir{false};
    Databases dbs;
    std::vector<std::string> messages;
};

TEST_F(DatabasesTest, ReopeningKeepsTablesAndRows) {
    ASSERT_TRUE(dbs.OpenFilterDb());
    dbs.ReplaceList(ListTable::ForbidBiaoZhi, "111,222");
    dbs.AddForbiddenMark("333");
    dbs.ReplaceList(ListTable::ForbidCBS, "中华书局");
    dbs.ReplaceList(ListTable::FilterBooks, "盗版,复印");
    dbs.ReplaceList(ListTable::ForbidBooks, "9787000000000");
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    dbs.RecordPublished("444", "5550001");

    ASSERT_TRUE(dbs.OpenFilterDb());
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    EXPECT_EQ(dbs.QueryColumnList("select BiaoZhi from ForbidBiaoZhi"), "111,222,333,");
    EXPECT_EQ(U8(dbs.QueryColumnList("select CBS from ForbidCBS")), U8("中华书局,"));
    EXPECT_EQ(Rows("select * from FilterBooks"), 2);
    EXPECT_EQ(Rows("select * from ForbidBooks where BookName='9787000000000'"), 1);
    EXPECT_TRUE(dbs.IsPublished("444"));
    EXPECT_EQ(CountRows(dbs.ProductDb(), "select * from ProductData where TB='5550001'"), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(DatabasesTest, ReplaceListRewritesTheWholeList) {
    ASSERT_TRUE(dbs.OpenFilterDb());
    struct Case {
        std::string text;
        std::string shown;  // what the editor page gets back
        int rows;
    };
    const Case cases[] = {
        {"a,b,,,", "a,b,", 2},
        {"", ",", 1},  // one empty mark
        {" x ,y\r\n", " x ,y\r\n,", 2},
        {",,c", "c,", 1},
    };
    for (const Case& c : cases) {
        dbs.ReplaceList(ListTable::ForbidBiaoZhi, c.text);
        EXPECT_EQ(dbs.QueryColumnList("select BiaoZhi from ForbidBiaoZhi"), c.shown) << c.text;
        EXPECT_EQ(Rows("select * from ForbidBiaoZhi"), c.rows) << c.text;
    }
    // The other tables are left alone by a save of the marks.
    dbs.ReplaceList(ListTable::FilterBooks, "k1,k2,k3");
    dbs.ReplaceList(ListTable::ForbidBiaoZhi, "z");
    EXPECT_EQ(Rows("select * from FilterBooks"), 3);
    EXPECT_EQ(Rows("select * from ForbidBooks"), 0);
}

// A save that fails half way must not leave the list emptied or cut: the seller would
// find it gone at the next start. Each way to fail leaves the previous list whole.
TEST_F(DatabasesTest, AFailedListSaveKeepsThePreviousListWhole) {
    struct Case {
        const char* what;
        const char* breakIt;  // run on the connection before the save
    } cases[] = {
        // The third insert is refused after the delete and two inserts went through.
        {"one insert refused",
         "CREATE TRIGGER refuse BEFORE INSERT ON ForbidCBS WHEN NEW.CBS='bad' "
         "BEGIN SELECT RAISE(ABORT,'refused'); END;"},
        {"read-only database", "PRAGMA query_only=1;"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(dbs.OpenFilterDb());  // a fresh connection per case
        ASSERT_TRUE(dbs.FilterDb()->Exec("DROP TRIGGER IF EXISTS refuse;"));
        ASSERT_TRUE(dbs.ReplaceList(ListTable::ForbidCBS, "old1,old2"));
        ASSERT_TRUE(dbs.FilterDb()->Exec(c.breakIt)) << c.what;
        EXPECT_FALSE(dbs.ReplaceList(ListTable::ForbidCBS, "new1,new2,bad,new3")) << c.what;
        EXPECT_EQ(dbs.QueryColumnList("select CBS from ForbidCBS"), "old1,old2,") << c.what;
        EXPECT_TRUE(dbs.IsForbiddenPublisher("old2")) << c.what;
    }
    // Without a connection nothing is saved, and the save says so.
    Databases unopened(dir.path() + "/DataBase");
    EXPECT_FALSE(unopened.ReplaceList(ListTable::ForbidCBS, "x"));
}

TEST_F(DatabasesTest, ChineseTextIsStoredAsUtf8AndFoundAgain) {
    ASSERT_TRUE(dbs.OpenFilterDb());
    dbs.ReplaceList(ListTable::ForbidCBS, "人民文学出版社,张三");
    EXPECT_EQ(dbs.FilterDb()->QueryColumn("select CBS from ForbidCBS"),
              (std::vector<std::string>{
                  "\xE4\xBA\xBA\xE6\xB0\x91\xE6\x96\x87\xE5\xAD\xA6\xE5\x87\xBA\xE7\x89\x88\xE7"
                  "\xA4\xBE",
                  "\xE5\xBC\xA0\xE4\xB8\x89"}));
    EXPECT_TRUE(dbs.IsForbiddenPublisher("人民文学出版社"));
    EXPECT_TRUE(dbs.IsForbiddenPublisher("  人民文学出版社\r\n"));  // looked up trimmed
    EXPECT_FALSE(dbs.IsForbiddenPublisher("人民文学"));
    EXPECT_FALSE(dbs.IsForbiddenPublisher("中文"));
}

TEST_F(DatabasesTest, ApostrophesAreStoredAndMatchedAndNeverBreakAStatement) {
    ASSERT_TRUE(dbs.OpenFilterDb());
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    const std::string values[] = {"O'Reilly", "x'); DROP TABLE ForbidCBS;--", "'", "a''b"};

    dbs.ReplaceList(ListTable::ForbidCBS, "O'Reilly,x'); DROP TABLE ForbidCBS;--,',a''b");
    EXPECT_EQ(dbs.QueryColumnList("select CBS from ForbidCBS"),
              "O'Reilly,x'); DROP TABLE ForbidCBS;--,',a''b,");
    for (const std::string& v : values) {
        EXPECT_TRUE(dbs.IsForbiddenPublisher(v)) << v;
        dbs.AddForbiddenMark(v);
        EXPECT_TRUE(dbs.IsForbiddenMark(v)) << v;
        dbs.RecordPublished(v, v);
        EXPECT_TRUE(dbs.IsPublished(v)) << v;
    }
    EXPECT_EQ(Rows("select * from ForbidCBS"), 4);
    EXPECT_EQ(Rows("select * from ForbidBiaoZhi"), 4);
    EXPECT_EQ(CountRows(dbs.ProductDb(), "select * from ProductData"), 4);

    // A lookup value can not widen the select into a match of every row.
    for (const char* probe : {"x' OR '1'='1", "' OR ''='"}) {
        EXPECT_FALSE(dbs.IsForbiddenPublisher(probe)) << probe;
        EXPECT_FALSE(dbs.IsForbiddenMark(probe)) << probe;
        EXPECT_FALSE(dbs.IsPublished(probe)) << probe;
    }
}

TEST_F(DatabasesTest, TheItemIdOfAChineseOrQuotedCodeIsFoundNewestFirst) {
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    dbs.RecordPublished("书号'1", "111");
    dbs.RecordPublished("书号'1", "222");
    dbs.RecordPublished("书号'1", " ");  // a record without an id says nothing
    dbs.RecordPublished("书号", "333");
    EXPECT_EQ(dbs.PublishedItemId(" 书号'1 "), "222");
    EXPECT_EQ(dbs.PublishedItemId("书号"), "333");
    EXPECT_EQ(dbs.PublishedItemId("书"), "");
    EXPECT_EQ(dbs.PublishedItemId("' OR ''='"), "");
}

TEST_F(DatabasesTest, ANewDatabaseFileIsTheOwnersAloneAnExistingOneKeepsItsMode) {
    auto mode = [](const std::string& path) {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
    };
    ASSERT_TRUE(dbs.OpenFilterDb());
    EXPECT_EQ(mode(dir.native() + "/DataBase/Filter.db"), 0600);
    const std::string shared = dir.native() + "/DataBase/seller.db";
    { Database made(shared); }
    ASSERT_EQ(chmod(shared.c_str(), 0644), 0);
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    dbs.RecordPublished("1", "2");
    EXPECT_EQ(mode(shared), 0644);
}

TEST_F(DatabasesTest, AFailedWriteSaysWhyAndChangesNothing) {
    vt::testing::FailingVfs& vfs = vt::testing::FailingVfs::Install();
    vfs.SetPathFilter("seller");
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    ASSERT_TRUE(dbs.MarkPublishInFlight({"1", "", "seller", true}));
    vfs.FailAllWrites(true);
    EXPECT_EQ(dbs.MarkPublishInFlight({"2", "", "seller", true}).error, WriteError::NoSpace);
    EXPECT_EQ(dbs.RecordPublished("1", "9001").error, WriteError::NoSpace);
    EXPECT_EQ(dbs.ClearPublishEntry("1").error, WriteError::NoSpace);
    vfs.Disarm();
    EXPECT_FALSE(dbs.IsPublishUnknown("2"));
    EXPECT_FALSE(dbs.IsPublished("1"));
    EXPECT_TRUE(dbs.IsPublishUnknown("1"));
    // Refused by the data, not the disk: not a storage fault, which would stop a job.
    ASSERT_TRUE(dbs.ProductDb()->Exec(
        "CREATE TRIGGER Refuse BEFORE INSERT ON PublishJournal BEGIN SELECT RAISE(ABORT,'x'); "
        "END;"));
    const WriteOutcome refused = dbs.MarkPublishInFlight({"3", "", "seller", true});
    EXPECT_EQ(refused.error, WriteError::Refused);
    EXPECT_FALSE(IsStorageFault(refused.error));
    EXPECT_GT(vfs.RefusedWrites(), 0);
}

TEST_F(DatabasesTest, ProductDatabaseFileIsNamedByTheEncodedNick) {
    struct Case {
        std::string nick;
        std::string file;
    };
    const Case cases[] = {
        {"seller01", "seller01.db"},
        {"book shop", "book+shop.db"},
        {"中文 a", "%E4%B8%AD%E6%96%87+a.db"},
        {"a_b-c.d", "a%5Fb%2Dc%2Ed.db"},
        {"../up", "%2E%2E%2Fup.db"},  // stays inside the DataBase folder
        {"", ".db"},                  // a cookie without tracknick
    };
    const fs::path folder = fs::path(dir.native()) / "DataBase";
    for (const Case& c : cases) {
        EXPECT_TRUE(dbs.OpenProductDb(c.nick)) << U8(c.nick);
        EXPECT_TRUE(fs::exists(folder / c.file)) << U8(c.nick) << " -> " << c.file;
    }
    EXPECT_FALSE(fs::exists(fs::path(dir.native()) / "up.db"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(DatabasesTest, PublishedRecordsFollowTheLoggedInAccount) {
    EXPECT_FALSE(dbs.IsPublished("1001"));  // no login yet
    dbs.RecordPublished("1001", "1");       // nowhere to go: ignored
    EXPECT_FALSE(dbs.IsPublished("1001"));

    ASSERT_TRUE(dbs.OpenProductDb("alice"));
    dbs.RecordPublished(" 1001 ", "9001");
    EXPECT_TRUE(dbs.IsPublished("1001"));
    EXPECT_TRUE(dbs.IsPublished("1001\r\n"));
    EXPECT_FALSE(dbs.IsPublished("100"));

    ASSERT_TRUE(dbs.OpenProductDb("bob"));
    EXPECT_FALSE(dbs.IsPublished("1001"));
    ASSERT_TRUE(dbs.OpenProductDb("alice"));
    EXPECT_TRUE(dbs.IsPublished("1001"));
}

TEST_F(DatabasesTest, UnopenedFilterDbFiltersNothing) {
    EXPECT_FALSE(dbs.IsForbiddenMark("1"));
    EXPECT_FALSE(dbs.IsForbiddenPublisher("x"));
    dbs.ReplaceList(ListTable::ForbidBiaoZhi, "1");
    dbs.AddForbiddenMark("1");
    EXPECT_EQ(dbs.QueryColumnList("select BiaoZhi from ForbidBiaoZhi"), "");
    EXPECT_FALSE(fs::exists(fs::path(dir.native()) / "DataBase" / "Filter.db"));
}

TEST(Databases, OpenFailureIsReportedAndEveryLookupCountsZero) {
    TempAppDir dir(false);
    Databases dbs(dir.path() + "/missing/DataBase");
    std::vector<std::string> messages;
    dbs.SetMessageHandler([&](const std::string& m) { messages.push_back(m); });

    EXPECT_FALSE(dbs.OpenFilterDb());
    EXPECT_FALSE(dbs.OpenProductDb("seller"));
    EXPECT_EQ(messages, (std::vector<std::string>{"创建db库失败！", "创建db库失败！"}));

    dbs.ReplaceList(ListTable::ForbidBiaoZhi, "1,2");
    dbs.AddForbiddenMark("3");
    dbs.RecordPublished("4", "5");
    EXPECT_FALSE(dbs.IsForbiddenMark("1"));
    EXPECT_FALSE(dbs.IsForbiddenMark("3"));
    EXPECT_FALSE(dbs.IsPublished("4"));
    EXPECT_EQ(dbs.QueryColumnList("select BiaoZhi from ForbidBiaoZhi"), "");
    EXPECT_EQ(CountRows(dbs.FilterDb(), "select * from ForbidBiaoZhi"), 0);
}

TEST(Databases, ContextKeepsThemInItsDataBaseFolder) {
    TempAppDir dir(false);
    AppContext ctx(dir.path());
    ASSERT_TRUE(ctx.db().OpenFilterDb());
    EXPECT_TRUE(fs::exists(fs::path(dir.native()) / "DataBase" / "Filter.db"));
}

// Publishing threads record while list threads look up and the seller logs in again.
TEST_F(DatabasesTest, ConcurrentRecordsAndLookupsSurviveReopening) {
    ASSERT_TRUE(dbs.OpenProductDb("seller"));
    constexpr int kThreads = 4;
    constexpr int kEach = 40;
    std::atomic<int> missing{0};
    std::atomic<bool> done{false};

    std::thread relogin([&] {
        while (!done) dbs.OpenProductDb("seller");
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                std::string code = std::to_string(t * 1000 + i);
                dbs.RecordPublished(code, "tb" + code);
                if (!dbs.IsPublished(code))
                    ++missing;
            }
        });
    }
    for (auto& w : workers) w.join();
    done = true;
    relogin.join();

    EXPECT_EQ(missing, 0);
    EXPECT_EQ(CountRows(dbs.ProductDb(), "select * from ProductData"), kThreads * kEach);
}

// A save of the marks page while list threads look marks up: the lookup sees the old list
// or the new one, never the emptied table in between.
TEST_F(DatabasesTest, LookupsNeverSeeHalfARewrittenList) {
    ASSERT_TRUE(dbs.OpenFilterDb());
    dbs.ReplaceList(ListTable::ForbidBiaoZhi, "keep");
    std::atomic<bool> done{false};
    std::atomic<int> misses{0};
    std::atomic<int> lookups{0};

    std::vector<std::thread> readers;
    for (int t = 0; t < 2; ++t) {
        readers.emplace_back([&] {
            while (!done) {
                if (!dbs.IsForbiddenMark("keep"))
                    ++misses;
                ++lookups;
            }
        });
    }
    // "keep" comes last, so a lookup between the delete and its insert would miss it.
    std::string others;
    for (int k = 0; k < 10; ++k) others += "x" + std::to_string(k) + ",";
    for (int i = 0; i < 60; ++i) {
        dbs.ReplaceList(ListTable::ForbidBiaoZhi, others + "keep");
        if (i % 10 == 0)
            dbs.OpenFilterDb();  // a job start reopens it meanwhile
    }
    done = true;
    for (auto& r : readers) r.join();

    EXPECT_GT(lookups, 0);
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(dbs.QueryColumnList("select BiaoZhi from ForbidBiaoZhi"), others + "keep,");
}
