// A publish whose answer is lost after the shop took the item: the book stays "unknown" in
// the account's product database until the shop has been asked, and is never posted twice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/context.h"
#include "core/databases.h"
#include "support/temp_app_dir.h"

using vt::testing::TempAppDir;
using vt::testing::U8;

namespace vt {
namespace {

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

}  // namespace
}  // namespace vt
