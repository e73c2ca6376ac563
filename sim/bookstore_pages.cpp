#include "sim/bookstore_pages.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

namespace vt::sim {

const char kNoProductsText[] = "没有找到相关的商品";
const char kTooManyFiltersText[] = "筛选条件太多了，没有找到相关商品";

namespace {

std::string Head(const std::string& title) {
    return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">\r\n"
           "<html><head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=gbk\" />\r\n<title>" +
           EscapeHtml(title) + " - Vantrell网</title>\r\n";
}

std::string SiteHeader(const std::string& origin) {
    return "<div id=\"header\"><a href=\"" + origin +
           "/\" class=\"logo\">Vantrell网</a> <a href=\"" + origin +
           "/cp01.01.00.00.00.html\">图书分类</a> <a href=\"" + origin +
           "/subject/1001.html\">促销活动</a></div>\r\n";
}

const char kFoot[] =
    "<div id=\"footer\">Copyright (C) Vantrell网 2004-2024, All Rights Reserved</div>\r\n"
    "</body></html>\r\n";

std::string Paging(int page, int pageCount) {
    return "<div class=\"paging\">第" + std::to_string(page) + "页/共" + std::to_string(pageCount) +
           "页</div>\r\n";
}

std::string PictureUrl(const std::string& origin, const Book& b) {
    return origin + (b.picture.empty() ? std::string("/images/assets/nopic.jpg") : b.picture);
}

std::string Discount(const Book& b) {
    long list = 0, sale = b.SaleCents();
    for (char c : b.listPrice)
        if (c >= '0' && c <= '9')
            list = list * 10 + (c - '0');
    if (list <= 0 || sale <= 0)
        return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f",
                  10.0 * static_cast<double>(sale) / static_cast<double>(list));
    return buf;
}

// Some list entries show the selling price in the product-page style markup instead.
bool AltPriceMarkup(const Book& b) {
    return (b.id.back() - '0') % 8 == 3;
}

std::string SearchItem(const std::string& origin, const Book& b, int index) {
    std::string url = origin + "/" + b.id + ".html";
    std::string title = EscapeHtml(b.title);
    std::string out = "<li class=\"line" + std::to_string(index) + "\" ddt-pit=\"" +
                      std::to_string(index) + "\" id=\"p" + b.id + "\" >";
    out += "<a title=\" " + title +
           "\" ddclick=\"act=normalResult_picture\" class=\"pic\" name=\"itemlist-picture\" "
           "href=\"" +
           url + "\" target=\"_blank\"><img src='" + PictureUrl(origin, b) + "' alt=' " + title +
           "' /></a>";
    out += "<p class=\"name\" name=\"title\"><a title=\" " + title + "\" href=\"" + url +
           "\" name=\"itemlist-title\" target=\"_blank\"> " + title + "</a></p>";
    out += "<p class=\"detail\">" + EscapeHtml(b.headTitle) + "</p>";
    out += "<p class=\"price\">";
    if (!b.salePrice.empty()) {
        if (AltPriceMarkup(b))
            out += "<p id=\"price_sale\"><span class=\"yen\">&yen;</span>" + b.salePrice + "</p>";
        else
            out += "<span class=\"search_now_price\">&yen;" + b.salePrice + "</span>";
    }
    if (!b.listPrice.empty())
        out +=
            "<a class=\"search_discount\" style=\"text-decoration:none;\">定价：</a>"
            "<span class=\"search_pre_price\">&yen;" +
            b.listPrice + "</span>";
    std::string discount = Discount(b);
    if (!discount.empty())
        out += "<span class=\"search_discount\">&nbsp;(" + discount + "折) </span>";
    out += "</p>\r\n";
    out += "<p class=\"search_book_author\"><span>";
    if (!b.author.empty())
        out += "<a href='" + origin + "/?key=" + EncodeQuery(b.author) +
               "' name='itemlist-author' title='" + EscapeHtml(b.author) + "'>" +
               EscapeHtml(b.author) + "</a>";
    out += "</span><span> /" + b.date + "</span><span>  /<a href='" + origin +
           "/?key=" + EncodeQuery(b.publisher) + "' name='P_cbs' title='" +
           EscapeHtml(b.publisher) + "'>" + EscapeHtml(b.publisher) +
           "</a></span><p class=\"bottom_p\">";
    if (b.selfRun)
        out += "<span class=\"new_lable\" >Vantrell自营</span>";
    if (b.promo)
        out += "<span class=\"new_lable\" >促销</span>";
    out += "<a class=\"search_btn_cart\" href=\"javascript:AddToShoppingCart(" + b.id +
           ")\">加入购物车</a></p></li>\r\n";
    return out;
}

std::string CategoryItem(const std::string& origin, const Book& b, int index) {
    std::string url = origin + "/" + b.id + ".html";
    std::string title = EscapeHtml(b.title);
    std::string out = "<li class=\"line" + std::to_string(index) + "\"><div class=\"inner\">";
    out += "<a title=\"" + title + "\" class=\"pic\" href=\"" + url +
           "\" target=\"_blank\"><img src=\"" + PictureUrl(origin, b) + "\" alt=\"" + title +
           "\" /></a>\r\n";
    out += "<p class=\"name\"><a href=\"" + url + "\" title=\"" + title + "\" target=\"_blank\">" +
           title + "</a></p>\r\n";
    if (!b.author.empty())
        out += "<p class=\"author\"><a href=\"" + origin + "/?key=" + EncodeQuery(b.author) +
               "\" name='P_zz' title='" + EscapeHtml(b.author) + "'>" + EscapeHtml(b.author) +
               "</a></p>\r\n";
    out += "<p class=\"publishing\"><a href=\"" + origin + "/?key=" + EncodeQuery(b.publisher) +
           "\" name='P_cbs' title='" + EscapeHtml(b.publisher) + "'>" + EscapeHtml(b.publisher) +
           "</a></p>\r\n";
    out += "<p class=\"publishing_time\">" + b.date + "</p>\r\n<p class=\"price\">";
    if (!b.salePrice.empty()) {
        if (AltPriceMarkup(b))
            out += "<p id=\"price_sale\"><span class=\"yen\">&yen;</span>" + b.salePrice + "</p>";
        else
            out += "<span class=\"price_n\">&yen;" + b.salePrice + "</span>";
    }
    if (!b.listPrice.empty())
        out += "<span class=\"price_r\">&yen;" + b.listPrice + "</span>";
    out += "</p>\r\n<p class=\"tag\">";
    if (b.selfRun)
        out += "<span class=\"tag_zy\">Vantrell自营</span>";
    out += "</p>\r\n</div></li>\r\n";
    return out;
}

// JSON string content with every non-ASCII character as a \uXXXX escape, as the product
// page's script data writes it.
std::string JsonEscaped(const std::string& gbk) {
    std::string out;
    for (char16_t u : GbkToUtf16(gbk)) {
        if (u == u'"' || u == u'\\') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u >= 0x20 && u < 0x7f) {
            out += static_cast<char>(u);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(u));
            out += buf;
        }
    }
    return out;
}

std::string SectionBlock(const std::string& origin, const Book& b, Section s) {
    static const char* const kIds[kSectionCount] = {"feature", "abstract", "authorIntroduction",
                                                    "catalog", "preface",  "mediaFeedback"};
    const std::string& html = b.sections[static_cast<std::size_t>(s)];
    if (html.empty())
        return {};
    std::string id = kIds[static_cast<int>(s)];
    return "<div class=\"section\" id=\"" + id + "\"><div class=\"title\"><span>" +
           SectionTitle(s) + "</span></div><div class=\"descrip\"><span id=\"" + id +
           "-textarea\">\r\n" + WithOrigin(html, origin) +
           "\r\n</span></div><div class=\"section_show_more\"><a href=\"javascript:;\">查看全部"
           "</a></div></div>\r\n";
}

}  // namespace

std::string WithOrigin(const std::string& markup, const std::string& origin) {
    static const std::string kToken = "{origin}";
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = markup.find(kToken, pos)) != std::string::npos;
         pos = hit + kToken.size())
        out += markup.substr(pos, hit - pos) + origin;
    return out + markup.substr(pos);
}

std::string EncodeQuery(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
            c == '-' || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string SearchPage(const std::string& origin, const std::string& keyword,
                       const std::vector<const Book*>& items, int page, int pageCount) {
    std::string out = Head(keyword.empty() ? std::string("全部图书") : keyword);
    out += "<script type=\"text/javascript\">var vt_search = {\"page\":" + std::to_string(page) +
           ",\"pages\":" + std::to_string(pageCount) + "};</script>\r\n</head><body>\r\n";
    out += SiteHeader(origin);
    out += "<div class=\"search_key\">搜索：<b>" + EscapeHtml(keyword) + "</b></div>\r\n";
    out += "<div id=\"search_nature_rg\"><ul class=\"bigimg\" id=\"component_59\">\r\n";
    int index = 1;
    for (const Book* b : items) out += SearchItem(origin, *b, index++);
    out += "</ul></div>\r\n" + Paging(page, pageCount) + kFoot;
    return out;
}

std::string NoProductsPage(const std::string& origin, const std::string& heading,
                           const char* text) {
    return Head(heading) + "</head><body>\r\n" + SiteHeader(origin) +
           "<div class=\"search_key\">搜索：<b>" + EscapeHtml(heading) +
           "</b></div>\r\n<div class=\"no_result\"><p>抱歉，" + text + "</p></div>\r\n" + kFoot;
}

std::string CategoryHomePage(const std::string& origin, const Catalog& catalog) {
    std::string out = Head("图书分类") + "</head><body>\r\n" + SiteHeader(origin);
    out += "<div class=\"classify_books\" id=\"floor_1\">\r\n<h3>图书</h3>\r\n<ul>\r\n";
    for (const Category& top : catalog.categories()) {
        out += "<li><span class=\"m\" name=\"C2\"></span><a class=\"a\" href=\"" + origin +
               top.Path() + "\" title=\"" + EscapeHtml(top.name) + "\" target=\"_blank\">" +
               EscapeHtml(top.name) + "</a>\r\n<span class=\"s\">";
        for (const Category& sub : top.children)
            out += "<a href=\"" + origin + sub.Path() + "\" title=\"" + EscapeHtml(sub.name) +
                   "\" target=\"_blank\">" + EscapeHtml(sub.name) + "</a> ";
        out += "</span></li>\r\n";
    }
    out +=
        "</ul>\r\n<div id='openHide1' name=\"Xsqb\"><a href=\"javascript:;\">显示全部分类</a>"
        "</div>\r\n</div>\r\n";
    out += kFoot;
    return out;
}

std::string CategoryPage(const std::string& origin, const Category& category, int depth,
                         const std::vector<const Book*>& items, int page, int pageCount,
                         const char* emptyText) {
    std::string out = Head(category.name) + "</head><body>\r\n" + SiteHeader(origin);
    out += "<div class=\"crumb\"><a href=\"" + origin + "/cp01.01.00.00.00.html\">图书</a> &gt; " +
           EscapeHtml(category.name) + "</div>\r\n";
    if (depth == 1) {
        out += "<div class=\"list_left\" name=\"C1\">";
        for (const Category& sub : category.children)
            out += "<span><a href=\"" + origin + sub.Path() + "\" title=\"" + EscapeHtml(sub.name) +
                   "\" target=\"_blank\">" + EscapeHtml(sub.name) + "</a></span>\r\n";
        out += "</div>\r\n";
    } else {
        out += "<ul id=\"category_subcontent_list\">";
        for (const Category& sub : category.children)
            out += "<li><a href=\"" + origin + sub.Path() + "\" title=\"" + EscapeHtml(sub.name) +
                   "\">" + EscapeHtml(sub.name) + "</a></li>";
        if (category.children.empty())
            out += "<li class=\"none\">暂无下级分类</li>";
        out += "</ul>\r\n";
    }
    if (emptyText) {
        out += std::string("<div class=\"no_result\"><p>抱歉，") + emptyText + "</p></div>\r\n";
    } else {
        // The closing row keeps the list's last book inside the item markup as well.
        out += "<div class=\"list_main\"><ul class=\"list_aa\">\r\n";
        int index = 1;
        for (const Book* b : items) out += CategoryItem(origin, *b, index++);
        out += "<li class=\"line_more\"><a href=\"" + origin + category.Path() +
               "\">更多</a></li>\r\n</ul></div>\r\n" + Paging(page, pageCount);
    }
    out += kFoot;
    return out;
}

std::string PromotionPage(const std::string& origin, const Promotion& promotion,
                          const std::vector<const Book*>& items, int page, int pageCount) {
    std::string out = Head(promotion.name) + "</head><body>\r\n" + SiteHeader(origin);
    out += "<div class=\"subject_title\"><h2>" + EscapeHtml(promotion.name) +
           "</h2></div>\r\n<ul class=\"subject_list\">\r\n";
    for (const Book* b : items) {
        out += "<li><a class=\"pic\" href=\"" + origin + "/" + b->id +
               ".html\" target=\"_blank\">"
               "<img src=\"" +
               PictureUrl(origin, *b) + "\" /></a><p class=\"name\">" + EscapeHtml(b->title) +
               "</p><p class=\"price\">&yen;" + b->salePrice +
               "</p><a href=\"javascript:void(0);\" class=\"buy\" onclick=\"showcatalog(" + b->id +
               ",1,'') \">加入购物车</a></li>\r\n";
    }
    out += "</ul>\r\n" + Paging(page, pageCount) + kFoot;
    return out;
}

std::string ProductPage(const std::string& origin, const Book& b) {
    int form = (b.id.back() - '0') % 5;  // the site writes prices and pictures several ways
    std::string out = Head(b.title);
    out += "<script type=\"text/javascript\">var prodSpuInfo = {\"productId\":\"" + b.id +
           "\",\"productName\":\"" + JsonEscaped(b.title) +
           "\",\"shopId\":\"0\",\"categoryPath\":\"" + b.category +
           "\",\"describeMap\":\"\"};</script>\r\n</head><body>\r\n" + SiteHeader(origin);

    out += "<div class=\"name_info\" vt_name=\"标题区\"><h1 title=\"" + EscapeHtml(b.title) +
           "\"> " + EscapeHtml(b.title) + "</h1>\r\n<h2><span class=\"head_title_name\" title=\"" +
           EscapeHtml(b.headTitle) + "\" >" + EscapeHtml(b.headTitle) + "</span></h2></div>\r\n";

    out += "<div class=\"messbox_info\">";
    if (!b.author.empty()) {
        std::string link =
            "<a href=\"" + origin + "/?key=" + EncodeQuery(b.author) + "\"  target=\"_blank\" ";
        out += "<span class=\"t1\" id=\"author\" vt_name=\"作者\">作者:" + link +
               (form % 2 ? "vt_name=\"作者\">" : ">") + EscapeHtml(b.author) + "</a></span>";
    }
    out += "<span class=\"t1\" vt_name=\"出版社\">出版社:<a href=\"" + origin +
           "/?key=" + EncodeQuery(b.publisher) + "\" target=\"_blank\" vt_name=\"出版社\">" +
           EscapeHtml(b.publisher) + "</a></span>";
    if (!b.date.empty())
        out += "<span class=\"t1\">出版时间:" + b.date + "&nbsp;</span>";
    out += "</div>\r\n";

    out += "<div class=\"price_info\" id=\"pc-price\">";
    if (form == 0) {
        if (!b.salePrice.empty())
            out += "<div class=\"price_d\"><p id=\"price_sale\"><span class=\"yen\">&yen;</span>" +
                   b.salePrice + "</p></div>";
        if (!b.listPrice.empty())
            out += "<div class=\"price_m\">定价<span class=\"price_m\">&yen;" + b.listPrice +
                   "</span></div>";
    } else {
        if (!b.salePrice.empty())
            out +=
                "<div class=\"price_d\"><p id=\"vt-price\">\r\n<span class=\"yen\">&yen;</span>" +
                b.salePrice + "</p></div>";
        if (!b.listPrice.empty())
            out += form == 1 ? "<div class=\"price_m\"><span class=\"yen\">&yen;</span>" +
                                   b.listPrice + "</div>"
                             : "<div class=\"price_m\" id='original-price'>定价\r\n<span "
                               "class=\"yen\">&yen;</span>" +
                                   b.listPrice + "</div>";
    }
    out += "</div>\r\n";

    out += "<div class=\"pic_info\"><ul id=\"main-img-slider\">";
    if (!b.picture.empty()) {
        std::string url = origin + b.picture;
        out += form % 2 ? "<li tag=\"1\"> <a href=\"javascript:;\" imghref=\"" + url + "\">"
                        : "<li><a href=\"javascript:;\" data-imghref=\"" + url + "\">";
        out += "<img src=\"" + url + "\" /></a></li>";
        if (form == 4) {  // a second view of the book, which the collector must not take
            std::string second = origin + "/images/" + b.id + "-2_w_1.jpg";
            out += "<li tag=\"2\"> <a href=\"javascript:;\" imghref=\"" + second +
                   "\"><img src=\"" + second + "\" /></a></li>";
        }
    }
    out += "</ul></div>\r\n";

    if (b.Has(Trait::PartialCities))
        out += "<div class=\"limit_tip\">本商品仅支持部分城市购买</div>\r\n";
    if (b.Has(Trait::BackOrder))
        out += "<p class=\"stock_tip\">暂时缺货，现在可以订购</p>\r\n";
    out += "<ul class=\"buy_tips\"><li class=\"Buying\">" + b.buyingNote + "</li></ul>\r\n";
    if (b.Has(Trait::NoBuyButton)) {
        out += "<div class=\"buy_box\"><a id=\"arrival-notice\" href=\"javascript:;\"><img src=\"" +
               origin + "/images/btn/arrival_notice.gif\" /></a></div>\r\n";
    } else {
        static const char* const kButtons[] = {"booksale.gif", "btn_buy.gif", "but_buy_area.gif",
                                               "but_buy.gif"};
        out += "<div class=\"buy_box\"><a id=\"buy-now\" href=\"javascript:;\"><img src=\"" +
               origin + "/images/btn/" + kButtons[(b.id[b.id.size() - 2] - '0') % 4] +
               "\" /></a></div>\r\n";
    }

    out += "<div class=\"pro_content\" id=\"detail_describe\"><ul class=\"key clearfix\">";
    out += "<li>版 次：" + b.edition + "</li><li>页 数：" + b.pageCount + "</li><li>字 数：" +
           b.wordCount + "</li><li>开 本：" + b.format + "</li><li>纸 张：胶版纸</li><li>包 装：" +
           b.binding + "</li><li>是否套装：" + (b.secondIsbn.empty() ? "否" : "是") + "</li>";
    if (!b.isbn.empty())
        out += "<li>国际标准书号ISBN：" + b.isbn + "</li>";
    if (!b.secondIsbn.empty())
        out += "<li>套装书号ISBN：" + b.secondIsbn + "</li>";
    out += "<li>所属分类：<a href=\"" + origin + "/cp" + b.category +
           ".html\" target=\"_blank\">图书</a></li>";
    out += "</ul></div>\r\n";

    out += "<div id=\"detail\" class=\"descrip\">\r\n";
    for (int s = 0; s < kSectionCount; ++s) out += SectionBlock(origin, b, static_cast<Section>(s));
    out += "</div>\r\n";
    out += "<script type=\"text/javascript\">\r\nvar vt_stock_url = \"" + origin +
           "/pricestock/callback.php?type=stockv3&product_id=" + b.id +
           "\";\r\nif (window.vt_show) { document.write('&lt;br&gt;'); }\r\n</script>\r\n";
    out += kFoot;
    return out;
}

std::string StockAnswer(const Book* book, const std::string& province) {
    bool out = !book || !book->inStock ||
               std::find(book->outOfStockProvinces.begin(), book->outOfStockProvinces.end(),
                         province) != book->outOfStockProvinces.end();
    std::string id = book ? book->id : std::string();
    return "stockCallback({\"productId\":\"" + id + "\",\"provinceId\":\"" + EncodeQuery(province) +
           "\",\"stock\":{\"status\":\"" + (out ? "nostock" : "instock") +
           "\",\"num\":" + (out ? "0" : "100") + "}});";
}

}  // namespace vt::sim
