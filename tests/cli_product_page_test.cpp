// "vantrell-cli inspect product" run as the seller would: on a saved product page of
// the stand-in bookstore, and on its address.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/text.h"
#include "sim/bookstore_sim.h"
#include "sim/html_escape.h"
#include "support/product_pages.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::U8;

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
};

CliRun Cli(const std::string& args) {
    const std::string command = std::string(VT_BIN_DIR) + "/vantrell-cli " + args + " 2>/dev/null";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) run.out.append(buf.data(), n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

class CliInspectProductTest : public ::testing::Test {
protected:
    void ExpectBook(const nlohmann::json& doc, const sim::Book& b) {
        EXPECT_EQ(doc.at("BookName"), U8(b.title));
        EXPECT_EQ(doc.at("ISBN"), b.secondIsbn.empty() ? b.isbn : b.isbn + "\r\n" + b.secondIsbn);
        EXPECT_EQ(doc.at("Author"), U8(sim::EscapeHtml(b.author)));
        EXPECT_EQ(doc.at("PressName"), U8(sim::EscapeHtml(b.publisher)));
        EXPECT_EQ(doc.at("PressDate"), b.date);
        EXPECT_EQ(doc.at("MarketPrice"), b.listPrice);
        EXPECT_EQ(doc.at("SellPrice"), b.salePrice);
        EXPECT_EQ(doc.at("HeadTitle"), U8(GbkPrefix(sim::EscapeHtml(b.headTitle), 150)));
        EXPECT_EQ(doc.at("RemoteImageUrl"), store_.origin() + b.picture);
        EXPECT_EQ(doc.at("CanBuy"), !b.Has(sim::Trait::NoBuyButton));
        EXPECT_EQ(doc.at("WordCount"), U8(b.wordCount));
        EXPECT_EQ(doc.at("PageCount"), U8(b.pageCount));
        EXPECT_EQ(doc.at("Edition"), U8(b.edition));
        EXPECT_EQ(doc.at("Binding"), U8(b.binding));
        EXPECT_EQ(doc.at("BookFormat"), U8(b.format));
        EXPECT_TRUE(doc.at("BuyingNote").is_string());
        for (const char* section : {"EditorRecommend", "Abstract", "AuthorRemark", "BookCatalog",
                                    "Preface", "MediaReview"})
            EXPECT_TRUE(doc.at(section).is_string()) << section;
        EXPECT_NE(doc.at("Abstract").get<std::string>().find(U8("。")), std::string::npos);
    }

    sim::BookstoreSim store_;
    vt::testing::TempAppDir dir_;
};

TEST_F(CliInspectProductTest, SavedPagePrintsEveryFieldAsUtf8Json) {
    const sim::Book& b = *store_.catalog().FirstWith(sim::Trait::TwoIsbn);
    const std::string file = dir_.native() + "/product.html";
    vt::testing::WriteAll(file, vt::testing::ProductPageText(store_, b.id));

    const CliRun run =
        Cli("inspect product " + Quoted(file) + " --app-dir " + Quoted(dir_.native()));
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto doc = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << run.out;
    ExpectBook(doc, b);

    const sim::Book& partial = *store_.catalog().FirstWith(sim::Trait::PartialCities);
    vt::testing::WriteAll(file, vt::testing::ProductPageText(store_, partial.id));
    const auto note = nlohmann::json::parse(
        Cli("inspect product " + Quoted(file) + " --app-dir " + Quoted(dir_.native())).out, nullptr,
        false);
    ASSERT_FALSE(note.is_discarded());
    EXPECT_EQ(note.at("BuyingNote"), U8("仅支持部分城市购买,购买前请联系卖家!"));
}

TEST_F(CliInspectProductTest, AddressIsFetchedFromTheBookstore) {
    ASSERT_TRUE(store_.Start("127.0.0.1", 0));
    const sim::Book& b = *store_.catalog().FirstWith(sim::Trait::LongHeadTitle);
    const CliRun run = Cli("inspect product " + Quoted(store_.origin() + "/" + b.id + ".html") +
                           " --app-dir " + Quoted(dir_.native()));
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto doc = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << run.out;
    ExpectBook(doc, b);
}

TEST_F(CliInspectProductTest, UnreadableSourcesFail) {
    EXPECT_NE(Cli("inspect product " + Quoted(dir_.native() + "/missing.html")).exitCode, 0);
    EXPECT_NE(Cli("inspect product http://127.0.0.1:1/1.html").exitCode, 0);
    EXPECT_NE(Cli("inspect product").exitCode, 0);
}

TEST_F(CliInspectProductTest, ManyPagesGiveOneJsonLineEachInOrder) {
    const sim::Book& first = *store_.catalog().FirstWith(sim::Trait::TwoIsbn);
    const sim::Book& second = *store_.catalog().FirstWith(sim::Trait::LongHeadTitle);
    const std::string a = dir_.native() + "/a.html";
    const std::string b = dir_.native() + "/b.html";
    vt::testing::WriteAll(a, vt::testing::ProductPageText(store_, first.id));
    vt::testing::WriteAll(b, vt::testing::ProductPageText(store_, second.id));
    auto lines = [](const std::string& out) {
        std::vector<nlohmann::json> docs;
        std::size_t from = 0;
        for (std::size_t end; (end = out.find('\n', from)) != std::string::npos; from = end + 1)
            docs.push_back(nlohmann::json::parse(out.substr(from, end - from), nullptr, false));
        return docs;
    };

    const CliRun both = Cli("inspect product " + Quoted(a) + " " + Quoted(b) + " " + Quoted(a) +
                            " --app-dir " + Quoted(dir_.native()));
    ASSERT_EQ(both.exitCode, 0) << both.out;
    const auto docs = lines(both.out);
    ASSERT_EQ(docs.size(), 3u) << both.out;
    for (const auto& doc : docs) ASSERT_FALSE(doc.is_discarded()) << both.out;
    ExpectBook(docs[0], first);
    ExpectBook(docs[1], second);
    ExpectBook(docs[2], first);
    EXPECT_EQ(docs[1].at("source"), b);

    // A page that cannot be read fails the run; the others are still read.
    const CliRun missing = Cli("inspect product " + Quoted(dir_.native() + "/missing.html") + " " +
                               Quoted(b) + " --app-dir " + Quoted(dir_.native()));
    EXPECT_NE(missing.exitCode, 0);
    const auto rest = lines(missing.out);
    ASSERT_EQ(rest.size(), 1u) << missing.out;
    ExpectBook(rest[0], second);
}

}  // namespace
