// The headless commands as a seller runs them: "vantrell-cli collect", "import-codes" and
// "demo" as child processes, against the stand-ins served by a "vantrell-sim" process.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/encoders.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/text.h"
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
        vt::testing::WriteAll(dir_.native() + "/Data/Hosts.ini", HostsIni(source_, market_));
        vt::testing::WriteAll(dir_.native() + "/password.txt", "demo123\n");
    }

    static std::string HostsIni(const std::string& source, const std::string& market,
                                const std::string& leaveOut = "") {
        std::string ini = "[HOSTS]\r\n";
        for (std::size_t i = 0; i < kHostRoleCount; ++i) {
            const auto role = static_cast<HostRole>(i);
            if (HostKey(role) != leaveOut)
                ini += std::string(HostKey(role)) + "=" +
                       (role <= HostRole::SourcePromo ? source : market) + "\r\n";
        }
        return ini;
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
    const auto run = Cli({"collect", "--author", U8(book->author), "--from", "1", "--to", "1",
                          "--pacing-ms", "0", "--report", report});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "Summary after")) << run.out;

    EXPECT_EQ(ShopCodes(), std::vector<std::string>{book->id});
    const auto doc = nlohmann::json::parse(vt::testing::ReadAll(report), nullptr, false);
    ASSERT_TRUE(doc.is_object());
    EXPECT_EQ(doc.at("schemaVersion"), 1);
    EXPECT_EQ(doc.at("exitCode"), 0);
    ASSERT_EQ(doc.at("toCollect").size(), 1u);
    EXPECT_EQ(doc.at("toCollect")[0].at("mark"), book->id);
    ASSERT_EQ(doc.at("collected").size(), 1u);
    EXPECT_EQ(doc.at("collected")[0].at("marketState"), U8("上传成功"));
    const auto& figures = doc.at("figures");
    EXPECT_EQ(figures.at("found"), 1);
    EXPECT_EQ(figures.at("published"), 1);
    EXPECT_EQ(figures.at("failed"), 0);
    EXPECT_EQ(doc.at("counters").at("published"), 1);
    ASSERT_EQ(doc.at("books").size(), 1u);
    const auto& b = doc.at("books")[0];
    EXPECT_EQ(b.at("code"), book->id);
    EXPECT_EQ(b.at("isbn"), book->isbn);
    EXPECT_EQ(b.at("status"), "published");
    EXPECT_TRUE(b.at("price").is_number()) << b.dump();
    EXPECT_TRUE(b.at("listPrice").is_number()) << b.dump();
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
        {{"collect", "--publisher", "x"}, false, "needs the seller's account: give --nick NAME"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.message));
        const auto run = Cli(c.args, c.withAccount);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(Contains(run.err, U8(c.message))) << run.err;
    }
    EXPECT_TRUE(ShopCodes().empty());
}

// Every way a command can go wrong before or at its start: the exit code and the line on
// standard error that says why; nothing reaches the shop.
TEST_F(CliJobTest, EachFailureHasItsExitCodeAndCause) {
    using vt::testing::kClosedLoopbackOrigin;
    using vt::testing::TempAppDir;
    const std::string home = dir_.native();
    TempAppDir closedStore, closedMarket, noRole, logIsAFile;
    vt::testing::WriteAll(closedStore.native() + "/Data/Hosts.ini",
                          HostsIni(kClosedLoopbackOrigin, market_));
    vt::testing::WriteAll(closedMarket.native() + "/Data/Hosts.ini",
                          HostsIni(source_, kClosedLoopbackOrigin));
    vt::testing::WriteAll(noRole.native() + "/Data/Hosts.ini",
                          HostsIni(source_, market_, "MarketSell"));
    std::filesystem::remove_all(logIsAFile.native() + "/Log");
    vt::testing::WriteAll(logIsAFile.native() + "/Log", "not a folder");
    vt::testing::WriteAll(home + "/junk-cookie.txt", std::string("\x01\x02\x03", 3));
    vt::testing::WriteAll(home + "/wrong.txt", "guess\n");
    vt::testing::WriteAll(home + "/codes.txt", "\n\r\n");
    vt::testing::WriteAll(home + "/junk.html", "<html>nothing here</html>");
    const std::vector<std::string> account = {"--nick", "vantrell_demo", "--password-file",
                                              home + "/password.txt"};
    struct Case {
        std::string name;
        std::vector<std::string> args;  // the account and --app-dir are added when set
        bool withAccount;
        std::string appDir;  // empty: none added
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {"from after to",
         {"collect", "--title", "x", "--from", "5", "--to", "2"},
         true,
         home,
         2,
         "the first page 5 comes after the last page 2"},
        {"from not a number",
         {"collect", "--title", "x", "--from", "abc"},
         true,
         home,
         2,
         "--from takes a whole number, not \"abc\""},
        {"to out of range",
         {"collect", "--title", "x", "--to", "10001"},
         true,
         home,
         2,
         "--to must be from 0 to 10000"},
        {"empty category",
         {"collect", "--category", ""},
         true,
         home,
         2,
         "--category names no category (inspect categories"},
        {"promotion that is no address",
         {"collect", "--promo", "sale"},
         true,
         home,
         2,
         "--promo takes an http:// or https:// address, not \"sale\""},
        {"unknown sort",
         {"collect", "--title", "x", "--sort", "newest"},
         true,
         home,
         2,
         "unknown --sort \"newest\"; one of: sales-desc"},
        {"unknown filter",
         {"collect", "--title", "x", "--filter", "cheap"},
         true,
         home,
         2,
         "unknown --filter \"cheap\"; one of: own"},
        {"unknown option", {"collect", "--title", "x", "--frob"}, false, "", 2, "--frob"},
        {"pacing out of range",
         {"collect", "--title", "x", "--pacing-ms", "-5"},
         true,
         home,
         2,
         "--pacing-ms"},
        {"nick without password file",
         {"collect", "--title", "x", "--nick", "a"},
         false,
         home,
         2,
         "--nick needs --password-file"},
        {"password file without nick",
         {"collect", "--title", "x", "--password-file", home + "/password.txt"},
         false,
         home,
         2,
         "--password-file needs --nick"},
        {"missing password file",
         {"collect", "--title", "x", "--nick", "a", "--password-file", home + "/none.txt"},
         false,
         home,
         2,
         "password file " + home + "/none.txt does not exist"},
        {"cookie file that holds no cookie",
         {"collect", "--title", "x", "--cookie-file", home + "/junk-cookie.txt"},
         false,
         home,
         2,
         "does not hold a cookie"},
        {"report folder missing",
         {"collect", "--title", "x", "--report", home + "/no/r.json"},
         true,
         home,
         2,
         "report folder " + home + "/no does not exist"},
        {"import without an account",
         {"import-codes", home + "/password.txt"},
         false,
         home,
         2,
         "needs the seller's account"},
        {"codes file without codes",
         {"import-codes", home + "/codes.txt"},
         true,
         home,
         2,
         "holds no product codes"},
        {"app folder that does not exist",
         {"collect", "--title", "x"},
         true,
         home + "/nowhere",
         2,
         "app folder " + home + "/nowhere does not exist"},
        {"app folder whose Log is a file",
         {"collect", "--title", "x"},
         true,
         logIsAFile.native(),
         1,
         logIsAFile.native() + "/Log is not a folder"},
        {"Hosts.ini without a role",
         {"collect", "--title", "x"},
         true,
         noRole.native(),
         1,
         "Data/Hosts.ini: [HOSTS] has no value for MarketSell"},
        {"bookstore unreachable",
         {"collect", "--title", "x"},
         true,
         closedStore.native(),
         1,
         "bookstore search (Data/Hosts.ini SourceSearch = http://127.0.0.1:1) cannot be "
         "reached: connection refused"},
        {"marketplace unreachable",
         {"import-codes", home + "/password.txt"},
         true,
         closedMarket.native(),
         1,
         "marketplace login (Data/Hosts.ini MarketLogin = http://127.0.0.1:1) cannot be "
         "reached: connection refused"},
        {"wrong password",
         {"collect", "--title", "x", "--nick", "vantrell_demo", "--password-file",
          home + "/wrong.txt"},
         false,
         home,
         1,
         "login failed: wrong member name or password for vantrell_demo"},
        {"unknown setting",
         {"collect", "--title", "x", "--set", "NoSuchKey=1"},
         true,
         home,
         2,
         "--set: no setting is named \"NoSuchKey\""},
        {"setting of the wrong kind",
         {"collect", "--title", "x", "--set", "CheckStock=maybe"},
         true,
         home,
         2,
         "--set CheckStock takes true or false, not \"maybe\""},
        {"freight template without an account",
         {"price", "--market-price", "10", "--set", "FreightTemplate=x"},
         false,
         home,
         2,
         "--set FreightTemplate needs the seller's account"},
        {"price that is no number",
         {"price", "--market-price", "abc"},
         false,
         home,
         2,
         "--market-price takes a price such as 39.80, not \"abc\""},
        {"a page that is no product page",
         {"inspect", "product", home + "/junk.html"},
         false,
         home,
         1,
         "is not a product page"},
        {"unknown category name",
         {"inspect", "categories", "nothing-like-it"},
         false,
         home,
         2,
         "no top-level category is named \"nothing-like-it\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.args;
        if (c.withAccount)
            args.insert(args.end(), account.begin(), account.end());
        if (!c.appDir.empty())
            args.insert(args.end(), {"--app-dir", c.appDir});
        const RunResult run = RunProgram(BinPath("vantrell-cli"), args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_TRUE(Contains(run.err, c.err)) << run.err;
    }
    EXPECT_TRUE(ShopCodes().empty());
}

// A real job's report: every book found in exactly one figure, each with its status and,
// unless published, its reason; the exit code follows the figures.
TEST_F(CliJobTest, TheReportOfARealJobAddsUp) {
    const std::string report = dir_.native() + "/report.json";
    const auto run = Cli({"collect", "--title", U8("中国"), "--from", "1", "--to", "2",
                          "--pacing-ms", "0", "--report", report});
    const auto doc = nlohmann::json::parse(vt::testing::ReadAll(report), nullptr, false);
    ASSERT_TRUE(doc.is_object()) << run.err;
    const auto& f = doc.at("figures");
    const long found = f.at("found"), published = f.at("published"), skipped = f.at("skipped"),
               failed = f.at("failed"), left = f.at("unprocessed");
    ASSERT_GT(found, 0);
    EXPECT_EQ(found, published + skipped + failed + left);
    EXPECT_EQ(run.exitCode, failed + left > 0 ? 4 : 0) << run.err;
    EXPECT_EQ(doc.at("exitCode"), run.exitCode);
    EXPECT_EQ(static_cast<long>(doc.at("books").size()),
              found - f.at("listStageDropped").get<long>());
    std::map<std::string, long> byStatus;
    for (const auto& b : doc.at("books")) {
        ++byStatus[b.at("status").get<std::string>()];
        if (b.at("status") != "published")
            EXPECT_FALSE(b.at("reason").get<std::string>().empty()) << b.dump();
        else
            EXPECT_TRUE(b.at("isbn").is_string()) << b.dump();
    }
    EXPECT_EQ(byStatus["published"], published);
    EXPECT_EQ(byStatus["failed"], failed);
    EXPECT_EQ(byStatus["unprocessed"], left);
    EXPECT_EQ(static_cast<long>(ShopCodes().size()), published);
    EXPECT_EQ(doc.at("counters").at("published"), published);
    EXPECT_TRUE(Contains(run.out, "Summary after")) << run.out;
    EXPECT_TRUE(Contains(
        run.out, "found " + std::to_string(found) + " = published " + std::to_string(published)))
        << run.out;

    // "--report -": the report alone on standard output, the summary on standard error.
    const auto again = Cli({"collect", "--author", U8(LoneAuthorBook()->author), "--from", "1",
                            "--to", "1", "--pacing-ms", "0", "--report", "-"});
    const auto piped = nlohmann::json::parse(again.out, nullptr, false);
    ASSERT_TRUE(piped.is_object()) << again.out;
    EXPECT_EQ(piped.at("schemaVersion"), 1);
    EXPECT_TRUE(Contains(again.err, "Summary after")) << again.err;
}

// Before the work the page range and the pacing; while it runs, with standard error not a
// terminal, a plain progress line every few seconds.
TEST_F(CliJobTest, AJobAnnouncesItselfAndShowsProgressOnAPlainStream) {
    const auto run = Cli({"collect", "--title", U8("中国"), "--to", "1", "--pacing-ms", "350"});
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 4) << run.err;
    EXPECT_TRUE(Contains(run.err, "collecting list pages 1 to 1 (defaults from Data/Setting.ini)"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "upload pacing: 350 ms per upload and account")) << run.err;
    const std::size_t line = run.err.find("\nprocessed ");
    ASSERT_NE(line, std::string::npos) << run.err;
    EXPECT_TRUE(Contains(run.err.substr(line), "elapsed 0:0")) << run.err;
    EXPECT_EQ(run.err.find('\r'), std::string::npos);  // no redrawing on a plain stream
}

// SIGINT and SIGTERM stop the job after its current items: a summary that says how many
// books were left and that a re-run continues, the report, and 128 + the signal.
TEST_F(CliJobTest, AnInterruptedJobEndsWithItsSummaryAndReport) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        const std::string report = dir_.native() + "/interrupted.json";
        std::remove(report.c_str());
        ChildProcess cli(
            BinPath("vantrell-cli"),
            {"collect", "--title", U8("中国"), "--from", "1", "--to", "5", "--pacing-ms", "400",
             "--report", report, "--nick", "vantrell_demo", "--password-file",
             dir_.native() + "/password.txt", "--app-dir", dir_.native()});
        ASSERT_TRUE(cli.started());
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(cli.Terminate(signal), 128 + signal);
        std::string out, line;
        while (cli.ReadLine(line, 2000)) out += line + "\n";
        const auto doc = nlohmann::json::parse(vt::testing::ReadAll(report), nullptr, false);
        ASSERT_TRUE(doc.is_object()) << out;
        EXPECT_EQ(doc.at("interrupted"), true);
        EXPECT_EQ(doc.at("exitCode"), 128 + signal);
        const auto& f = doc.at("figures");
        EXPECT_GT(f.at("unprocessed").get<long>(), 0);
        EXPECT_EQ(f.at("found").get<long>(),
                  f.at("published").get<long>() + f.at("skipped").get<long>() +
                      f.at("failed").get<long>() + f.at("unprocessed").get<long>());
        EXPECT_TRUE(Contains(out, "run the same command again to continue")) << out;
    }
}

// Both sites going away mid-job: the books it could not finish are no success, and the
// site is named.
TEST_F(CliJobTest, SitesThatGoAwayMidJobAreNamedAndTheJobFails) {
    const std::string report = dir_.native() + "/gone.json";
    ChildProcess cli(BinPath("vantrell-cli"),
                     {"collect", "--title", U8("中国"), "--from", "1", "--to", "3", "--pacing-ms",
                      "300", "--report", report, "--nick", "vantrell_demo", "--password-file",
                      dir_.native() + "/password.txt", "--app-dir", dir_.native(), "--set",
                      "SiteDownFailures=3"});
    ASSERT_TRUE(cli.started());
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    sim_.Terminate(SIGKILL);
    EXPECT_EQ(cli.Terminate(0), 1);  // signal 0 only waits
    const auto doc = nlohmann::json::parse(vt::testing::ReadAll(report), nullptr, false);
    ASSERT_TRUE(doc.is_object());
    EXPECT_EQ(doc.at("exitCode"), 1);
    EXPECT_TRUE(Contains(
        doc.at("cause").get<std::string>(),
        "(Data/Hosts.ini SourceSearch = " + source_ + ") cannot be reached: connection refused"))
        << doc.at("cause");
    // The job stopped itself after three failed reads in a row, and says so.
    EXPECT_TRUE(Contains(doc.at("cause").get<std::string>(), U8("连续3次无法访问")))
        << doc.at("cause");
    EXPECT_EQ(doc.at("network").at("stoppedBecause").is_string(), true) << doc.at("network");
}

TEST_F(CliJobTest, ListPagesThatCannotBeReadAreReportedAndTheJobIsPartial) {
    // A bookstore that answers every request with 500: its list pages are tried again and
    // then given up, and the job says so instead of "no books found".
    ChildProcess failing(BinPath("vantrell-sim"), {"--source-port", "0", "--market-port", "0",
                                                   "--books", "40", "--store-faults", "error=1"});
    ASSERT_TRUE(failing.started());
    std::string line, failingSource;
    while (failing.ReadLine(line) && line != "ready")
        if (line.rfind("source ", 0) == 0)
            failingSource = line.substr(7);
    ASSERT_FALSE(failingSource.empty());
    vt::testing::WriteAll(dir_.native() + "/Data/Hosts.ini", HostsIni(failingSource, market_));

    const std::string report = dir_.native() + "/lost.json";
    const auto run = Cli({"collect", "--title", U8("中国"), "--from", "1", "--to", "2",
                          "--pacing-ms", "0", "--report", report, "--set", "RetryCount=1"});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_TRUE(Contains(run.out, "2 list pages could not be read")) << run.out;
    EXPECT_FALSE(Contains(run.out, "no books found")) << run.out;
    const auto doc = nlohmann::json::parse(vt::testing::ReadAll(report), nullptr, false);
    ASSERT_TRUE(doc.is_object());
    EXPECT_EQ(doc.at("network").at("lostListPages"), 2);
    EXPECT_EQ(doc.at("network").at("lostListPageAddresses").size(), 2u);
    // One repeat each: the start's look at the first address, then the two list pages.
    EXPECT_EQ(doc.at("network").at("retries").at("store"), 3);
    EXPECT_TRUE(Contains(doc.at("cause").get<std::string>(), "2 list pages could not be read"))
        << doc.at("cause");
}

// One record as "inspect product" prints it: previewed as an item, then published, then
// skipped as already published.
TEST_F(CliJobTest, ABookRecordIsPreviewedAndPublishedOnItsOwn) {
    const sim::Book* book = LoneAuthorBook();
    ASSERT_NE(book, nullptr);
    const auto product = Cli({"inspect", "product", source_ + "/" + book->id + ".html"}, false);
    ASSERT_EQ(product.exitCode, 0) << product.err;
    auto record = nlohmann::json::parse(product.out, nullptr, false);
    ASSERT_TRUE(record.is_object()) << product.out;
    record["OuterCode"] = book->id;
    const std::string file = dir_.native() + "/book.json";
    vt::testing::WriteAll(file, record.dump());

    const auto preview = Cli({"inspect", "item", file}, false);
    ASSERT_EQ(preview.exitCode, 0) << preview.err;
    const auto item = nlohmann::json::parse(preview.out, nullptr, false);
    ASSERT_TRUE(item.is_object()) << preview.out;
    EXPECT_FALSE(item.at("title").get<std::string>().empty());
    EXPECT_EQ(item.at("price"), U8(book->salePrice));  // the shipped rule: the site price
    std::map<std::string, std::string> fields;
    for (const auto& f : item.at("fields")) fields[f.at("name")] = f.at("value");
    EXPECT_EQ(fields["_fma.pu._0.ou"], book->id) << item.at("fields").dump();
    EXPECT_TRUE(ShopCodes().empty());  // nothing was posted

    const auto first = Cli({"publish", file});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_TRUE(Contains(first.out, U8("上传成功"))) << first.out;
    EXPECT_EQ(ShopCodes(), std::vector<std::string>{book->id});
    const auto again = Cli({"publish", file});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(Contains(again.out, U8("已上传过"))) << again.out;
    EXPECT_EQ(ShopCodes().size(), 1u);

    // "inspect list" with the account skips the book it has published, as a job would;
    // without one it cannot know.
    const std::string search =
        source_ + "/?key=" + vt::UrlEncodeAnsi(book->author) + "&category_path=01.00.00.00.00.00";
    const auto withAccount = Cli({"inspect", "list", search});
    const auto without = Cli({"inspect", "list", search}, false);
    ASSERT_EQ(withAccount.exitCode, 0) << withAccount.err;
    ASSERT_EQ(without.exitCode, 0) << without.err;
    const auto listed = nlohmann::json::parse(withAccount.out, nullptr, false);
    const auto listedAnyway = nlohmann::json::parse(without.out, nullptr, false);
    ASSERT_TRUE(listed.is_object() && listedAnyway.is_object());
    EXPECT_EQ(listed.at("rows").size(), 0u) << withAccount.out;
    EXPECT_EQ(listed.at("counters").at("pendingFiltered"), 1);
    ASSERT_EQ(listedAnyway.at("rows").size(), 1u) << without.out;
    EXPECT_EQ(listedAnyway.at("rows")[0].at("mark"), book->id);

    vt::testing::WriteAll(file, "[1, 2]");
    const auto junk = Cli({"inspect", "item", file}, false);
    EXPECT_EQ(junk.exitCode, 2);
    EXPECT_TRUE(Contains(junk.err, "is no JSON object")) << junk.err;
}

TEST_F(CliJobTest, ImportCodesPublishesTheImportedBook) {
    const sim::Book* book = LoneAuthorBook();
    ASSERT_NE(book, nullptr);
    const std::string codes = dir_.native() + "/codes.txt";
    // A byte order mark and blank lines, as an editor leaves them.
    vt::testing::WriteAll(codes, "\xEF\xBB\xBF\r\n" + book->id + "\r\n\r\n  \r\n");
    const auto run = Cli({"import-codes", codes, "--pacing-ms", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ShopCodes(), std::vector<std::string>{book->id});
}

TEST(CliDemo, RunsTheWholeSystemAndShowsTheShop) {
    vt::testing::TempAppDir dir(false);
    const auto run = RunProgram(BinPath("vantrell-sim"),
                                {"demo", "--dir", dir.native() + "/demo", "--pacing-ms", "0"});
    // The stand-in refuses a few books on purpose: a partial job is the honest outcome.
    ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 4) << run.exitCode << run.err;
    EXPECT_TRUE(Contains(run.out, "Summary after")) << run.out;
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

TEST(CliDemo, LeavesAFolderItDidNotMakeAlone) {
    vt::testing::TempAppDir dir(false);
    const std::string mine = dir.native() + "/mine";
    std::filesystem::create_directories(mine);
    vt::testing::WriteAll(mine + "/prices.xlsx", "the seller's own");
    const auto run = RunProgram(BinPath("vantrell-sim"), {"demo", "--dir", mine});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_TRUE(Contains(run.err, "not empty and was not made by the demo")) << run.err;
    EXPECT_EQ(vt::testing::ReadAll(mine + "/prices.xlsx"), "the seller's own");
}

TEST(CliHelp, ReadableOnAUtf8TerminalWithTheExitCodesAndChoices) {
    const auto none = RunProgram(BinPath("vantrell-cli"), {});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_TRUE(Contains(none.out, "Subcommands:")) << none.out;
    EXPECT_TRUE(Contains(none.out, "2    usage error")) << none.out;

    const auto version = RunProgram(BinPath("vantrell-cli"), {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("vantrell-cli ", 0), 0u) << version.out;

    const auto collect = RunProgram(BinPath("vantrell-cli"), {"collect", "--help"});
    EXPECT_EQ(collect.exitCode, 0);
    // UTF-8, not GBK bytes: the labels read as typed, with their ASCII aliases.
    EXPECT_TRUE(Contains(collect.out,
                         "sales-desc (\xE9\x94\x80\xE5\x94\xAE\xE7\x94\xB1\xE9\xAB\x98"
                         "\xE5\x88\xB0\xE4\xBD\x8E)"))
        << collect.out;
    EXPECT_TRUE(
        Contains(collect.out, "in-stock (\xE5\x8F\xAA\xE7\x9C\x8B\xE6\x9C\x89\xE8\xB4\xA7)"))
        << collect.out;
    EXPECT_TRUE(Contains(collect.out,
                         "Book title keyword (\xE6\x8C\x89\xE5\x9B\xBE\xE4\xB9\xA6"
                         "\xE5\x90\x8D\xE7\xA7\xB0)"))
        << collect.out;
}

}  // namespace
