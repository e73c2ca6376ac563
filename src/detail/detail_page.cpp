#include "detail/detail_page.h"

#include <initializer_list>
#include <vector>

#include "base/encoders.h"
#include "base/gbk_search.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "base/regex_ops.h"
#include "base/text.h"
#include "core/book_types.h"
#include "core/context.h"

namespace vt {
namespace {

// The first non-empty result of the patterns, tried in order.
// A value as a field takes it: a zero byte in the page is dropped (see WithoutZeroBytes).
std::string Found(const std::string& text, const Pattern& pattern) {
    return WithoutZeroBytes(RegexFirstView(text, pattern));
}

std::string FirstOf(const std::string& text, std::initializer_list<const Pattern*> patterns) {
    for (const Pattern* pattern : patterns) {
        std::string value = Found(text, *pattern);
        if (!value.empty())
            return value;
    }
    return {};
}

constexpr std::size_t kHeadTitleBytes = 150;

Pattern SectionPattern(BookSection section);
constexpr std::size_t kBuyingNoteBytes = 30;

}  // namespace

const char* SectionHeading(BookSection section) {
    switch (section) {
        case BookSection::EditorRecommend:
            return "编辑推荐";
        case BookSection::Abstract:
            return "内容推荐";
        case BookSection::AuthorRemark:
            return "作者简介";
        case BookSection::BookCatalog:
            return "目录";
        case BookSection::Preface:
            return "前言";
        case BookSection::MediaReview:
            return "媒体评论";
    }
    return "";
}

namespace {

Pattern SectionPattern(BookSection section) {
    return Pattern(std::string(R"~(<div class="title"><span>)~") + SectionHeading(section) +
                   R"~(</span></div>(.*?)<div class="section_show_more">)~");
}

}  // namespace

DetailPage FetchDetailPage(AppContext& ctx, const std::string& id) {
    // Ids are digits; an imported code may hold anything, and must stay inside the path.
    PageResult read = HttpHelper::ReadPage(
        ctx.hosts().Url(HostRole::SourceProduct, "/" + UrlEncodeAnsi(id) + ".html"),
        ctx.ReadOptions(Site::Store));
    return DetailPage{std::move(read.text), std::move(read.error)};
}

std::string ExtractProductName(const DetailPage& page) {
    static const Pattern kName(R"~("productName":"(.*?)",)~");
    // After unescaping: "\u0000" would give a zero byte too.
    return WithoutZeroBytes(UnescapeUnicode(Found(page.text, kName)));
}

std::string ExtractMarketPrice(const DetailPage& page) {
    static const Pattern kSpan(R"~(<span class="price_m">&yen;(.*?)</span>)~");
    static const Pattern kOriginal(
        R"~(<div class="price_m" id='original-price'>.*?<span class="yen">&yen;</span>(.*?)</div>)~");
    static const Pattern kDiv(
        R"~(<div class="price_m">.*?<span class="yen">&yen;</span>(.*?)</div>)~");
    static const Pattern kSearch(R"~(<span class="search_pre_price">&yen;(.*?)</span>)~");
    std::string price = FirstOf(page.text, {&kSpan, &kOriginal, &kDiv});
    if (!price.empty())
        return price;
    return Trim(Found(page.text, kSearch));
}

std::string ExtractSellPrice(const DetailPage& page) {
    static const Pattern kNow(R"~(<span class="search_now_price">&yen;(.*?)</span>)~");
    static const Pattern kSale(R"~(<p id="price_sale"><span class="yen">&yen;</span>(.*?)</p>)~");
    static const Pattern kVt(R"~(<p id="vt-price">.*?<span class="yen">&yen;</span>(.*?)</p>)~");
    std::string price = Trim(Found(page.text, kNow));
    if (price.empty())
        price = Found(page.text, kSale);
    if (price.empty())
        price = Trim(Found(page.text, kVt));
    return price;
}

std::string ExtractAuthor(const DetailPage& page) {
    // Only the first linked author; the two spaces before target are the site's markup.
    static const Pattern kPlain(
        R"~(<span class="t1" id="author" vt_name="作者">作者:<a href=".*?"  target="_blank" >(.*?)</a>)~");
    static const Pattern kNamed(
        R"~(<span class="t1" id="author" vt_name="作者">作者:<a href=".*?"  target="_blank" vt_name="作者">(.*?)</a>)~");
    return FirstOf(page.text, {&kPlain, &kNamed});
}

std::string ExtractPressName(const DetailPage& page) {
    static const Pattern kPress(
        R"~(出版社:<a href=".*?" target="_blank" vt_name="出版社">(.*?)</a>)~");
    return Trim(Found(page.text, kPress));
}

std::string ExtractPressDate(const DetailPage& page) {
    static const Pattern kDate(R"~(<span class="t1">出版时间:(.*?)&nbsp;</span>)~");
    return Found(page.text, kDate);
}

std::string ExtractIsbn(const DetailPage& page) {
    static const Pattern kIsbn("ISBN：(?<Param3>.*?)<");
    return Trim(WithoutZeroBytes(RegexAll(page.text, kIsbn)));
}

std::string ExtractSection(const DetailPage& page, BookSection section) {
    static const Pattern kSections[] = {
        SectionPattern(BookSection::EditorRecommend), SectionPattern(BookSection::Abstract),
        SectionPattern(BookSection::AuthorRemark),    SectionPattern(BookSection::BookCatalog),
        SectionPattern(BookSection::Preface),         SectionPattern(BookSection::MediaReview)};
    static const Pattern kPicture(R"~(<img src=".*?" alt="" />)~");
    // Opening link tags only: the closing tags stay.
    static const Pattern kLinkOpen(R"~(<a.*?href=["|'].*?["|'].*?>)~");
    std::string html = Found(page.text, kSections[static_cast<int>(section)]);
    if (html.empty())
        return html;
    html = RegexReplace(html, kPicture, "");
    return RegexReplace(html, kLinkOpen, "");
}

std::string ExtractBookParam(const DetailPage& page, BookParam value) {
    // In the order of BookParam.
    static const Pattern kParams[] = {
        Pattern("</li><li>字 数：(.*?)</li><li>"), Pattern("</li><li>页 数：(.*?)</li><li>"),
        Pattern("<li>版 次：(.*?)</li><li>"), Pattern("</li><li>包 装：(.*?)</li><li>"),
        Pattern("</li><li>开 本：(.*?)</li><li>")};
    return Trim(Found(page.text, kParams[static_cast<int>(value)]));
}

BookParams ExtractBookParams(const DetailPage& page) {
    return BookParams{
        ExtractBookParam(page, BookParam::WordCount), ExtractBookParam(page, BookParam::PageCount),
        ExtractBookParam(page, BookParam::Edition), ExtractBookParam(page, BookParam::Binding),
        ExtractBookParam(page, BookParam::BookFormat)};
}

std::string ExtractHeadTitle(const DetailPage& page) {
    // Cut by bytes for the marketplace's field, but never through a character.
    static const Pattern kHead(R"~(<span class="head_title_name" title="(.*?)" >)~");
    return GbkPrefix(Found(page.text, kHead), kHeadTitleBytes);
}

std::string ExtractMainImageUrl(const DetailPage& page) {
    static const Pattern kTagged(R"~(<li tag="1"> <a href="javascript:;" imghref="(.*?)">)~");
    static const Pattern kData(R"~(<li><a href="javascript:;" data-imghref="(.*?)">)~");
    return FirstOf(page.text, {&kTagged, &kData});
}

std::string ExtractBuyingNote(const DetailPage& page) {
    if (GbkContains(page.text, "仅支持部分城市购买"))
        return "仅支持部分城市购买,购买前请联系卖家!";
    if (GbkContains(page.text, "暂时缺货，现在可以订购"))
        return "暂时缺货，现在可以订购";
    static const Pattern kBuying("<li class=.Buying.>(?<1>.*?)</li>");
    std::string note = WithoutZeroBytes(RegexAll(page.text, kBuying));
    for (const char* noise : {"登录后根据您所在地址，商品的发货时间会有所不同", "立即订购", "。",
                              "，", "\r", "\n", "\t"})
        note = GbkReplaceAll(note, noise, "");
    if (note.size() > kBuyingNoteBytes)
        return {};
    return Trim(note);
}

bool HasBuyButton(const DetailPage& page) {
    // The dots are the site's markup as the patterns have always been written: any byte.
    static const Pattern kButtons[] = {
        Pattern("(?<ExistBuyPic>booksale.gif)"), Pattern("(?<ExistBuyPic>btn_buy.gif)"),
        Pattern("(?<ExistBuyPic>but_buy_area.gif)"), Pattern("(?<ExistBuyPic>but_buy.gif)")};
    for (const Pattern& pattern : kButtons)
        if (!RegexAll(page.text, pattern).empty())
            return true;
    return false;
}

Pattern ProductLinkPattern(const std::string& productHost) {
    return Pattern(productHost + "/(.*?).html");
}

std::string ExtractProductIds(const Pattern& productLinks, const std::string& text) {
    return WithoutZeroBytes(RegexAll(text, productLinks));
}

std::string ExtractProductIds(const std::string& productHost, const std::string& text) {
    return ExtractProductIds(ProductLinkPattern(productHost), text);
}

std::string ExtractProductIds(AppContext& ctx, const std::string& text) {
    return ExtractProductIds(ctx.hosts().Host(HostRole::SourceProduct), text);
}

bool CheckStock(AppContext& ctx, const std::string& id, RowRef row) {
    const int rule = ctx.config().StockRule();
    const bool anyOutMeansOut = rule == kAnyRegionOutMeansOut;
    const bool oneInMeansIn = rule == kOneRegionInMeansIn;
    const std::vector<std::string> provinces = ctx.config().TickedRegionCodes();
    // Nothing asked, nothing known against the book.
    if (provinces.empty())
        return true;
    for (const std::string& province : provinces) {
        const std::string answer = HttpHelper::GetPage(
            ctx.hosts().Url(
                HostRole::SourceProduct,
                "/pricestock/callback.php?type=stockv3&product_id=" + UrlEncodeAnsi(id) +
                    "&gift_ids=&gift_counts=&fourarea=true&shop_id=0&province_id=" +
                    UrlEncodeAnsi(province) + "&page_type=book"),
            ctx.ReadOptions(Site::Store));
        // A failed query reads as an answer without "nostock": in stock.
        const bool outOfStock = GbkContains(answer, "nostock");
        if (outOfStock && anyOutMeansOut) {
            ctx.toCollect().SetCell(row, kStatusCol, id + "：缺货");
            return false;
        }
        if (!outOfStock && oneInMeansIn)
            return true;
    }
    // Every region was asked: out only when one-in found none in stock.
    return !oneInMeansIn;
}

}  // namespace vt
