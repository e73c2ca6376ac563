// The headless commands as a seller runs them: "vantrell-cli collect", "import-codes" and
// "demo" as child processes, against the stand-ins served by a "vantrell-sim" process.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/files.h"
#include "base/hosts.h"
#include "core/book_types.h"
#include "sim/catalog.h"
#include "support/child_process.h"
#include "support/raw_get.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::BinPath;
using vt::testing::ChildProcess;
using vt::testing::RawGet;
using vt::testing::RunProgram;
using vt::testing::RunResult;
using vt::testing::U8;

namespace {

constexpr int kBooks = 400;
constexpr int kSeed = 1;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CliJobTest : public ::testing::Test {
protected:
    CliJobTest()
        : sim_(BinPath("vantrell-sim"), {"--source-port", "0", "--market-port", "0", "--books",
                                         std::to_string(kBooks), "--seed", std::to_string(kSeed)}),
          catalog_(sim::CatalogOptions{kSeed, kBooks, 60}) {}

    void SetUp() override {
        ASSERT_TRUE(sim_.started());
        std::string line;
        while (sim_.ReadLine(line) && line != "ready") {
            if (line.rfind("source ", 0) == 0)
                source_ = line.substr(7);
            if (line.rfind("market ", 0) == 0)
                market_ = line.substr(7);
        }
        ASSERT_EQ(line, "ready");
        ASSERT_FALSE(source_.empty());
        ASSERT_FALSE(market_.empty());
        std::string ini = "[HOSTS]\r\n";
        for (std::size_t i = 0; i < kHostRoleCount; ++i) {
            const auto role = static_cast<HostRole>(i);
            ini += std::string(HostKey(role)) + "=" +
                   (role <= HostRole::SourcePromo ? source_ : market_) + "\r\n";
        }
        vt::testing::WriteAll(dir_.native() + "/Data/Hosts.ini", ini);
        vt::testing::WriteAll(dir_.native() + "/password.txt", "demo123\n");
    }

    RunResult Cli(std::vector<std::string> args, bool withAccount = true) {
        if (withAccount) {
            args.insert(args.end(), {"--nick", "vantrell_demo", "--password-file",
                                     dir_.native() + "/password.txt"});
        }
        args.insert(args.end(), {"--app-dir", dir_.native()});
        return RunProgram(BinPath("vantrell-cli"), args);
    }

    // Outer codes of the stand-in shop's items.
    std::vector<std::string> ShopCodes() {
        std::vector<std::string> codes;
        const auto doc =
            nlohmann::json::parse(RawGet(market_ + "/_sim/items").body, nullptr, false);
        if (!doc.is_array())
            return codes;
        for (const auto& item : doc)
            if (item.contains("outerCode"))
                codes.push_back(item.at("outerCode").get<std::string>());
        return codes;
    }

    // A plain book whose author no other book's fields contain: a job for it finds one book.
    const sim::Book* LoneAuthorBook() {
        for (const sim::Book& b : catalog_.books())
            if (b.Plain() && catalog_.Search(b.author).size() == 1)
                return &b;
        return nullptr;
    }

    vt::testing::TempAppDir dir_;
    ChildProcess sim_;
    sim::Catalog catalog_;
    std::string source_, market_;
};

TEST_F(CliJobTest, CollectPublishesTheOneBookAndReportsBothLists) {
    const sim::Book* book = LoneAuthorBook();
    ASSERT_NE(book, nullptr);
    const std::string report = dir_.native() + "/report.json";
    const auto run = Cli(
        {"collect", "--author", U8(book->author), "--from", "1", "--to", "1", "--report", report});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "Summary after")) << run.out;

    EXPECT_EQ(ShopCodes(), std::vector<std::string>{book->id});
    const auto doc = nlohmann::json::parse(vt::testing::ReadAll(report), nullptr, false);
    ASSERT_TRUE(doc.is_object());
    ASSERT_EQ(doc.at("toCollect").size(), 1u);
    EXPECT_EQ(doc.at("toCollect")[0].at("cells")[0], book->id);
    ASSERT_EQ(doc.at("collected").size(), 1u);
    EXPECT_EQ(doc.at("collected")[0].at("cells")[kMarketStateCol], U8("上传成功"));
    EXPECT_EQ(doc.at("published"), 1);
    EXPECT_EQ(doc.at("failed"), 0);
    bool publishedBox = false;
    for (const auto& box : doc.at("counters"))
        publishedBox |= box.at("caption") == U8("成功上传：") && box.at("text") == "1";
    EXPECT_TRUE(publishedBox) << doc.at("counters").dump();
}

TEST_F(CliJobTest, CollectWithoutPublishingLeavesTheBookInTheWorkbookAndTheShopEmpty) {
    const sim::Book* book = LoneAuthorBook();
    ASSERT_NE(book, nullptr);
    const auto run =
        Cli({"collect", "--author", U8(book->author), "--from", "1", "--to", "1", "--no-publish"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(ShopCodes().empty());

    // No data file is ticked in the shipped settings: a preview still leaves the workbook.
    std::vector<std::string> names;
    std::string csv;
    std::error_code ec;
    const std::string day = dir_.native() + "/images/" + U8(DayFolderName());
    for (const auto& entry : std::filesystem::directory_iterator(day, ec)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file())
            continue;  // the job's picture folder
        names.push_back(name.substr(0, name.find('_')) + entry.path().extension().string());
        if (entry.path().extension() == ".csv")
            csv = vt::testing::ReadAll(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{U8("自定义Excel.csv"), U8("自定义Excel.xlsx")}));
    EXPECT_TRUE(Contains(csv, book->id)) << csv;
    EXPECT_TRUE(Contains(csv, U8("预览：未上传"))) << csv;
}

TEST_F(CliJobTest, CollectRefusesARequestItCannotStart) {
    struct Case {
        std::vector<std::string> args;
        bool withAccount;
        std::string message;
    };
    const Case cases[] = {
        {{"collect", "--title", ""}, true, "图书名不能为空！"},
        {{"collect", "--publisher", "x"}, false, "未登录，请先在多开页面登录，然后再点开始采集。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.message));
        const auto run = Cli(c.args, c.withAccount);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(Contains(run.err, U8(c.message))) << run.err;
    }
    EXPECT_TRUE(ShopCodes().empty());
}

TEST_F(CliJobTest, ImportCodesPublishesTheImportedBook) {
    const sim::Book* book = LoneAuthorBook();
    ASSERT_NE(book, nullptr);
    const std::string codes = dir_.native() + "/codes.txt";
    vt::testing::WriteAll(codes, book->id + "\r\n");
    const auto run = Cli({"import-codes", codes});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ShopCodes(), std::vector<std::string>{book->id});
}

TEST(CliDemo, RunsTheWholeSystemAndShowsTheShop) {
    vt::testing::TempAppDir dir(false);
    const auto run = RunProgram(BinPath("vantrell-sim"),
                                {"demo", "--dir", dir.native() + "/demo", "--pacing-ms", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::size_t at = run.out.find("the stand-in shop now holds ");
    ASSERT_NE(at, std::string::npos) << run.out;
    const int items = std::atoi(run.out.c_str() + at + 27);
    EXPECT_GT(items, 0);
    // One line per item, each with its price and category.
    std::size_t lines = 0;
    for (std::size_t p = run.out.find("  category ", at); p != std::string::npos;
         p = run.out.find("  category ", p + 1))
        ++lines;
    EXPECT_EQ(lines, static_cast<std::size_t>(items));
}

}  // namespace
