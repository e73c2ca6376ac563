// "vantrell-cli inspect list" and "inspect categories" run as the seller would, on an
// installed tree whose hosts are the stand-in bookstore on 127.0.0.1; and the commands
// whose requests the stand-ins must be asked about (pages a job fetched, items a publish
// left in the shop), with both stand-ins in this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "base/hosts.h"
#include "base/text.h"
#include "sim/bookstore_pages.h"
#include "sim/bookstore_sim.h"
#include "sim/form_parsing.h"
#include "sim/market_sim.h"
#include "support/child_process.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::BinPath;
using vt::testing::RunProgram;
using vt::testing::U8;

namespace {

class InspectCliTest : public ::testing::Test {
protected:
    InspectCliTest() {
        store.Start("127.0.0.1", 0);
        // The marketplace is not needed here: its roles point at a closed loopback port.
        std::string ini = "[HOSTS]\r\n";
        for (std::size_t i = 0; i < kHostRoleCount; ++i) {
            const auto role = static_cast<HostRole>(i);
            ini += std::string(HostKey(role)) + "=" +
                   (role <= HostRole::SourcePromo ? store.origin()
                                                  : vt::testing::kClosedLoopbackOrigin) +
                   "\r\n";
        }
        vt::testing::WriteAll(dir.native() + "/Data/Hosts.ini", ini);
    }
    ~InspectCliTest() override { store.Stop(); }

    nlohmann::json Run(std::vector<std::string> args) {
        args.insert(args.begin(), "inspect");
        args.push_back("--app-dir");
        args.push_back(dir.native());
        const auto run = RunProgram(BinPath("vantrell-cli"), args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return nlohmann::json::parse(run.out, nullptr, false);
    }

    vt::testing::TempAppDir dir;
    sim::BookstoreSim store;
};

}  // namespace

TEST_F(InspectCliTest, ListShowsTheRowsOfASavedSearchPageAndWhatWasDropped) {
    std::vector<sim::Book> books(3, *store.catalog().FirstPlain());
    books[0].id = "25000001";
    books[1].id = "25000002";
    books[1].date.clear();  // dropped and counted
    books[2].id = "25000003";
    books[2].title = "算法导论（第三版）";
    std::vector<const sim::Book*> items = {&books[0], &books[1], &books[2]};
    const std::string file = dir.native() + "/search.html";
    vt::testing::WriteAll(file, sim::SearchPage(store.origin(), "k", items, 1, 1));

    const auto doc = Run({"list", "--layout", "search", file});
    ASSERT_TRUE(doc.is_object());
    ASSERT_EQ(doc.at("rows").size(), 2u);
    const auto& first = doc.at("rows")[0];
    ASSERT_EQ(first.size(), 12u);  // keyed by column name, prices and numbers as numbers
    EXPECT_EQ(first.at("mark"), "25000001");
    EXPECT_EQ(first.at("number"), 1);
    EXPECT_EQ(first.at("title"), U8(books[0].title));
    EXPECT_EQ(first.at("date"), books[0].date);
    EXPECT_TRUE(first.at("listPrice").is_number()) << first.dump();
    EXPECT_EQ(doc.at("rows")[1].at("mark"), "25000003");
    EXPECT_EQ(doc.at("rows")[1].at("title"), U8("算法导论"));
    EXPECT_EQ(doc.at("counters").at("toCollect"), 2);
    EXPECT_EQ(doc.at("counters").at("pendingFiltered"), 1);
    EXPECT_EQ(doc.at("noProducts"), false);
}

TEST_F(InspectCliTest, ListReadsAPromotionPageByItsAddress) {
    const sim::Promotion& promo = store.catalog().promotions().front();
    const auto doc = Run({"list", "--layout", "promo", store.origin() + promo.path});
    ASSERT_TRUE(doc.is_object());
    const std::size_t pageSize = static_cast<std::size_t>(store.catalog().options().pageSize);
    const std::size_t expected = std::min(pageSize, promo.ids.size());
    ASSERT_EQ(doc.at("rows").size(), expected);
    for (std::size_t i = 0; i < expected; ++i)
        EXPECT_EQ(doc.at("rows")[i].at("mark"), promo.ids[i]);
}

TEST_F(InspectCliTest, CategoriesOfTheHomePageAndOfOneCategory) {
    const auto& tops = store.catalog().categories();
    auto doc = Run({"categories"});
    ASSERT_TRUE(doc.is_object());
    ASSERT_EQ(doc.at("categories").size(), tops.size());
    EXPECT_EQ(doc.at("categories")[0].at("text"), U8(tops[0].name));
    EXPECT_EQ(doc.at("categories")[0].at("url"), store.origin() + tops[0].Path());

    doc = Run({"categories", tops[1].Path()});
    ASSERT_TRUE(doc.is_object());
    ASSERT_EQ(doc.at("categories").size(), tops[1].children.size());
    EXPECT_EQ(doc.at("categories")[0].at("text"), U8(tops[1].children[0].name));

    // A top-level category by its name gives the same.
    const auto byName = Run({"categories", U8(tops[1].name)});
    EXPECT_EQ(byName.at("categories"), doc.at("categories"));
}

TEST_F(InspectCliTest, AMissingFileFails) {
    const auto run =
        RunProgram(BinPath("vantrell-cli"),
                   {"inspect", "list", dir.native() + "/nothing.html", "--app-dir", dir.native()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.out.empty());
}

namespace {

// Both stand-ins in this process, so that their request records and the shop can be read.
class StandInCliTest : public ::testing::Test {
protected:
    StandInCliTest() {
        store.Start("127.0.0.1", 0);
        market.Start("127.0.0.1", 0);
        std::string ini = "[HOSTS]\r\n";
        for (std::size_t i = 0; i < kHostRoleCount; ++i) {
            const auto role = static_cast<HostRole>(i);
            ini += std::string(HostKey(role)) + "=" +
                   (role <= HostRole::SourcePromo ? store.origin() : market.origin()) + "\r\n";
        }
        for (const vt::testing::TempAppDir* d : {&dir, &otherDir}) {
            vt::testing::WriteAll(d->native() + "/Data/Hosts.ini", ini);
            vt::testing::WriteAll(d->native() + "/password.txt", "demo123\n");
        }
    }
    ~StandInCliTest() override {
        store.Stop();
        market.Stop();
    }

    // in: the app folder (default dir).
    vt::testing::RunResult Cli(std::vector<std::string> args, bool withAccount = true,
                               const vt::testing::TempAppDir* in = nullptr) {
        const std::string folder = (in ? in : &dir)->native();
        if (withAccount)
            args.insert(args.end(),
                        {"--nick", "vantrell_demo", "--password-file", folder + "/password.txt"});
        args.insert(args.end(), {"--app-dir", folder});
        return RunProgram(BinPath("vantrell-cli"), args);
    }

    // The page_index values of the bookstore requests to this path, in order.
    std::vector<std::string> PagesAsked(const std::string& path) {
        std::vector<std::string> pages;
        for (const auto& r : store.server().Requests())
            if (r.path == path && r.query.count("page_index"))
                pages.push_back(r.query.at("page_index"));
        return pages;
    }

    // A book record as "inspect product" prints it, named by its product code.
    nlohmann::json Record(const sim::Book& book) {
        const auto run =
            Cli({"inspect", "product", store.origin() + "/" + book.id + ".html"}, false);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        auto record = nlohmann::json::parse(run.out, nullptr, false);
        EXPECT_TRUE(record.is_object()) << run.out;
        record["OuterCode"] = book.id;
        return record;
    }

    // Two different plain books of the catalog.
    std::vector<const sim::Book*> PlainBooks(std::size_t n) {
        std::vector<const sim::Book*> found;
        for (const sim::Book& b : store.catalog().books())
            if (b.Plain() && found.size() < n)
                found.push_back(&b);
        return found;
    }

    // The GBK character most titles hold: a keyword with several list pages.
    std::string CommonCharacter() {
        std::map<std::string, int> counts;
        for (const sim::Book& book : store.catalog().books()) {
            std::set<std::string> seen;
            const std::string& t = book.title;
            for (std::size_t i = 0; i + 1 < t.size();) {
                if (!IsGbkLeadByte(static_cast<unsigned char>(t[i]))) {
                    ++i;
                    continue;
                }
                if (seen.insert(t.substr(i, 2)).second)
                    ++counts[t.substr(i, 2)];
                i += 2;
            }
        }
        auto best =
            std::max_element(counts.begin(), counts.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        return best == counts.end() ? std::string() : best->first;
    }

    vt::testing::TempAppDir dir;
    vt::testing::TempAppDir otherDir;  // a second installation on the same account
    // Small pages, so that a job over a few of them reads few products.
    sim::BookstoreSim store{sim::CatalogOptions{7, 300, 10}};
    sim::MarketSim market;
};

}  // namespace

// From page 0: a keyword job skips page 0 and fetches 1 and 2, each once; a promotion job
// fetches page index 0 as a page of its own.
TEST_F(StandInCliTest, CollectFromPageZero) {
    const std::string character = CommonCharacter();
    ASSERT_GE(store.catalog().Search(character).size(), 30u);
    const std::string term = U8(character);
    const auto keyword = Cli({"collect", "--title", term, "--from", "0", "--to", "2",
                              "--no-publish", "--pacing-ms", "0"});
    EXPECT_EQ(keyword.exitCode, 0) << keyword.err;
    std::vector<std::string> pages = PagesAsked("/");
    std::sort(pages.begin(), pages.end());
    EXPECT_EQ(pages, (std::vector<std::string>{"1", "2"}));

    store.server().ClearRequests();
    const sim::Promotion& promo = store.catalog().promotions().front();
    const auto promotion = Cli({"collect", "--promo", store.origin() + promo.path, "--from", "0",
                                "--to", "1", "--no-publish", "--pacing-ms", "0"});
    EXPECT_EQ(promotion.exitCode, 0) << promotion.err;
    pages = PagesAsked(promo.path);
    std::sort(pages.begin(), pages.end());
    EXPECT_EQ(pages, (std::vector<std::string>{"0", "1"}));

    // Page numbers still end at 10000, and the first must not come after the last.
    const auto past = Cli({"collect", "--title", term, "--from", "0", "--to", "10001"});
    EXPECT_EQ(past.exitCode, 2);
    const auto reversed = Cli({"collect", "--title", term, "--from", "3", "--to", "0"});
    EXPECT_EQ(reversed.exitCode, 2);
}

// The on-sale check of "inspect list" asks the shop with the account's goods token: a
// book another installation put on sale is dropped, as in a job.
TEST_F(StandInCliTest, InspectListFindsABookOnSale) {
    const std::vector<const sim::Book*> books = PlainBooks(2);
    ASSERT_EQ(books.size(), 2u);
    const std::string file = dir.native() + "/book.json";
    vt::testing::WriteAll(file, Record(*books[0]).dump());
    // This installation's own records do not know the book: only the shop does.
    const auto publish = Cli({"publish", file, "--set", "DirectSentP=true"}, true, &otherDir);
    ASSERT_EQ(publish.exitCode, 0) << publish.err;
    ASSERT_EQ(market.Items().size(), 1u);
    ASSERT_TRUE(market.Items()[0].onSale);

    std::vector<const sim::Book*> listed = {books[0], books[1]};
    const std::string page = dir.native() + "/search.html";
    vt::testing::WriteAll(page, sim::SearchPage(store.origin(), "k", listed, 1, 1));
    auto list = [&](const char* check) {
        const auto run =
            Cli({"inspect", "list", page, "--set", std::string("CheckByOuterCode=") + check});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return nlohmann::json::parse(run.out, nullptr, false);
    };
    const auto checked = list("true");
    ASSERT_TRUE(checked.is_object());
    ASSERT_EQ(checked.at("rows").size(), 1u) << checked.dump();
    EXPECT_EQ(checked.at("rows")[0].at("mark"), books[1]->id);
    EXPECT_EQ(checked.at("counters").at("pendingFiltered"), 1);
    const auto unchecked = list("false");
    ASSERT_TRUE(unchecked.is_object());
    EXPECT_EQ(unchecked.at("rows").size(), 2u) << unchecked.dump();
}

// Two records in one process: the second, whose ISBN is its own product code, carries
// the ISBN of the first as a job's publishing thread would; given descriptions are used
// as they are; the report is a job's.
TEST_F(StandInCliTest, PublishOfSeveralRecordsCarriesTheLastIsbn) {
    const std::vector<const sim::Book*> books = PlainBooks(2);
    ASSERT_EQ(books.size(), 2u);
    nlohmann::json first = Record(*books[0]);
    nlohmann::json second = Record(*books[1]);
    second["ISBN"] = books[1]->id;
    second["Description"] = "<p>given description</p>";
    second["MobileDescription"] = "<p>given mobile</p>";
    const std::string file = dir.native() + "/books.json";
    vt::testing::WriteAll(file, nlohmann::json::array({first, second}).dump());
    const std::string report = dir.native() + "/report.json";

    const auto run = Cli({"publish", file, "--report", report, "--set", "DiscripToMobleP=false"});
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    const std::vector<sim::ShopItem> items = market.Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].outerCode, books[0]->id);
    EXPECT_EQ(items[1].outerCode, books[1]->id);
    const std::string firstIsbn = first.at("ISBN").get<std::string>();
    ASSERT_NE(firstIsbn, books[0]->id);
    EXPECT_EQ(sim::FieldValue(items[0].fields, "cp_1636953"), firstIsbn);
    EXPECT_EQ(sim::FieldValue(items[1].fields, "cp_1636953"), firstIsbn);
    EXPECT_NE(GbkToUtf8(items[1].description).find("given description"), std::string::npos)
        << items[1].description;

    const auto doc = nlohmann::json::parse(vt::testing::ReadAll(report), nullptr, false);
    ASSERT_TRUE(doc.is_object());
    EXPECT_EQ(doc.at("command"), "publish");
    EXPECT_EQ(doc.at("exitCode"), 0);
    EXPECT_EQ(doc.at("figures").at("found"), 2);
    EXPECT_EQ(doc.at("figures").at("published"), 2);
    ASSERT_EQ(doc.at("books").size(), 2u);
    EXPECT_EQ(doc.at("books")[1].at("code"), books[1]->id);
    EXPECT_EQ(doc.at("books")[1].at("status"), "published");
    EXPECT_EQ(doc.at("counters").at("published"), 2) << doc.at("counters").dump();

    // The same records again: each is already published, and that is no failure.
    const auto again = Cli({"publish", file, "--report", "-"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    const auto second_doc = nlohmann::json::parse(again.out, nullptr, false);
    ASSERT_TRUE(second_doc.is_object()) << again.out;
    EXPECT_EQ(second_doc.at("figures").at("skipped"), 2);
    EXPECT_EQ(market.Items().size(), 2u);

    // --picture names one book's picture.
    const auto picture = Cli({"publish", file, "--picture", file});
    EXPECT_EQ(picture.exitCode, 2);
}
