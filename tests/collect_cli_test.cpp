// "vantrell-cli inspect list" and "inspect categories" run as the seller would, on an
// installed tree whose hosts are the stand-in bookstore on 127.0.0.1.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/hosts.h"
#include "sim/bookstore_pages.h"
#include "sim/bookstore_sim.h"
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
