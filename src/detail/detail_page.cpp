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

// A value as a field takes it: a zero byte in the page is dropped (see WithoutZeroBytes).
std::string Found(const std::string& text, const std::string& pattern) {
    return WithoutZeroBytes(RegexFirst(text, pattern));
}

// The first non-empty result of the patterns, tried in order.
std::string FirstOf(const std::string& text, std::initializer_list<const char*> patterns) {
    for (const char* pattern : patterns) {
        std::string value = Found(text, pattern);
        if (!value.empty())
            return value;
    }
    return {};
}

constexpr std::size_t kHeadTitleBytes = 150;
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

DetailPage FetchDetailPage(const Hosts& hosts, const std::string& id) {
    // Ids are digits; an imported code may hold anything, and must stay inside the path.
    return DetailPage{
        HttpHelper::GetPage(hosts.Url(HostRole::SourceProduct, "/" + UrlEncodeAnsi(id) + ".html"))};
}

DetailPage FetchDetailPage(AppContext& ctx, const std::string& id) {
    return FetchDetailPage(ctx.hosts(), id);
}

std::string ExtractProductName(const DetailPage& page) {
    // After unescaping: "\u0000" would give a zero byte too.
    return WithoutZeroBytes(UnescapeUnicode(RegexFirst(page.text, R"~("productName":"(.*?)",)~")));
}

std::string ExtractMarketPrice(const DetailPage& page) {
    std::string price = FirstOf(
        page.text,
        {R"~(<span class="price_m">&yen;(.*?)</span>)~",
         R"~(<div class="price_m" id='original-price'>.*?<span class="yen">&yen;</span>(.*?)</div>)~",
         R"~(<div class="price_m">.*?<span class="yen">&yen;</span>(.*?)</div>)~"});
    if (!price.empty())
        return price;
    return Trim(Found(page.text, R"~(<span class="search_pre_price">&yen;(.*?)</span>)~"));
}

std::string ExtractSellPrice(const DetailPage& page) {
    std::string price =
        Trim(Found(page.text, R"~(<span class="search_now_price">&yen;(.*?)</span>)~"));
    if (price.empty())
        price = Found(page.text, R"~(<p id="price_sale"><span class="yen">&yen;</span>(.*?)</p>)~");
    if (price.empty())
        price = Trim(
            Found(page.text, R"~(<p id="vt-price">.*?<span class="yen">&yen;</span>(.*?)</p>)~"));
    return price;
}

std::string ExtractAuthor(const DetailPage& page) {
    // Only the first linked author; the two spaces before target are the site's markup.
    return FirstOf(
        page.text,
        {R"~(<span class="t1" id="author" vt_name="作者">作者:<a href=".*?"  target="_blank" >(.*?)</a>)~",
         R"~(<span class="t1" id="author" vt_name="作者">作者:<a href=".*?"  target="_blank" vt_name="作者">(.*?)</a>)~"});
}

std::string ExtractPressName(const DetailPage& page) {
    return Trim(
        Found(page.text, R"~(出版社:<a href=".*?" target="_blank" vt_name="出版社">(.*?)</a>)~"));
}

std::string ExtractPressDate(const DetailPage& page) {
    return Found(page.text, R"~(<span class="t1">出版时间:(.*?)&nbsp;</span>)~");
}

std::string ExtractIsbn(const DetailPage& page) {
    return Trim(WithoutZeroBytes(RegexAll(page.text, "ISBN：(?<Param3>.*?)<")));
}

std::string ExtractSection(const DetailPage& page, BookSection section) {
    const std::string pattern = std::string(R"~(<div class="title"><span>)~") +
                                SectionHeading(section) +
                                R"~(</span></div>(.*?)<div class="section_show_more">)~";
    std::string html = Found(page.text, pattern);
    if (html.empty())
        return html;
    html = RegexReplace(html, R"~(<img src=".*?" alt="" />)~", "");
    // Opening link tags only: the closing tags stay.
    return RegexReplace(html, R"~(<a.*?href=["|'].*?["|'].*?>)~", "");
}

std::string ExtractBookParam(const DetailPage& page, BookParam value) {
    const char* pattern = "";
    switch (value) {
        case BookParam::WordCount:
            pattern = "</li><li>字 数：(.*?)</li><li>";
            break;
        case BookParam::PageCount:
            pattern = "</li><li>页 数：(.*?)</li><li>";
            break;
        case BookParam::Edition:
            pattern = "<li>版 次：(.*?)</li><li>";
            break;
        case BookParam::Binding:
            pattern = "</li><li>包 装：(.*?)</li><li>";
            break;
        case BookParam::BookFormat:
            pattern = "</li><li>开 本：(.*?)</li><li>";
            break;
    }
    return Trim(Found(page.text, pattern));
}

BookParams ExtractBookParams(const DetailPage& page) {
    return BookParams{
        ExtractBookParam(page, BookParam::WordCount), ExtractBookParam(page, BookParam::PageCount),
        ExtractBookParam(page, BookParam::Edition), ExtractBookParam(page, BookParam::Binding),
        ExtractBookParam(page, BookParam::BookFormat)};
}

std::string ExtractHeadTitle(const DetailPage& page) {
    // Cut by bytes for the marketplace's field, but never through a character.
    return GbkPrefix(Found(page.text, R"~(<span class="head_title_name" title="(.*?)" >)~"),
                     kHeadTitleBytes);
}

std::string ExtractMainImageUrl(const DetailPage& page) {
    return FirstOf(page.text, {R"~(<li tag="1"> <a href="javascript:;" imghref="(.*?)">)~",
                               R"~(<li><a href="javascript:;" data-imghref="(.*?)">)~"});
}

std::string ExtractBuyingNote(const DetailPage& page) {
    if (GbkContains(page.text, "仅支持部分城市购买"))
        return "仅支持部分城市购买,购买前请联系卖家!";
    if (GbkContains(page.text, "暂时缺货，现在可以订购"))
        return "暂时缺货，现在可以订购";
    std::string note = WithoutZeroBytes(RegexAll(page.text, "<li class=.Buying.>(?<1>.*?)</li>"));
    for (const char* noise : {"登录后根据您所在地址，商品的发货时间会有所不同", "立即订购", "。",
                              "，", "\r", "\n", "\t"})
        note = GbkReplaceAll(note, noise, "");
    if (note.size() > kBuyingNoteBytes)
        return {};
    return Trim(note);
}

bool HasBuyButton(const DetailPage& page) {
    // The dots are the site's markup as the patterns have always been written: any byte.
    for (const char* pattern : {"(?<ExistBuyPic>booksale.gif)", "(?<ExistBuyPic>btn_buy.gif)",
                                "(?<ExistBuyPic>but_buy_area.gif)", "(?<ExistBuyPic>but_buy.gif)"})
        if (!RegexAll(page.text, pattern).empty())
            return true;
    return false;
}

std::string ExtractProductIds(const std::string& productHost, const std::string& text) {
    return WithoutZeroBytes(RegexAll(text, productHost + "/(.*?).html"));
}

std::string ExtractProductIds(AppContext& ctx, const std::string& text) {
    return ExtractProductIds(ctx.hosts().Host(HostRole::SourceProduct), text);
}

bool CheckStock(AppContext& ctx, const std::string& id, int row) {
    const int rule = ctx.config().StockRule();
    const bool anyOutMeansOut = rule == kAnyRegionOutMeansOut;
    const bool oneInMeansIn = rule == kOneRegionInMeansIn;
    const std::vector<std::string> provinces = ctx.config().TickedRegionCodes();
    // Nothing asked, nothing known against the book.
    if (provinces.empty())
        return true;
    for (const std::string& province : provinces) {
        const std::string answer = HttpHelper::GetPage(ctx.hosts().Url(
            HostRole::SourceProduct,
            "/pricestock/callback.php?type=stockv3&product_id=" + UrlEncodeAnsi(id) +
                "&gift_ids=&gift_counts=&fourarea=true&shop_id=0&province_id=" +
                UrlEncodeAnsi(province) + "&page_type=book"));
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
