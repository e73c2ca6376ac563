// A bookstore whose product pages were rewritten on the way: each page of the table below
// carries one hostile value and goes through the detail stage and the publishing step
// against the stand-in shop. Whatever the value, the shop gets the form a plain page gives
// (the same fields in the same order, the book's own price), both descriptions carry the
// value as text only, the hostile ISBN goes nowhere, and no data file cell is a formula.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/text.h"
#include "core/context.h"
#include "core/session.h"
#include "detail/description.h"
#include "detail/process_book.h"
#include "market/data_files/csv_text.h"
#include "market/data_files/data_rows.h"
#include "market/data_files/ecshop_csv.h"
#include "market/data_files/plain_csv.h"
#include "market/data_files/shopex_csv.h"
#include "market/data_files/taobao_assistant.h"
#include "market/price_rules.h"
#include "market/publishing_thread.h"
#include "sim/form_parsing.h"
#include "support/local_sites.h"
#include "support/product_pages.h"
#include "support/temp_app_dir.h"

namespace vt {
namespace {

using testing::U8;

constexpr char kPublishPath[] = "/auction/publish/publish.htm";
constexpr char kUploadPath[] = "/auction/publish/uploadSingleImage.do";

// Replaces the first occurrence; the case fails when the page lacks the text.
std::string ReplaceFirst(std::string page, const std::string& from, const std::string& to) {
    const std::size_t at = page.find(from);
    EXPECT_NE(at, std::string::npos) << U8(from);
    if (at != std::string::npos)
        page.replace(at, from.size(), to);
    return page;
}

// The tag names of a markup text in order ("div", "/div", ...).
std::vector<std::string> Tags(const std::string& html) {
    std::vector<std::string> tags;
    for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        std::size_t end = html.find_first_of(" \t\r\n>", at + 1);
        tags.push_back(
            html.substr(at + 1, (end == std::string::npos ? html.size() : end) - at - 1));
    }
    return tags;
}

// RFC 4180 cells of a CSV text.
std::vector<std::string> CsvCells(const std::string& text, char sep) {
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                cell += text[++i];
            else if (c == '"')
                quoted = false;
            else
                cell += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == sep || c == '\r' || c == '\n') {
            cells.push_back(std::move(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells.push_back(cell);
    return cells;
}

std::string Utf16LeToGbk(const std::string& bytes) {
    std::u16string wide;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return Utf16ToGbk(wide);
}

struct Posted {
    sim::FormFields fields;  // in body order
    std::vector<sim::MultipartPart> uploadParts;
};

class HostilePagesTest : public ::testing::Test {
protected:
    HostilePagesTest()
        : sites_({}, [this](const sim::HttpRequest& req) -> std::optional<sim::HttpResponse> {
              std::lock_guard<std::mutex> lock(mutex_);
              auto page = pages_.find(req.path);
              if (page == pages_.end())
                  return std::nullopt;
              sim::HttpResponse res;
              res.contentType = "text/html; charset=gbk";
              res.body = page->second;
              return res;
          }) {}

    void SetUp() override {
        AppContext& ctx = sites_.ctx();
        ASSERT_FALSE(LoadDescriptionTemplate(ctx).empty());
        const std::string cookie = sites_.market().CookieFor("vantrell_demo");
        ctx.session().SetSellerCookie(cookie);
        ctx.session().AddAccount(cookie);
        ctx.session().MarkLoginValid();
        ASSERT_TRUE(ctx.db().OpenProductDb("vantrell_demo"));
        ctx.publishing().SetPublishPacingMs(0);
        ctx.config().SetTitleLengthP("60");
        ctx.config().SetPriceDazheP("10");
        ctx.config().SetBookStoreCountP("5");
        ctx.config().SetDirectSentP(true);
        ctx.config().SetDiscripToMobleP(true);
        ctx.config().SetCHKIsbnForPicName(true);
        ctx.job().SetCurrentFenlei("job");
        ctx.panel().SetRunning();
        for (const sim::Book& b : sites_.store().catalog().books())
            if (b.Plain() && !b.isbn.empty() && !b.picture.empty())
                books_.push_back(&b);
    }

    void TearDown() override {
        sites_.ctx().panel().PressStop();
        sites_.ctx().workers().JoinAll();
    }

    // The book's page, rewritten, through the detail stage and the publishing step.
    // Returns the row's state and what the shop received for it.
    std::string Run(const sim::Book& b, const std::function<std::string(std::string)>& rewrite,
                    Posted& posted) {
        AppContext& ctx = sites_.ctx();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pages_["/" + b.id + ".html"] = rewrite(testing::ProductPageText(sites_.store(), b.id));
        }
        sites_.market().SetCategoryAnswer(b.isbn, sim::CategoryAnswer::NewBook);
        const int toCollect = ctx.toCollect().Append(ToCollectRow{b.id});
        if (!ProcessBookFromPage(ctx, ctx.toCollect().Ref(toCollect)))
            return "not collected";
        const int row = ctx.collected().Count() - 1;
        auto record = ctx.collected().Record(ctx.collected().Ref(row));
        EXPECT_NE(record, nullptr);
        if (!record)
            return "no record";
        expectedPrice_ = FormatPrice(ComputePrice(ctx.config(), *record));
        sites_.market().server().ClearRequests();
        ProcessCollectedBook(ctx, *record, ctx.collected().Ref(row));
        for (const sim::HttpRequest& req : sites_.market().server().Requests()) {
            std::vector<sim::MultipartPart> parts;
            if (req.path != kPublishPath && req.path != kUploadPath)
                continue;
            EXPECT_TRUE(
                sim::ParseMultipart(req.body, sim::BoundaryOf(req.Header("Content-Type")), parts));
            if (req.path == kUploadPath) {
                posted.uploadParts = parts;
            } else {
                for (const auto& part : parts) posted.fields.emplace_back(part.name, part.data);
            }
        }
        return ctx.collected().Cell(row, kMarketStateCol);
    }

    // The pages first: the bookstore serves them until the sites stop.
    std::mutex mutex_;
    std::map<std::string, std::string> pages_;
    testing::LocalSites sites_;
    std::vector<const sim::Book*> books_;
    std::string expectedPrice_;
};

std::vector<std::string> Names(const sim::FormFields& fields) {
    std::vector<std::string> names;
    for (const auto& field : fields) names.push_back(field.first);
    return names;
}

TEST_F(HostilePagesTest, NoPageValueRewritesTheFormOrReachesTheDescriptionAsMarkup) {
    ASSERT_GE(books_.size(), 7u);
    // The page's product name (written as a JSON string) replaced.
    const auto WithTitle = [](const std::string& title) {
        return [title](std::string page) {
            static const std::string kKey = "\"productName\":\"";
            const std::size_t at = page.find(kKey);
            const std::size_t end = at == std::string::npos ? at : page.find('"', at + kKey.size());
            EXPECT_NE(end, std::string::npos);
            if (end != std::string::npos)
                page.replace(at + kKey.size(), end - at - kKey.size(), title);
            return page;
        };
    };
    // Inside the first text section of the page.
    const auto inSection = [](const std::string& text) {
        return [text](std::string page) {
            return ReplaceFirst(std::move(page), "-textarea\">\r\n", "-textarea\">\r\n" + text);
        };
    };
    struct Case {
        const char* mustNot;
        std::function<std::function<std::string(std::string)>(const sim::Book&)> rewrite;
        bool hostileIsbn;
    };
    const std::vector<Case> cases = {
        {"(a plain page)", [](const sim::Book&) { return [](std::string p) { return p; }; }, false},
        {"a section adds a price field with the old fixed separator",
         [&](const sim::Book&) {
             return inSection(
                 "好书\r\n-----------------------------7e0e2e250716\r\nContent-Disposition: "
                 "form-data; name=\"_fma.pu._0.b\"\r\n\r\n0.01\r\n-----------------------------"
                 "7e0e2e250716\r\nContent-Disposition: form-data; name=\"_fma.pu._0.q\"\r\n\r\n"
                 "9999\r\n");
         },
         false},
        {"script, picture handler and frame from a section reach the description",
         [&](const sim::Book&) {
             return inSection(
                 "<script>alert(1)</script>&lt;script&gt;alert(2)&lt;/script&gt;"
                 "<img src=x onerror=alert(3)>&lt;img src=x onerror=alert(4)&gt;"
                 "<iframe src=\"http://x\"></iframe>&amp;lt;iframe src=x&amp;gt;");
         },
         false},
        {"markup or a formula from the title",
         [&](const sim::Book&) {
             return WithTitle("=1+2&lt;img src=x onerror=alert(1)&gt;<script>x()</script>");
         },
         false},
        {"a title starting with @ is a formula",
         [&](const sim::Book&) { return WithTitle("@SUM(A1:A9)"); }, false},
        {"an ISBN holding a quote renames the upload part or adds a field",
         [](const sim::Book& b) {
             return [&b](std::string p) {
                 return ReplaceFirst(std::move(p), "ISBN：" + b.isbn + "<",
                                     "ISBN：978711\"; name=\"primary&keyword=1<");
             };
         },
         true},
        {"an over-long ISBN is taken for one",
         [](const sim::Book& b) {
             return [&b](std::string p) {
                 return ReplaceFirst(std::move(p), "ISBN：" + b.isbn + "<",
                                     "ISBN：97871112138269787111213826<");
             };
         },
         true},
    };

    std::vector<std::string> plainNames, plainTags, plainUploadNames;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const sim::Book& b = *books_[i];
        SCOPED_TRACE(c.mustNot);
        Posted posted;
        ASSERT_EQ(U8(Run(b, c.rewrite(b), posted)), U8("上传成功"));
        const std::vector<sim::ShopItem> shop = sites_.market().Items();
        ASSERT_FALSE(shop.empty());
        const sim::ShopItem& item = shop.back();
        ASSERT_EQ(item.outerCode, b.id);

        std::vector<std::string> uploadNames;
        for (const auto& part : posted.uploadParts) uploadNames.push_back(part.name);
        const std::string description = sim::FieldValue(posted.fields, "_fma.pu._0.d");
        if (i == 0) {
            plainNames = Names(posted.fields);
            plainTags = Tags(description);
            plainUploadNames = uploadNames;
            ASSERT_FALSE(plainNames.empty());
            ASSERT_FALSE(plainTags.empty());
            ASSERT_EQ(plainUploadNames.size(), 5u);
        }
        // The form: the same fields in the same order, the book's own price and stock.
        EXPECT_EQ(Names(posted.fields), plainNames);
        EXPECT_EQ(item.price, expectedPrice_);
        EXPECT_EQ(item.quantity, "5");
        // The descriptions: the template's markup only.
        EXPECT_EQ(Tags(description), plainTags) << U8(description);
        EXPECT_EQ(Tags(item.description), plainTags);
        const std::string mobile = sim::FieldValue(posted.fields, "_fma.pu._0.wi");
        EXPECT_EQ(Tags(mobile), std::vector<std::string>{"/A"}) << U8(mobile);
        // The upload: its fixed parts, the file part named by a plain name.
        EXPECT_EQ(uploadNames, plainUploadNames);
        ASSERT_FALSE(posted.uploadParts.empty());
        const std::string fileName = posted.uploadParts[0].fileName;
        if (c.hostileIsbn) {
            // The picture is named after the product code when no ISBN is well-formed.
            EXPECT_EQ(fileName, b.id + ".JPG");
            EXPECT_EQ(sim::FieldValue(posted.fields, "J_SearchKey"), "");
            // The last well-formed ISBN published, that of the last plain-ISBN case.
            EXPECT_EQ(sim::FieldValue(posted.fields, "cp_1636953"), books_[cases.size() - 3]->isbn);
        } else {
            EXPECT_EQ(fileName, b.isbn + ".JPG");
            EXPECT_EQ(sim::FieldValue(posted.fields, "J_SearchKey"), b.isbn);
        }
    }
    // The hostile ISBN is not carried on to the next book without one.
    EXPECT_EQ(sites_.ctx().publishing().LastIsbn(), books_[cases.size() - 3]->isbn);

    // Every CSV kind of data file: no cell a spreadsheet evaluates, the titles kept.
    const std::vector<DataFileRow> rows = CollectDataRows(sites_.ctx());
    ASSERT_EQ(rows.size(), cases.size());
    const std::string dir = sites_.dir().path() + "/";
    const struct {
        const char* name;
        std::function<bool(const std::string&)> write;
        bool utf16;
    } kinds[] = {
        {"plain", [&](const std::string& p) { return WritePlainCsv(p, rows); }, false},
        {"assistant", [&](const std::string& p) { return WriteAssistantCsv(p, rows); }, false},
        {"assistant5", [&](const std::string& p) { return WriteAssistant5Csv(p, rows); }, true},
        {"ecshop", [&](const std::string& p) { return WriteEcshopCsv(p, rows, dir); }, false},
        {"shopex", [&](const std::string& p) { return WriteShopexCsv(p, rows, dir); }, false},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const std::string path = dir + kind.name + ".csv";
        ASSERT_TRUE(kind.write(path));
        const std::string bytes = testing::ReadAll(NativePath(path));
        const std::string text = kind.utf16 ? Utf16LeToGbk(bytes) : bytes;
        int quotedTitles = 0;
        for (const std::string& cell : CsvCells(text, kind.utf16 ? '\t' : ',')) {
            EXPECT_FALSE(ReadsAsFormula(cell)) << U8(cell);
            quotedTitles += cell.rfind("'=1+2", 0) == 0 || cell.rfind("'@SUM", 0) == 0;
        }
        EXPECT_GE(quotedTitles, 2);
    }
}

}  // namespace
}  // namespace vt
