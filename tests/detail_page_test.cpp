// Reading a product page: the extraction rules that are easy to get wrong, checked on
// small hand-written pages, then every field held against the stand-in's catalogue.
#include "detail/detail_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/hosts.h"
#include "base/text.h"
#include "core/context.h"
#include "sim/bookstore_sim.h"
#include "sim/html_escape.h"
#include "support/product_pages.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::U8;

namespace {

DetailPage Page(std::string text) {
    return DetailPage{std::move(text)};
}

struct PriceCase {
    const char* name;
    std::string html;
    std::string listPrice;
    std::string salePrice;
};

TEST(DetailPageTest, PriceChainsTakeTheFirstFilledFormAndTrimOnlyWhereTheyShould) {
    const std::vector<PriceCase> cases = {
        {"span forms keep or lose blanks by position",
         R"~(<span class="price_m">&yen; 29.80 </span><span class="search_now_price">&yen; 18.00 </span>)~",
         " 29.80 ", "18.00"},
        {"an empty first price_m span gives way to a later one",
         R"~(<span class="price_m">&yen;</span> <span class="price_m">&yen;35.00</span>)~", "35.00",
         ""},
        {"original-price div, sale in price_sale (untrimmed)",
         "<div class=\"price_m\" id='original-price'>定价\r\n<span class=\"yen\">&yen;</span>42.00 "
         "</div>"
         R"~(<p id="price_sale"><span class="yen">&yen;</span> 30.10</p>)~",
         "42.00 ", " 30.10"},
        {"plain price_m div, sale in vt-price (trimmed)",
         "<div class=\"price_m\"><span class=\"yen\">&yen;</span>55.00</div>"
         "<p id=\"vt-price\">\r\n<span class=\"yen\">&yen;</span> 33.30 </p>",
         "55.00", "33.30"},
        {"only the search_pre_price form: trimmed",
         R"~(<span class="search_pre_price">&yen;  12.50 </span>)~", "12.50", ""},
        {"search_now_price wins over the later sale forms",
         R"~(<p id="price_sale"><span class="yen">&yen;</span>9.00</p><span class="search_now_price">&yen;8.00</span>)~",
         "", "8.00"},
        {"nothing", "<html></html>", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExtractMarketPrice(Page(c.html)), c.listPrice);
        EXPECT_EQ(ExtractSellPrice(Page(c.html)), c.salePrice);
    }
}

TEST(DetailPageTest, AuthorPublisherDateAndName) {
    const std::string page =
        R"~(<script>{"productName":"\u7b97\u6cd5 Intro",</script>)~"
        R"~(<span class="t1" id="author" vt_name="作者">作者:<a href="/a"  target="_blank" vt_name="作者">张三</a>,)~"
        R"~(<a href="/b"  target="_blank" vt_name="作者">李四</a></span>)~"
        R"~(<span>出版社:<a href="/p" target="_blank" vt_name="出版社"> 人民出版社 </a></span>)~"
        R"~(<span class="t1">出版时间: 2013-01-01&nbsp;</span>)~";
    EXPECT_EQ(U8(ExtractProductName(Page(page))), "\xE7\xAE\x97\xE6\xB3\x95 Intro");
    EXPECT_EQ(ExtractAuthor(Page(page)), "张三");
    EXPECT_EQ(ExtractPressName(Page(page)), "人民出版社");
    EXPECT_EQ(ExtractPressDate(Page(page)), " 2013-01-01");

    const std::string firstForm =
        R"~(<span class="t1" id="author" vt_name="作者">作者:<a href="/x"  target="_blank" >王五</a>)~";
    EXPECT_EQ(ExtractAuthor(Page(firstForm)), "王五");
    // One space before target is not the site's markup.
    const std::string oneSpace =
        R"~(<span class="t1" id="author" vt_name="作者">作者:<a href="/x" target="_blank" >王五</a>)~";
    EXPECT_EQ(ExtractAuthor(Page(oneSpace)), "");
}

TEST(DetailPageTest, IsbnEntriesAreAllTakenAndTrimmedAtBothEnds) {
    EXPECT_EQ(ExtractIsbn(Page("<li>国际标准书号ISBN： 9787111407010 </li>"
                               "<li>套装书号ISBN：9787111407027</li>")),
              "9787111407010 \r\n9787111407027");
    EXPECT_EQ(ExtractIsbn(Page("<li>ISBN:9787111407010</li>")), "");  // ASCII colon
}

TEST(DetailPageTest, HeadTitleIsCutTo150BytesWithoutSplittingACharacter) {
    auto head = [](const std::string& title) {
        return ExtractHeadTitle(
            Page(R"~(<span class="head_title_name" title=")~" + title + R"~(" >)~"));
    };
    EXPECT_EQ(head(std::string(200, 'a')), std::string(150, 'a'));
    // A double-byte character across bytes 150 and 151 is left out whole.
    const std::string across = std::string(149, 'a') + "书名";
    EXPECT_EQ(head(across), std::string(149, 'a'));
    const std::string fits = std::string(148, 'a') + "书名";
    EXPECT_EQ(head(fits), std::string(148, 'a') + "书");
    EXPECT_EQ(head("短标题"), "短标题");
}

TEST(DetailPageTest, BuyingNote) {
    auto buying = [](const std::string& item) { return "<li class=\"Buying\">" + item + "</li>"; };
    const std::string thirty(30, 'x');
    struct Case {
        const char* name;
        std::string page;
        std::string note;
    };
    const std::vector<Case> cases = {
        {"partial cities wins over a Buying item", "本商品仅支持部分城市购买" + buying("现货"),
         "仅支持部分城市购买,购买前请联系卖家!"},
        {"back order", "暂时缺货，现在可以订购" + buying("现货"), "暂时缺货，现在可以订购"},
        {"30 bytes after cleaning", buying(thirty), thirty},
        {"31 bytes after cleaning", buying(thirty + "y"), ""},
        {"noise removed before measuring",
         buying("登录后根据您所在地址，商品的发货时间会有所不同。 现货，立即订购\r\n\t"), "现货"},
        {"blanks trimmed after measuring", buying("  现货  "), "现货"},
        // "啊" ends in the first byte of "。" and "！" starts with its second byte.
        {"a full stop is only removed as a whole character", buying("啊！"), "啊！"},
        {"no item", "<li>other</li>", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(U8(ExtractBuyingNote(Page(c.page))), U8(c.note));
    }
}

TEST(DetailPageTest, BuyButtonPatternsMatchAnyByteForTheirDots) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {R"~(<img src="/images/btn/booksale.gif" />)~", true},
        {R"~(<img src="/images/btn/btn_buy.gif" />)~", true},
        {R"~(<img src="/images/btn/but_buy_area.gif" />)~", true},
        {R"~(<img src="/images/btn/BUT_BUY.GIF" />)~", true},
        {"booksaleXgif", true},
        {R"~(<img src="/images/btn/arrival_notice.gif" />)~", false},
        {"btn_buy_gi", false},
    };
    for (const auto& [page, expected] : cases) {
        SCOPED_TRACE(page);
        EXPECT_EQ(HasBuyButton(Page(page)), expected);
    }
}

TEST(DetailPageTest, SectionsLoseTheirPicturesAndOpeningLinksOnly) {
    const std::string page =
        R"~(<div class="title"><span>内容推荐</span></div>)~"
        R"~(<p>好书<img src="/i/1.jpg" alt="" /><a class="k" href="http://x/y">链接</a>)~"
        R"~(<A href='/z' target="_blank">二</a><img src="/i/2.jpg" /></p>)~"
        R"~(<div class="section_show_more">)~"
        R"~(<div class="title"><span>目录</span></div>第一章<div class="section_show_more">)~";
    EXPECT_EQ(ExtractSection(Page(page), BookSection::Abstract),
              R"~(<p>好书链接</a>二</a><img src="/i/2.jpg" /></p>)~");
    EXPECT_EQ(ExtractSection(Page(page), BookSection::BookCatalog), "第一章");
    EXPECT_EQ(ExtractSection(Page(page), BookSection::MediaReview), "");
}

TEST(DetailPageTest, PrintDetails) {
    const std::string page =
        "<ul><li>版 次：1</li><li>页 数： 320 </li><li>字 数：450000</li><li>开 本：16开</li>"
        "<li>包 装：平装-胶订</li><li>是否套装：否</li></ul>";
    const BookParams v = ExtractBookParams(Page(page));
    EXPECT_EQ(v.Edition, "1");  // first item: no "</li>" in front of it
    EXPECT_EQ(v.PageCount, "320");
    EXPECT_EQ(v.WordCount, "450000");
    EXPECT_EQ(v.BookFormat, "16开");
    EXPECT_EQ(v.Binding, "平装-胶订");
    // The last item has no "<li>" after it, so it is not read.
    EXPECT_EQ(ExtractBookParam(Page("<li>x</li><li>开 本：32开</li>"), BookParam::BookFormat), "");
}

TEST(DetailPageTest, MainPictureIsTheFirstOfEitherForm) {
    EXPECT_EQ(
        ExtractMainImageUrl(Page(
            R"~(<li tag="1"> <a href="javascript:;" imghref="http://h/1-1_w_2.jpg"><img /></a></li>)~"
            R"~(<li tag="2"> <a href="javascript:;" imghref="http://h/1-2_w_1.jpg"></a></li>)~")),
        "http://h/1-1_w_2.jpg");
    EXPECT_EQ(ExtractMainImageUrl(Page(
                  R"~(<li><a href="javascript:;" data-imghref="http://h/2-1_w_1.png"></a></li>)~")),
              "http://h/2-1_w_1.png");
    EXPECT_EQ(ExtractMainImageUrl(Page("<ul></ul>")), "");
}

TEST(DetailPageTest, ProductIdsOfTheProductHost) {
    const std::string list = R"~(<a href="http://product.vt.com/1234.html">a</a>)~"
                             R"~(<a href="http://product.vt.com/5678.html">b</a>)~"
                             R"~(<a href="http://other.com/9.html">c</a>)~";
    EXPECT_EQ(ExtractProductIds("product.vt.com", list), "1234\r\n5678\r\n");
    EXPECT_EQ(ExtractProductIds("product.vt.com", ""), "");
}

// A zero byte inside a field's text is dropped; "\u0000" in the product name too.
TEST(DetailPageTest, ZeroBytesOfThePageNeverReachAField) {
    std::string page =
        R"~({"productName":"边|城\u0000",)~"
        R"~(<span class="price_m">&yen;3|9.00</span>)~"
        R"~(<span class="search_now_price">&yen;2|5.00</span>)~"
        R"~(<span class="t1" id="author" vt_name="作者">作者:<a href="/a"  target="_blank" >沈|从文</a>)~"
        R"~(出版社:<a href="/p" target="_blank" vt_name="出版社">人民|文学</a>)~"
        R"~(<span class="t1">出版时间:2013|-01&nbsp;</span>)~"
        R"~(<li>ISBN：978|7020</li>)~"
        R"~(<span class="head_title_name" title="首|发" >)~"
        R"~(<div class="title"><span>编辑推荐</span></div>好|书<div class="section_show_more">)~"
        R"~(</li><li>字 数：12|0000</li><li>)~"
        R"~(<li><a href="javascript:;" data-imghref="http://h/1|.png">)~";
    std::replace(page.begin(), page.end(), '|', '\0');
    const DetailPage p = Page(page);
    const std::pair<std::string, std::string> fields[] = {
        {ExtractProductName(p), "边城"},
        {ExtractMarketPrice(p), "39.00"},
        {ExtractSellPrice(p), "25.00"},
        {ExtractAuthor(p), "沈从文"},
        {ExtractPressName(p), "人民文学"},
        {ExtractPressDate(p), "2013-01"},
        {ExtractIsbn(p), "9787020"},
        {ExtractHeadTitle(p), "首发"},
        {ExtractSection(p, BookSection::EditorRecommend), "好书"},
        {ExtractBookParam(p, BookParam::WordCount), "120000"},
        {ExtractMainImageUrl(p), "http://h/1.png"},
    };
    for (const auto& [got, expected] : fields) EXPECT_EQ(U8(got), U8(expected));
}

// Every field of every kind of book, as the stand-in writes its pages.
TEST(DetailPageTest, StandInProductPagesReadBackTheirBooks) {
    sim::BookstoreSim store(sim::CatalogOptions{20240601, 400, 60});
    std::vector<const sim::Book*> books;
    for (int t = 0; t < sim::kTraitCount; ++t)
        for (const sim::Book* b : store.catalog().AllWith(static_cast<sim::Trait>(t)))
            books.push_back(b);
    for (int i = 0; i < 40; ++i) books.push_back(&store.catalog().books()[i]);

    for (const sim::Book* b : books) {
        SCOPED_TRACE(b->id + " " + U8(b->title));
        const DetailPage page{vt::testing::ProductPageText(store, b->id)};
        EXPECT_EQ(ExtractProductName(page), b->title);
        EXPECT_EQ(ExtractMarketPrice(page), b->listPrice);
        EXPECT_EQ(ExtractSellPrice(page), b->salePrice);
        EXPECT_EQ(ExtractAuthor(page), sim::EscapeHtml(b->author));
        EXPECT_EQ(ExtractPressName(page), sim::EscapeHtml(b->publisher));
        EXPECT_EQ(ExtractPressDate(page), b->date);
        EXPECT_EQ(ExtractIsbn(page),
                  b->secondIsbn.empty() ? b->isbn : b->isbn + "\r\n" + b->secondIsbn);
        EXPECT_EQ(ExtractHeadTitle(page), GbkPrefix(sim::EscapeHtml(b->headTitle), 150));
        EXPECT_EQ(ExtractMainImageUrl(page), b->picture.empty() ? "" : store.origin() + b->picture);
        EXPECT_EQ(HasBuyButton(page), !b->Has(sim::Trait::NoBuyButton));
        const BookParams v = ExtractBookParams(page);
        EXPECT_EQ(v.WordCount, b->wordCount);
        EXPECT_EQ(v.PageCount, b->pageCount);
        EXPECT_EQ(v.Edition, b->edition);
        EXPECT_EQ(v.Binding, b->binding);
        EXPECT_EQ(v.BookFormat, b->format);
        for (int s = 0; s < sim::kSectionCount; ++s) {
            const std::string text = ExtractSection(page, static_cast<BookSection>(s));
            EXPECT_EQ(text.empty(), b->sections[s].empty()) << s;
            EXPECT_EQ(text.find("<img src=\"" + store.origin()), std::string::npos) << U8(text);
            EXPECT_EQ(text.find("<a href"), std::string::npos) << U8(text);
        }
        if (b->Has(sim::Trait::PartialCities)) {
            EXPECT_EQ(ExtractBuyingNote(page), "仅支持部分城市购买,购买前请联系卖家!");
        }
        if (b->Has(sim::Trait::BuyingNote30)) {
            EXPECT_EQ(ExtractBuyingNote(page).size(), 30u);
        }
        if (b->Has(sim::Trait::BuyingNote31)) {
            EXPECT_EQ(ExtractBuyingNote(page), "");
        }
        if (b->Has(sim::Trait::LongHeadTitle)) {
            EXPECT_LT(ExtractHeadTitle(page).size(), 150u);
        }
    }
}

// The regional stock query against the stand-in's callback.
class CheckStockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store_.Start("127.0.0.1", 0));
        ctx_.hosts().Set(HostRole::SourceProduct, store_.origin());
        book_ = store_.catalog().FirstWith(sim::Trait::RegionOutOfStock);
        ASSERT_NE(book_, nullptr);
        ASSERT_FALSE(book_->outOfStockProvinces.empty());
        out_ = book_->outOfStockProvinces.front();
        for (const auto& p : sim::Provinces())
            if (std::find(book_->outOfStockProvinces.begin(), book_->outOfStockProvinces.end(),
                          p.code) == book_->outOfStockProvinces.end()) {
                in_ = p.code;
                break;
            }
        ASSERT_FALSE(in_.empty());
        row_ = ctx_.toCollect().Append(ToCollectRow{book_->id});
    }

    std::size_t StockFetches() {
        std::size_t n = 0;
        for (const auto& r : store_.server().Requests())
            if (r.path == "/pricestock/callback.php" && r.query.at("product_id") == book_->id)
                ++n;
        return n;
    }

    sim::BookstoreSim store_{sim::CatalogOptions{20240601, 600, 60}};
    vt::testing::TempAppDir dir_;
    AppContext ctx_{dir_.path()};
    const sim::Book* book_ = nullptr;
    std::string out_, in_;
    int row_ = -1;
};

TEST_F(CheckStockTest, BothRegionalRules) {
    struct Case {
        const char* name;
        int rule;
        std::vector<std::pair<char, bool>> regions;  // 'o'ut / 'i'n, ticked
        bool inStock;
        std::size_t fetches;
        bool statusWritten;
    };
    const std::vector<Case> cases = {
        {"one-in: second region in stock",
         kOneRegionInMeansIn,
         {{'o', true}, {'i', true}},
         true,
         2,
         false},
        {"one-in: both out", kOneRegionInMeansIn, {{'o', true}, {'o', true}}, false, 2, false},
        {"one-in: first in ends the walk",
         kOneRegionInMeansIn,
         {{'i', true}, {'o', true}},
         true,
         1,
         false},
        {"any-out: second of three out",
         kAnyRegionOutMeansOut,
         {{'i', true}, {'o', true}, {'i', true}},
         false,
         2,
         true},
        {"any-out: all in", kAnyRegionOutMeansOut, {{'i', true}, {'i', true}}, true, 2, false},
        {"any-out: unticked regions are not asked",
         kAnyRegionOutMeansOut,
         {{'o', false}, {'i', true}},
         true,
         1,
         false},
        {"one-in: nothing ticked", kOneRegionInMeansIn, {{'o', false}}, true, 0, false},
        {"any-out: nothing ticked", kAnyRegionOutMeansOut, {}, true, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ctx_.toCollect().SetCell(row_, kStatusCol, "");
        std::vector<Region> regions;
        for (const auto& [kind, ticked] : c.regions)
            regions.push_back(Region{kind == 'o' ? out_ : in_, "x", ticked});
        ctx_.config().SetRegions(regions);
        ctx_.config().SetStockRule(c.rule);
        const std::size_t before = StockFetches();
        EXPECT_EQ(CheckStock(ctx_, book_->id, row_), c.inStock);
        EXPECT_EQ(StockFetches() - before, c.fetches);
        EXPECT_EQ(ctx_.toCollect().Cell(row_, kStatusCol),
                  c.statusWritten ? book_->id + "：缺货" : "");
    }
}

TEST_F(CheckStockTest, AnUnansweredQueryCountsAsInStock) {
    store_.Stop();
    ctx_.config().SetRegions({Region{out_, "x", true}});
    ctx_.config().SetStockRule(kAnyRegionOutMeansOut);
    EXPECT_TRUE(CheckStock(ctx_, book_->id, row_));
    ctx_.config().SetStockRule(kOneRegionInMeansIn);
    EXPECT_TRUE(CheckStock(ctx_, book_->id, row_));
}

}  // namespace
