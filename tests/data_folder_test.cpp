// Which data tree a front end uses, and how a per-user tree follows package upgrades
// without ever overwriting what the seller changed.
#include "app/data_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "base/text.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::ReadAll;
using vt::testing::WriteAll;
namespace fs = std::filesystem;

namespace {

class DataFolderTest : public ::testing::Test {
protected:
    DataFolderTest() : root_(fs::path(temp_.native())) {}

    fs::path Shipped() const { return root_ / "usr" / "share" / "vantrell"; }
    fs::path Bin() const { return root_ / "usr" / "bin"; }
    fs::path User() const { return root_ / "xdg" / "vantrell"; }

    void Ship(const std::string& rel, const std::string& bytes) {
        fs::create_directories((Shipped() / rel).parent_path());
        WriteAll((Shipped() / rel).string(), bytes);
    }
    void InstallPackage() {
        fs::create_directories(Bin());
        Ship("Data/Setting.ini", "[SYS]\nDiscount=8\n");
        Ship("Data/Hosts.ini", "[HOSTS]\n");
        Ship("Data/File/template.html", "<p>{BookName}</p>");
        fs::create_directories(Shipped() / "DataBase");
    }
    DataFolderInputs Installed() const {
        return {"", Bin().string(), (root_ / "xdg").string(), (root_ / "home").string()};
    }
    static bool Has(const std::vector<std::string>& v, const std::string& item) {
        return std::find(v.begin(), v.end(), item) != v.end();
    }

    vt::testing::TempAppDir temp_{false};
    fs::path root_;
};

TEST_F(DataFolderTest, LayoutChosenFromTheCommandLineTheExecutablesFolderOrThePerUserFolder) {
    InstallPackage();
    // A portable tree: the build output or an unpacked archive.
    const fs::path portable = root_ / "portable";
    fs::create_directories(portable / "Data");
    WriteAll((portable / "Data" / "Setting.ini").string(), "[SYS]\n");

    DataFolderChoice c = ChooseDataFolder({"/some/where/", Bin().string(), "", ""});
    EXPECT_EQ(c.layout, DataLayout::Explicit);
    EXPECT_EQ(c.dir, "/some/where");

    c = ChooseDataFolder({"", portable.string(), (root_ / "xdg").string(), ""});
    EXPECT_EQ(c.layout, DataLayout::Portable);
    EXPECT_EQ(GbkToUtf8(c.dir), portable.string());
    EXPECT_FALSE(fs::exists(User()));

    c = ChooseDataFolder(Installed());
    EXPECT_EQ(c.layout, DataLayout::PerUser);
    EXPECT_EQ(GbkToUtf8(c.dir), User().string());
    EXPECT_TRUE(c.error.empty()) << c.error;
    EXPECT_EQ(ReadAll((User() / "Data" / "Setting.ini").string()), "[SYS]\nDiscount=8\n");
    EXPECT_TRUE(fs::is_directory(User() / "DataBase"));
    EXPECT_TRUE(Has(c.updated, "Data/File/template.html"));

    // Without XDG_DATA_HOME the folder is under ~/.local/share; a relative one is ignored.
    c = ChooseDataFolder({"", Bin().string(), "relative/xdg", (root_ / "home").string()});
    EXPECT_EQ(GbkToUtf8(c.dir), (root_ / "home" / ".local" / "share" / "vantrell").string());
    EXPECT_TRUE(fs::is_regular_file(root_ / "home" / ".local" / "share" / "vantrell" / "Data" /
                                    "Setting.ini"));
}

TEST_F(DataFolderTest, NoShippedTreeAndNoUserTreeIsAnError) {
    fs::create_directories(Bin());
    const DataFolderChoice c = ChooseDataFolder(Installed());
    EXPECT_EQ(c.layout, DataLayout::PerUser);
    EXPECT_NE(c.error.find("no data tree"), std::string::npos) << c.error;
}

// An upgrade, file by file: what the seller changed or deleted stays; what the seller
// never touched follows the new package; new files arrive; databases are never shipped.
TEST_F(DataFolderTest, AnUpgradeRenewsOnlyFilesTheSellerNeverChanged) {
    InstallPackage();
    Ship("Data/File/words.txt", "old words");
    ASSERT_TRUE(ChooseDataFolder(Installed()).error.empty());
    // The seller's changes since.
    WriteAll((User() / "Data" / "Setting.ini").string(), "[SYS]\nDiscount=7\n");
    fs::remove(User() / "Data" / "File" / "words.txt");
    WriteAll((User() / "DataBase" / "Filter.db").string(), "seller data");

    // The new package.
    Ship("Data/Setting.ini", "[SYS]\nDiscount=9\n");
    Ship("Data/File/template.html", "<p>{BookName} new</p>");
    Ship("Data/File/words.txt", "new words");
    Ship("Data/File/new.txt", "fresh");
    const DataFolderChoice c = ChooseDataFolder(Installed());
    ASSERT_TRUE(c.error.empty()) << c.error;

    const struct {
        const char* rel;
        const char* expected;  // nullptr: the file does not exist
    } table[] = {
        {"Data/Setting.ini", "[SYS]\nDiscount=7\n"},           // changed by the seller: kept
        {"Data/File/template.html", "<p>{BookName} new</p>"},  // untouched: renewed
        {"Data/File/words.txt", nullptr},                      // deleted by the seller: stays so
        {"Data/File/new.txt", "fresh"},                        // new in the package: copied
        {"DataBase/Filter.db", "seller data"},                 // never shipped: untouched
        {"Data/Hosts.ini", "[HOSTS]\n"},                       // unchanged everywhere
    };
    for (const auto& row : table) {
        const fs::path p = User() / row.rel;
        if (row.expected)
            EXPECT_EQ(ReadAll(p.string()), row.expected) << row.rel;
        else
            EXPECT_FALSE(fs::exists(p)) << row.rel;
    }
    EXPECT_EQ(c.updated.size(), 2u);

    // A third start with nothing new changes nothing.
    EXPECT_TRUE(ChooseDataFolder(Installed()).updated.empty());
}

// The per-user folder and what is copied into it are the seller's alone; a file the
// seller's own choice left readable keeps its mode when an upgrade renews it.
TEST_F(DataFolderTest, TheUserFolderIsPrivateAndARenewedFileKeepsItsMode) {
    InstallPackage();
    fs::permissions(Shipped() / "Data" / "Setting.ini", fs::perms(0644));
    ASSERT_TRUE(ChooseDataFolder(Installed()).error.empty());
    auto mode = [](const fs::path& p) { return fs::status(p).permissions() & fs::perms::all; };
    const struct {
        const char* rel;
        fs::perms expected;
    } table[] = {
        {"", fs::perms(0700)},
        {"Data", fs::perms(0700)},
        {"DataBase", fs::perms(0700)},
        {"Data/Setting.ini", fs::perms(0600)},
        {"Data/File/template.html", fs::perms(0600)},
        {".shipped", fs::perms(0600)},
    };
    for (const auto& row : table) EXPECT_EQ(mode(User() / row.rel), row.expected) << row.rel;

    fs::permissions(User() / "Data" / "File" / "template.html", fs::perms(0644));
    Ship("Data/File/template.html", "<p>{BookName} new</p>");
    ASSERT_TRUE(ChooseDataFolder(Installed()).error.empty());
    EXPECT_EQ(ReadAll((User() / "Data" / "File" / "template.html").string()),
              "<p>{BookName} new</p>");
    EXPECT_EQ(mode(User() / "Data" / "File" / "template.html"), fs::perms(0644));
}

}  // namespace
