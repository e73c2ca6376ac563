// The stand-in bookstore must answer exactly what the collector's patterns read. These
// tests fetch its pages over 127.0.0.1 and cut them with the collector's own patterns
// (Perl syntax, case ignored, "." across line breaks), then hold the results against the
// catalogue the pages were made from.
#include "sim/bookstore_sim.h"

#include <gtest/gtest.h>

#include <boost/regex.hpp>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "base/text.h"
#include "sim/bookstore_pages.h"
#include "sim/catalog.h"
#include "support/raw_get.h"
#include "support/temp_app_dir.h"

using namespace vt;
using namespace vt::sim;
using vt::testing::RawGet;
using vt::testing::RawResponse;
using vt::testing::U8;

namespace {

boost::regex Re(const std::string& pattern) {
    return boost::regex(pattern, boost::regex::perl | boost::regex::icase);
}

// Every non-empty capture group of every match, each search starting after the last match.
std::vector<std::string> All(const std::string& text, const std::string& pattern) {
    std::vector<std::string> out;
    boost::regex re = Re(pattern);
    auto from = text.begin();
    boost::smatch m;
    while (from != text.end() && boost::regex_search(from, text.end(), m, re)) {
        for (std::size_t g = 1; g < m.size(); ++g)
            if (m[g].length() > 0)
                out.push_back(m[g]);
        if (m[0].length() == 0)
            break;
        from = m[0].second;
    }
    return out;
}

// The first non-empty group of the first match that has one.
std::string First(const std::string& text, const std::string& pattern) {
    boost::regex re = Re(pattern);
    auto from = text.begin();
    boost::smatch m;
    while (from != text.end() && boost::regex_search(from, text.end(), m, re)) {
        for (std::size_t g = 1; g < m.size(); ++g)
            if (m[g].length() > 0)
                return m[g];
        from = m[0].second;
    }
    return {};
}

std::string Replace(const std::string& text, const std::string& pattern) {
    return boost::regex_replace(text, Re(pattern), std::string());
}

std::string FirstOf(const std::string& text, const std::vector<std::string>& patterns,
                    std::size_t trimFrom = 99) {
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        std::string v = First(text, patterns[i]);
        if (i >= trimFrom)
            v = Trim(v);
        if (!v.empty())
            return v;
    }
    return {};
}

// Percent-encoding of GBK bytes the way the collector writes search keywords.
std::string EncodeKeyword(const std::string& gbk) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : gbk) {
        if (std::isalnum(c) && c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::u16string units;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 5 < text.size() && (text[i + 1] == 'u' || text[i + 1] == 'U')) {
            out += Utf16ToGbk(std::u16string(
                1, static_cast<char16_t>(std::stoi(text.substr(i + 2, 4), nullptr, 16))));
            i += 5;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsbnValid(const std::string& isbn) {
    if (isbn.size() != 13 || isbn.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int sum = 0;
    for (int i = 0; i < 13; ++i) sum += (isbn[static_cast<std::size_t>(i)] - '0') * (i % 2 ? 3 : 1);
    return sum % 10 == 0;
}

bool HasBuyButton(const std::string& page) {
    for (const char* p : {"(?<ExistBuyPic>booksale.gif)", "(?<ExistBuyPic>btn_buy.gif)",
                          "(?<ExistBuyPic>but_buy_area.gif)", "(?<ExistBuyPic>but_buy.gif)"})
        if (!All(page, p).empty())
            return true;
    return false;
}

// The availability note as the collector derives it from a product page.
std::string BuyingNote(const std::string& page, std::size_t* cleanedBytes = nullptr) {
    if (page.find("仅支持部分城市购买") != std::string::npos)
        return "仅支持部分城市购买,购买前请联系卖家!";
    if (page.find("暂时缺货，现在可以订购") != std::string::npos)
        return "暂时缺货，现在可以订购";
    std::string all;
    for (const std::string& v : All(page, "<li class=.Buying.>(?<1>.*?)</li>")) all += v + "\r\n";
    for (const char* cut : {"登录后根据您所在地址，商品的发货时间会有所不同", "立即订购", "。",
                            "，", "\r", "\n", "\t"})
        for (std::size_t at; (at = all.find(cut)) != std::string::npos;)
            all.erase(at, std::strlen(cut));
    if (cleanedBytes)
        *cleanedBytes = all.size();
    return all.size() <= 30 ? Trim(all) : std::string();
}

// The collector's patterns, as it applies them.
const std::string kSearchItem = "<li class=\"line(.*?)</li>";
const std::string kCategoryItem = "class=\"inner\">(.*?)<li class=\"line";
const std::string kItemUrl = "class=\"pic\".*?href=\"(?<Url>.+?)\".+?<img";
const std::string kItemTitle = "<a title=\"(.*?)\"";
const std::string kDate = "([0-9]{4}-[0-9]{2}-[0-9]{2})";
const std::string kPromoItem = "onclick=\"showcatalog\\(([0-9]*?),.*?\\) \">加入购物车</a";
const std::string kNoProducts = "没有找到相关的商品";
const std::string kTooManyFilters = "筛选条件太多了，没有找到相关商品";

// The fields a list item gives the collector.
struct ItemFields {
    std::string id, title, listPrice, price, date, author, publisher;
    bool selfRun = false;
};

class BookstoreSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim_ = new BookstoreSim();
        ASSERT_TRUE(sim_->Start("127.0.0.1", 0));
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
        listing_.clear();
    }

    static const Catalog& catalog() { return sim_->catalog(); }
    static std::string origin() { return sim_->origin(); }
    static RawResponse Get(const std::string& target) { return RawGet(origin() + target); }
    static std::string Page(const std::string& target) {
        RawResponse r = Get(target);
        EXPECT_EQ(r.status, 200) << target;
        return r.body;
    }

    // The product identifier of an address, by the host-and-".html" pattern.
    static std::string IdOf(const std::string& url) {
        return Trim(First(url, origin().substr(7) + "/(.*?).html"));
    }

    static ItemFields CutSearchItem(const std::string& item) {
        ItemFields f;
        f.id = IdOf(Trim(First(item, kItemUrl)));
        f.title = Trim(First(item, kItemTitle));
        f.listPrice = Trim(First(item, "<span class=\"search_pre_price\">&yen;(.*?)</span>"));
        f.price = Trim(First(item, "<span class=\"search_now_price\">&yen;(.*?)</span>"));
        if (f.price.empty())
            f.price = First(item, "<p id=\"price_sale\"><span class=\"yen\">&yen;</span>(.*?)</p>");
        f.date = Trim(First(item, kDate));
        f.author = Trim(First(item, "name='itemlist-author'.*?>(.*?)</a>"));
        f.publisher = Trim(First(item, "name='P_cbs'.*?>(.*?)</a></span><p class=\"bottom_p\">"));
        f.selfRun = item.find("Vantrell自营") != std::string::npos;
        return f;
    }

    static ItemFields CutCategoryItem(const std::string& item) {
        ItemFields f;
        f.id = IdOf(First(item, kItemUrl));
        f.title = First(item, kItemTitle);
        f.listPrice = First(item, "<span class=\"price_r\">&yen;(.*?)</span>");
        f.price = FirstOf(item, {"<span class=\"price_n\">&yen;(.*?)</span>",
                                 "<p id=\"price_sale\"><span class=\"yen\">&yen;</span>(.*?)</p>"});
        f.date = First(item, kDate);
        f.author = First(item, "name='P_zz'.*?>(.*?)</a>");
        f.publisher = Trim(First(item, "name='P_cbs'.*?>(.*?)</a>"));
        f.selfRun = item.find("Vantrell自营") != std::string::npos;
        return f;
    }

    // Every page of a search, in order, until the site reports no products.
    static std::vector<std::string> SearchIds(const std::string& query, int* pagesSeen = nullptr) {
        std::vector<std::string> ids;
        int page = 1;
        for (;; ++page) {
            std::string body = Page("/?key=" + query + "&page_index=" + std::to_string(page));
            if (body.find(kNoProducts) != std::string::npos ||
                body.find(kTooManyFilters) != std::string::npos)
                break;
            for (const std::string& item : All(body, kSearchItem))
                ids.push_back(CutSearchItem(item).id);
            if (page > 1000)
                break;
        }
        if (pagesSeen)
            *pagesSeen = page - 1;
        return ids;
    }

    // Every book's search item, by identifier, from the unfiltered full listing.
    static const std::map<std::string, std::string>& Listing() {
        if (listing_.empty()) {
            for (int page = 1; page < 1000; ++page) {
                std::string body = Page("/?key=&category_path=01.00.00.00.00.00&page_index=" +
                                        std::to_string(page));
                if (body.find(kNoProducts) != std::string::npos)
                    break;
                for (const std::string& item : All(body, kSearchItem))
                    listing_[CutSearchItem(item).id] = item;
            }
        }
        return listing_;
    }

    static BookstoreSim* sim_;
    static std::map<std::string, std::string> listing_;
};

BookstoreSim* BookstoreSimTest::sim_ = nullptr;
std::map<std::string, std::string> BookstoreSimTest::listing_;

// --- search pages ---------------------------------------------------------------------

TEST_F(BookstoreSimTest, SearchListingCutsIntoItemsWithEveryField) {
    const int pageSize = catalog().options().pageSize;
    std::set<std::string> seen;
    int page = 1;
    for (;; ++page) {
        std::string body =
            Page("/?key=&category_path=01.00.00.00.00.00&page_index=" + std::to_string(page));
        if (body.find(kNoProducts) != std::string::npos)
            break;
        std::vector<std::string> items = All(body, kSearchItem);
        ASSERT_FALSE(items.empty()) << "page " << page;
        ASSERT_LE(static_cast<int>(items.size()), pageSize);
        for (const std::string& item : items) {
            ItemFields f = CutSearchItem(item);
            const Book* b = catalog().FindById(f.id);
            ASSERT_NE(b, nullptr) << U8(item);
            EXPECT_TRUE(seen.insert(f.id).second) << "listed twice: " << f.id;
            EXPECT_EQ(f.title, b->title) << f.id;
            EXPECT_EQ(f.listPrice, b->listPrice) << f.id;
            EXPECT_EQ(f.price, b->salePrice) << f.id;
            EXPECT_EQ(f.date, b->date) << f.id;
            EXPECT_EQ(f.author, b->author) << f.id;
            EXPECT_EQ(f.publisher, b->publisher) << f.id;
            EXPECT_EQ(f.selfRun, b->selfRun) << f.id;
        }
        if (static_cast<int>(items.size()) < pageSize)
            break;
    }
    EXPECT_EQ(seen.size(), catalog().books().size());
    // One past the last page, and far past it, there is nothing.
    for (int past : {page + 1, 99999})
        EXPECT_NE(Page("/?key=&page_index=" + std::to_string(past)).find(kNoProducts),
                  std::string::npos);
}

TEST_F(BookstoreSimTest, KeywordSearchFindsTitlesAuthorsAndPublishers) {
    const Book* plain = catalog().FirstPlain();
    ASSERT_NE(plain, nullptr);
    for (const std::string& keyword :
         {std::string("计算机"), plain->author, plain->publisher, std::string("活着")}) {
        std::set<std::string> expected;
        for (const Book& b : catalog().books())
            if (b.title.find(keyword) != std::string::npos ||
                b.author.find(keyword) != std::string::npos ||
                b.publisher.find(keyword) != std::string::npos)
                expected.insert(b.id);
        std::vector<std::string> ids =
            SearchIds(EncodeKeyword(keyword) + "&category_path=01.00.00.00.00.00");
        EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()), expected) << U8(keyword);
        EXPECT_EQ(ids.size(), expected.size()) << U8(keyword);
        EXPECT_FALSE(expected.empty()) << U8(keyword);
    }
    EXPECT_NE(Page("/?key=" + EncodeKeyword("没有这本书") + "&page_index=1").find(kNoProducts),
              std::string::npos);

    // A category path narrows the search to that category.
    const Category& top = catalog().categories()[2];
    std::vector<std::string> inTop = SearchIds("&category_path=" + top.code);
    ASSERT_FALSE(inTop.empty());
    for (const std::string& id : inTop)
        EXPECT_EQ(catalog().FindById(id)->category.substr(0, 6), top.code.substr(0, 6)) << id;

    // The keyword is echoed as text, never as markup.
    std::string echoed = Page("/?key=%3Cscript%3Ealert(1)%3C%2Fscript%3E&page_index=1");
    EXPECT_EQ(echoed.find("<script>alert"), std::string::npos);
    EXPECT_NE(echoed.find("&lt;script&gt;alert(1)"), std::string::npos);
}

TEST_F(BookstoreSimTest, SortOrdersAreHonoured) {
    struct Case {
        const char* token;
        std::function<long(const Book&)> key;
        bool descending;
    };
    auto date = [](const Book& b) {
        return b.date.empty()
                   ? 0L
                   : std::stol(b.date.substr(0, 4) + b.date.substr(5, 2) + b.date.substr(8, 2));
    };
    const std::vector<Case> cases = {
        {"sort_sale_amt_desc", [](const Book& b) { return long{b.sales}; }, true},
        {"sort_sale_amt_asc", [](const Book& b) { return long{b.sales}; }, false},
        {"sort_pubdate_desc", date, true},
        {"sort_pubdate_asc", date, false},
        {"sort_xlowprice_asc", [](const Book& b) { return b.SaleCents(); }, false},
        {"sort_xlowprice_desc", [](const Book& b) { return b.SaleCents(); }, true},
        {"sort_score_desc", [](const Book& b) { return long{b.score}; }, true},
        {"sort_score_asc", [](const Book& b) { return long{b.score}; }, false},
    };
    const std::string keyword = EncodeKeyword(catalog().FirstPlain()->publisher);
    std::vector<std::string> unsorted = SearchIds(keyword + "&category_path=01.00.00.00.00.00");
    ASSERT_GT(unsorted.size(), static_cast<std::size_t>(catalog().options().pageSize));
    for (const Case& c : cases) {
        std::vector<std::string> ids =
            SearchIds(keyword + "&category_path=01.00.00.00.00.00&sort_type=" + c.token);
        ASSERT_EQ(ids.size(), unsorted.size()) << c.token;
        EXPECT_NE(ids, unsorted) << c.token;
        for (std::size_t i = 1; i < ids.size(); ++i) {
            long prev = c.key(*catalog().FindById(ids[i - 1]));
            long next = c.key(*catalog().FindById(ids[i]));
            EXPECT_TRUE(c.descending ? prev >= next : prev <= next)
                << c.token << " at " << i << ": " << prev << " then " << next;
        }
    }
    // The same request twice gives the same order.
    EXPECT_EQ(SearchIds(keyword + "&sort_type=sort_score_asc"),
              SearchIds(keyword + "&sort_type=sort_score_asc"));
}

TEST_F(BookstoreSimTest, ListFiltersNarrowTheSearch) {
    struct Case {
        const char* filter;  // as the collector writes it
        std::function<bool(const Book&)> keeps;
    };
    const std::vector<Case> cases = {
        {"0%7C1%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C", [](const Book& b) { return b.promo; }},
        {"0%7C0%7C1%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C", [](const Book& b) { return b.inStock; }},
        {"0%7C0%7C0%7C1%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C", [](const Book& b) { return b.clearance; }},
        {"0%7C0%7C0%7C0%7C1%7C0%7C0%7C0%7C0%7C0%7C0%7C", [](const Book& b) { return b.preSale; }},
        {"0%7C0%7C0%7C0%7C0%7C1%7C0%7C0%7C0%7C0%7C0%7C", [](const Book& b) { return b.selfRun; }},
        {"0%7C0%7C0%7C0%7C0%7C0%7C1%7C0%7C0%7C0%7C0%7C",
         [](const Book& b) { return b.mobilePrice; }},
        {"0%7C1%7C1%7C0%7C0%7C1%7C0%7C0%7C0%7C0%7C0%7C",
         [](const Book& b) { return b.promo && b.inStock && b.selfRun; }},
        {"0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C", [](const Book&) { return true; }},
    };
    for (const Case& c : cases) {
        std::set<std::string> expected;
        for (const Book& b : catalog().books())
            if (c.keeps(b))
                expected.insert(b.id);
        std::vector<std::string> ids =
            SearchIds("&category_path=01.00.00.00.00.00&filter=" + std::string(c.filter));
        EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()), expected) << c.filter;
    }
    std::string none = Page(
        "/?key=&category_path=01.00.00.00.00.00&filter=0%7C1%7C1%7C1%7C1%7C1%7C1%7C0%7C0%7C0%7C0%"
        "7C&page_index=1");
    EXPECT_NE(none.find(kTooManyFilters), std::string::npos);
    EXPECT_EQ(All(none, kSearchItem).size(), 0u);
}

// --- product pages --------------------------------------------------------------------

TEST_F(BookstoreSimTest, ProductPageYieldsEveryFieldOfTheExtraction) {
    std::vector<const Book*> sample;
    for (std::size_t i = 0; i < catalog().books().size(); i += 41)
        sample.push_back(&catalog().books()[i]);
    for (int t = 0; t < kTraitCount; ++t)
        sample.push_back(catalog().FirstWith(static_cast<Trait>(t)));

    for (const Book* b : sample) {
        ASSERT_NE(b, nullptr);
        std::string page = Page("/" + b->id + ".html");
        SCOPED_TRACE(b->id);

        EXPECT_EQ(Unescape(First(page, "\"productName\":\"(.*?)\",")), b->title);
        EXPECT_EQ(FirstOf(page,
                          {"<span class=\"price_m\">&yen;(.*?)</span>",
                           "<div class=\"price_m\" id='original-price'>.*?<span "
                           "class=\"yen\">&yen;</span>(.*?)</div>",
                           "<div class=\"price_m\">.*?<span class=\"yen\">&yen;</span>(.*?)</div>",
                           "<span class=\"search_pre_price\">&yen;(.*?)</span>"},
                          3),
                  b->listPrice);
        std::string sale = Trim(First(page, "<span class=\"search_now_price\">&yen;(.*?)</span>"));
        if (sale.empty())
            sale = First(page, "<p id=\"price_sale\"><span class=\"yen\">&yen;</span>(.*?)</p>");
        if (sale.empty())
            sale = Trim(
                First(page, "<p id=\"vt-price\">.*?<span class=\"yen\">&yen;</span>(.*?)</p>"));
        EXPECT_EQ(sale, b->salePrice);
        EXPECT_EQ(FirstOf(page, {"<span class=\"t1\" id=\"author\" vt_name=\"作者\">作者:<a "
                                 "href=\".*?\"  target=\"_blank\" >(.*?)</a>",
                                 "<span class=\"t1\" id=\"author\" vt_name=\"作者\">作者:<a "
                                 "href=\".*?\"  target=\"_blank\" vt_name=\"作者\">(.*?)</a>"}),
                  b->author);
        EXPECT_EQ(
            Trim(First(page,
                       "出版社:<a href=\".*?\" target=\"_blank\" vt_name=\"出版社\">(.*?)</a>")),
            b->publisher);
        EXPECT_EQ(First(page, "<span class=\"t1\">出版时间:(.*?)&nbsp;</span>"), b->date);

        std::string isbns;
        for (const std::string& v : All(page, "ISBN：(?<Param3>.*?)<")) isbns += v + "\r\n";
        EXPECT_EQ(Trim(isbns), b->secondIsbn.empty() ? b->isbn : b->isbn + "\r\n" + b->secondIsbn);

        for (int s = 0; s < kSectionCount; ++s) {
            std::string raw =
                First(page, std::string("<div class=\"title\"><span>") +
                                SectionTitle(static_cast<Section>(s)) +
                                "</span></div>(.*?)<div class=\"section_show_more\">");
            const std::string& html = b->sections[static_cast<std::size_t>(s)];
            EXPECT_EQ(raw.empty(), html.empty()) << "section " << s;
            if (html.empty())
                continue;
            EXPECT_NE(raw.find(WithOrigin(html, origin())), std::string::npos) << "section " << s;
            std::string cleaned = Replace(Replace(raw, "<img src=\".*?\" alt=\"\" />"),
                                          "<a.*?href=[\"|'].*?[\"|'].*?>");
            EXPECT_EQ(cleaned.find("<img"), std::string::npos) << "section " << s;
            EXPECT_EQ(cleaned.find("<a "), std::string::npos) << "section " << s;
        }

        EXPECT_EQ(Trim(First(page, "</li><li>字 数：(.*?)</li><li>")), b->wordCount);
        EXPECT_EQ(Trim(First(page, "</li><li>页 数：(.*?)</li><li>")), b->pageCount);
        EXPECT_EQ(Trim(First(page, "<li>版 次：(.*?)</li><li>")), b->edition);
        EXPECT_EQ(Trim(First(page, "</li><li>包 装：(.*?)</li><li>")), b->binding);
        EXPECT_EQ(Trim(First(page, "</li><li>开 本：(.*?)</li><li>")), b->format);

        EXPECT_EQ(First(page, "<span class=\"head_title_name\" title=\"(.*?)\" >"), b->headTitle);
        EXPECT_EQ(FirstOf(page, {"<li tag=\"1\"> <a href=\"javascript:;\" imghref=\"(.*?)\">",
                                 "<li><a href=\"javascript:;\" data-imghref=\"(.*?)\">"}),
                  b->picture.empty() ? std::string() : origin() + b->picture);
        EXPECT_EQ(HasBuyButton(page), !b->Has(Trait::NoBuyButton));
    }
    EXPECT_EQ(Get("/19.html").status, 404);
}

// --- traits ---------------------------------------------------------------------------

TEST_F(BookstoreSimTest, EveryTraitIsPresentAndShowsOnItsPages) {
    using Check = std::function<bool(const Book&, const ItemFields&, const std::string&)>;
    // The title from its first bracket on; empty when it has none.
    auto bracketTail = [](const std::string& title) {
        std::size_t open = std::min(title.find("（"), title.find('('));
        return open == std::string::npos ? std::string() : title.substr(open);
    };
    const std::string bracketPattern = "[(|（](.{6,}?)[)|）](.*?)";
    const std::map<Trait, Check> checks = {
        {Trait::NoDate,
         [](auto&, auto& f, auto& p) {
             return f.date.empty() && p.find("出版时间") == std::string::npos;
         }},
        {Trait::NoListPrice,
         [](auto&, auto& f, auto& p) {
             return f.listPrice.empty() && p.find("price_m") == std::string::npos;
         }},
        {Trait::NoSalePrice,
         [](auto&, auto& f, auto& p) {
             return f.price.empty() && p.find("vt-price") == std::string::npos &&
                    p.find("price_sale") == std::string::npos;
         }},
        {Trait::NoIsbn,
         [](auto&, auto&, auto& p) { return p.find("ISBN：") == std::string::npos; }},
        {Trait::NoAuthor,
         [](auto&, auto& f, auto& p) {
             return f.author.empty() && p.find("id=\"author\"") == std::string::npos;
         }},
        {Trait::NoPicture,
         [](auto&, auto&, auto& p) { return p.find("imghref") == std::string::npos; }},
        {Trait::PngPicture,
         [](auto& b, auto&, auto& p) {
             return p.find(b.picture) != std::string::npos && b.picture.ends_with(".png") &&
                    b.picture.find(".jpg") == std::string::npos;
         }},
        {Trait::UpperCaseJpg,
         [](auto& b, auto&, auto&) {
             return b.picture.ends_with(".JPG") && b.picture.find(".jpg") == std::string::npos;
         }},
        {Trait::ShortPictureName,
         [](auto& b, auto&, auto&) {
             return First(b.picture, "([0-9]*-[0-9]_w_[0-9]*).jpg").empty() &&
                    First(b.picture, "([0-9]*-[0-9]_w).jpg") == b.id + "-1_w";
         }},
        {Trait::ShortBracket,
         [&](auto& b, auto&, auto&) {
             std::string tail = bracketTail(b.title);  // a short bracket stays
             return !tail.empty() && Replace(tail, bracketPattern) == tail;
         }},
        {Trait::LongBracket,
         [&](auto& b, auto&, auto&) {
             std::string tail = bracketTail(b.title);  // a long bracket is cut away
             return !tail.empty() && Replace(tail, bracketPattern) != tail;
         }},
        {Trait::BracketByteClash,
         [](auto& b, auto&, auto&) {
             std::size_t at = b.title.find("（");
             unsigned char before = at > 0 ? static_cast<unsigned char>(b.title[at - 1]) : 0;
             return at != std::string::npos && (before == 0xA3 || before == 0xA8 || before == 0x7C);
         }},
        {Trait::ForbiddenInTitle,
         [](auto& b, auto& f, auto&) {
             for (const auto& w : ForbiddenWordSamples())
                 if (f.title == b.title && f.title.find(w) != std::string::npos)
                     return true;
             return false;
         }},
        {Trait::ForbiddenInAuthor,
         [](auto&, auto& f, auto&) {
             for (const auto& w : ForbiddenWordSamples())
                 if (f.author.find(w) != std::string::npos)
                     return true;
             return false;
         }},
        {Trait::LongHeadTitle,
         [](auto&, auto&, auto& p) {
             std::string head = First(p, "<span class=\"head_title_name\" title=\"(.*?)\" >");
             // Byte 150 is the second half of a character: a 150-byte cut splits it.
             return head.size() > 150 && GbkPrefix(head, 150).size() == 149;
         }},
        {Trait::TwoIsbn,
         [](auto&, auto&, auto& p) {
             auto v = All(p, "ISBN：(?<Param3>.*?)<");
             return v.size() == 2 && IsbnValid(v[0]) && IsbnValid(v[1]) && v[0] != v[1];
         }},
        {Trait::PartialCities,
         [](auto&, auto&, auto& p) {
             return BuyingNote(p) == "仅支持部分城市购买,购买前请联系卖家!";
         }},
        {Trait::BackOrder,
         [](auto&, auto&, auto& p) { return BuyingNote(p) == "暂时缺货，现在可以订购"; }},
        {Trait::BuyingNote30,
         [](auto&, auto&, auto& p) {
             std::size_t n = 0;
             return !BuyingNote(p, &n).empty() && n == 30;
         }},
        {Trait::BuyingNote31,
         [](auto&, auto&, auto& p) {
             std::size_t n = 0;
             return BuyingNote(p, &n).empty() && n == 31;
         }},
        {Trait::RegionOutOfStock,
         [](auto& b, auto&, auto&) { return !b.outOfStockProvinces.empty() && b.inStock; }},
        {Trait::NotSelfRun, [](auto&, auto& f, auto&) { return !f.selfRun; }},
        {Trait::NoBuyButton, [](auto&, auto&, auto& p) { return !HasBuyButton(p); }},
    };
    ASSERT_EQ(checks.size(), static_cast<std::size_t>(kTraitCount));
    for (const auto& [trait, check] : checks) {
        std::vector<const Book*> books = catalog().AllWith(trait);
        EXPECT_GE(books.size(), 3u) << TraitName(trait);
        for (const Book* b : books) {
            ASSERT_EQ(b->traits, 1u << static_cast<int>(trait)) << b->id;
            auto listed = Listing().find(b->id);
            ASSERT_NE(listed, Listing().end()) << b->id;
            std::string page = Page("/" + b->id + ".html");
            EXPECT_TRUE(check(*b, CutSearchItem(listed->second), page))
                << TraitName(trait) << " " << b->id;
        }
    }
    // Plain books show none of it: a full set of fields and a short buying note.
    const Book* plain = catalog().FirstPlain();
    std::string page = Page("/" + plain->id + ".html");
    std::size_t n = 0;
    BuyingNote(page, &n);
    EXPECT_LE(n, 30u);
    EXPECT_TRUE(HasBuyButton(page));
    EXPECT_EQ(plain->title.find("（"), std::string::npos);
    EXPECT_EQ(plain->title.find('('), std::string::npos);
}

// --- stock callback -------------------------------------------------------------------

TEST_F(BookstoreSimTest, StockCallbackSaysNostockOnlyWhereThereIsNone) {
    const Book* regional = catalog().FirstWith(Trait::RegionOutOfStock);
    const Book* backOrder = catalog().FirstWith(Trait::BackOrder);
    const Book* plain = catalog().FirstPlain();
    std::string elsewhere;
    for (const Province& p : Provinces())
        if (std::find(regional->outOfStockProvinces.begin(), regional->outOfStockProvinces.end(),
                      p.code) == regional->outOfStockProvinces.end())
            elsewhere = p.code;
    struct Case {
        std::string id, province;
        bool nostock;
    };
    const std::vector<Case> cases = {
        {regional->id, regional->outOfStockProvinces.front(), true},
        {regional->id, regional->outOfStockProvinces.back(), true},
        {regional->id, elsewhere, false},
        {backOrder->id, "11", true},
        {backOrder->id, "44", true},
        {plain->id, "11", false},
        {plain->id, "65", false},
        {"19", "11", true},  // no such product
    };
    for (const Case& c : cases) {
        std::string answer =
            Page("/pricestock/callback.php?type=stockv3&product_id=" + c.id +
                 "&gift_ids=&gift_counts=&fourarea=true&shop_id=0&province_id=" + c.province +
                 "&page_type=book");
        EXPECT_EQ(answer.find("nostock") != std::string::npos, c.nostock)
            << c.id << " " << c.province;
    }
}

// --- category pages -------------------------------------------------------------------

TEST_F(BookstoreSimTest, CategoryHomeYieldsTheTopLevelBlock) {
    std::string page = Page("/cp01.01.00.00.00.html");
    ASSERT_NE(page.find("<h3>图书</h3>"), std::string::npos);
    std::vector<std::string> blocks =
        All(page, "<h3>图书</h3>(.*?)<div id='openHide1' name=\"Xsqb\"");
    ASSERT_EQ(blocks.size(), 1u);
    boost::regex item =
        Re("<span class=\"m\" name=\"C2\"></span>.*?<a.+?href=\"(?<URL>[^< "
           "]*)\".*?title=\"(?<Text>.+?)\".*?</a>");
    std::vector<std::pair<std::string, std::string>> found;
    for (boost::sregex_iterator it(blocks[0].begin(), blocks[0].end(), item), end; it != end; ++it)
        found.emplace_back((*it)["URL"], (*it)["Text"]);
    ASSERT_EQ(found.size(), TopCategoryList().size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        const auto& [nn, name] = TopCategoryList()[i];
        EXPECT_EQ(found[i].first, origin() + "/cp01." + nn + ".00.00.00.00.html");
        EXPECT_EQ(found[i].second, name);
    }
}

TEST_F(BookstoreSimTest, CategoryPagesListTheirSubCategories) {
    auto extract = [](const std::string& page, const std::string& block, const std::string& item) {
        std::vector<std::string> blocks = All(page, "(" + block + ")");
        std::vector<std::pair<std::string, std::string>> out;
        if (blocks.empty())
            return out;
        boost::regex re = Re(item);
        for (boost::sregex_iterator it(blocks.back().begin(), blocks.back().end(), re), end;
             it != end; ++it)
            out.emplace_back((*it)["URL"], (*it)["Text"]);
        return out;
    };
    int withLeaves = 0, withoutLeaves = 0;
    for (const Category& top : catalog().categories()) {
        std::string page = Page(top.Path());
        ASSERT_NE(page.find("name=\"C1\">"), std::string::npos) << top.code;
        auto subs = extract(page, "name=\"C1\">.+?</div>",
                            "<a.+?href=\"(?<URL>[^< ]*)\".*?title=\"(?<Text>.+?)\"");
        ASSERT_EQ(subs.size(), top.children.size()) << top.code;
        EXPECT_GE(subs.size(), 2u);
        EXPECT_LE(subs.size(), 5u);
        for (std::size_t i = 0; i < subs.size(); ++i) {
            EXPECT_EQ(subs[i].first, origin() + top.children[i].Path());
            EXPECT_EQ(subs[i].second, top.children[i].name);
        }
        for (const Category& sub : top.children) {
            if (sub.children.empty() ? withoutLeaves >= 2 : withLeaves >= 2)
                continue;
            ++(sub.children.empty() ? withoutLeaves : withLeaves);
            std::string subPage = Page(sub.Path());
            EXPECT_EQ(subPage.find("name=\"C1\">"), std::string::npos);
            auto leaves = extract(subPage, "<ul id=.category_subcontent_list.>.+?</ul>",
                                  "<a.+?href=\"(?<URL>[^< ]*)\" title=\"(?<Text>.+?)\"");
            ASSERT_EQ(leaves.size(), sub.children.size()) << sub.code;
            for (std::size_t i = 0; i < leaves.size(); ++i)
                EXPECT_EQ(leaves[i].first, origin() + sub.children[i].Path());
        }
    }
    EXPECT_EQ(withLeaves, 2);
    EXPECT_EQ(withoutLeaves, 2);
}

TEST_F(BookstoreSimTest, CategoryPagesPageSortAndFilterTheirBooks) {
    // The fullest top-level category, so that it runs over several pages.
    std::map<std::string, int> sizes;
    for (const Book& b : catalog().books()) ++sizes[b.category.substr(0, 6)];
    const Category* fullest = &catalog().categories().front();
    for (const Category& c : catalog().categories())
        if (sizes[c.code.substr(0, 6)] > sizes[fullest->code.substr(0, 6)])
            fullest = &c;
    const Category& top = *fullest;
    const std::string prefix = top.code.substr(0, 6);
    const int pageSize = catalog().options().pageSize;
    auto crawl = [&](const std::function<std::string(int)>& address, std::vector<ItemFields>& out) {
        int page = 1;
        for (;; ++page) {
            std::string body = Page(address(page));
            if (body.find(kNoProducts) != std::string::npos) {
                EXPECT_NE(body.find("name=\"C1\">"), std::string::npos);  // the block stays
                break;
            }
            if (body.find(kTooManyFilters) != std::string::npos)
                break;
            std::vector<std::string> items = All(body, kCategoryItem);
            EXPECT_FALSE(items.empty());
            for (const std::string& item : items) out.push_back(CutCategoryItem(item));
            if (page > 100)
                break;
        }
        return page - 1;
    };

    // Path form, as the crawler builds it from an absolute address: sort by price, no filter.
    std::vector<ItemFields> items;
    int pages = crawl(
        [&](int n) {
            return "/pg" + std::to_string(n) + "-cp" + top.code +
                   "-srsort_xlowprice_asc-f0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0.html";
        },
        items);
    std::set<std::string> expected;
    for (const Book& b : catalog().books())
        if (b.category.rfind(prefix, 0) == 0)
            expected.insert(b.id);
    ASSERT_GT(expected.size(), static_cast<std::size_t>(pageSize)) << "want several pages";
    EXPECT_EQ(pages, static_cast<int>((expected.size() + pageSize - 1) / pageSize));
    std::set<std::string> seen;
    long last = -1;
    for (const ItemFields& f : items) {
        const Book* b = catalog().FindById(f.id);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(seen.insert(f.id).second) << f.id;
        EXPECT_EQ(f.title, b->title);
        EXPECT_EQ(f.listPrice, b->listPrice);
        EXPECT_EQ(f.price, b->salePrice);
        EXPECT_EQ(f.date, b->date);
        EXPECT_EQ(f.author, b->author);
        EXPECT_EQ(f.publisher, b->publisher);
        EXPECT_EQ(f.selfRun, b->selfRun);
        EXPECT_GE(b->SaleCents(), last);
        last = b->SaleCents();
    }
    EXPECT_EQ(seen, expected) << "every book once, the last of each page included";

    // Page 0 is the first page; a page without "pg" too.
    EXPECT_EQ(Page("/pg0-cp" + top.code + ".html"), Page("/pg1-cp" + top.code + ".html"));
    EXPECT_EQ(Page("/cp" + top.code + ".html"), Page("/pg1-cp" + top.code + ".html"));

    // Query form straight after ".html", as a relative category address gets it: own goods only.
    std::vector<ItemFields> own;
    crawl(
        [&](int n) {
            return "/pg" + std::to_string(n) + "-cp" + top.code +
                   ".html&sort_type=sort_pubdate_desc&filter=0%7C0%7C0%7C0%7C0%7C1%7C0%7C0%7C0%7C0%"
                   "7C0%7C";
        },
        own);
    ASSERT_FALSE(own.empty());
    std::string lastDate = "9999";
    for (const ItemFields& f : own) {
        EXPECT_TRUE(f.selfRun) << f.id;
        EXPECT_LE(f.date, lastDate);
        lastDate = f.date;
    }

    // Path-form pre-sale filter; then everything on finds nothing.
    std::vector<ItemFields> pre;
    crawl(
        [&](int n) {
            return "/pg" + std::to_string(n) + "-cp" + top.code +
                   "-f0%7C0%7C0%7C0%7C1%7C0%7C0%7C0%7C0.html";
        },
        pre);
    for (const ItemFields& f : pre) EXPECT_TRUE(catalog().FindById(f.id)->preSale) << f.id;
    std::string none = Page("/pg1-cp" + top.code +
                            "-f0%7C1%7C1%7C0%7C1%7C1%7C0%7C0%7C0.html&filter=0%7C1%7C1%7C1%7C1%7C1%"
                            "7C1%7C0%7C0%7C0%7C0%7C");
    EXPECT_NE(none.find(kTooManyFilters), std::string::npos);
    EXPECT_EQ(Get("/cp01.99.00.00.00.00.html").status, 404);
}

// --- promotion pages ------------------------------------------------------------------

TEST_F(BookstoreSimTest, PromotionPagesListShowcatalogItemsWithRepeats) {
    for (const Promotion& promo : catalog().promotions()) {
        std::vector<std::string> ids;
        for (int page = 1; page < 100; ++page) {
            std::string body = Page(promo.path + "?page_index=" + std::to_string(page));
            if (body.find(kNoProducts) != std::string::npos)
                break;
            for (const std::string& id : All(body, kPromoItem)) ids.push_back(Trim(id));
        }
        EXPECT_EQ(ids, promo.ids) << promo.path;
        std::set<std::string> distinct(ids.begin(), ids.end());
        EXPECT_LT(distinct.size(), ids.size()) << "some books come twice: " << promo.path;
        for (const std::string& id : distinct) EXPECT_NE(catalog().FindById(id), nullptr);
    }
    // A typed address with its own query still pages by "page_index".
    const Promotion& big = catalog().promotions().front();
    ASSERT_GT(big.ids.size(), static_cast<std::size_t>(catalog().options().pageSize));
    std::vector<std::string> second = All(Page(big.path + "?src=banner?page_index=2"), kPromoItem);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.front(), big.ids[static_cast<std::size_t>(catalog().options().pageSize)]);
    EXPECT_EQ(Get("/subject/9.html?page_index=1").status, 404);
}

// --- pictures -------------------------------------------------------------------------

TEST_F(BookstoreSimTest, PicturesAreRealImagesUnderTheirNames) {
    struct Case {
        const Book* book;
        const char* type;
        const char* magic;
    };
    const std::vector<Case> cases = {
        {catalog().FirstPlain(), "image/jpeg", "\xFF\xD8\xFF"},
        {catalog().FirstWith(Trait::ShortPictureName), "image/jpeg", "\xFF\xD8\xFF"},
        {catalog().FirstWith(Trait::UpperCaseJpg), "image/jpeg", "\xFF\xD8\xFF"},
        {catalog().FirstWith(Trait::PngPicture), "image/png", "\x89PNG\r\n\x1A\n"},
    };
    std::set<std::string> bodies;
    for (const Case& c : cases) {
        RawResponse r = Get(c.book->picture);
        EXPECT_EQ(r.status, 200) << c.book->picture;
        EXPECT_EQ(r.contentType, c.type);
        EXPECT_EQ(r.body.rfind(c.magic, 0), 0u) << c.book->picture;
        if (std::string(c.type) == "image/jpeg")
            EXPECT_TRUE(r.body.ends_with("\xFF\xD9"));
        else
            EXPECT_TRUE(r.body.ends_with(std::string("IEND\xAE\x42\x60\x82", 8)));
        bodies.insert(r.body);
    }
    EXPECT_EQ(bodies.size(), cases.size()) << "each book has its own picture file";
    const Book* plain = catalog().FirstPlain();
    EXPECT_EQ(First(plain->picture, "([0-9]*-[0-9]_w_[0-9]*).jpg"),
              plain->picture.substr(8, plain->picture.size() - 12));
    EXPECT_EQ(Get("/images/" + plain->id + "-1_w_99.jpg").status, 404);
    EXPECT_EQ(Get("/images/missing.jpg").status, 404);
}

// --- whole site -----------------------------------------------------------------------

TEST_F(BookstoreSimTest, EveryAddressInThePagesPointsAtTheSimAndAnswers) {
    const Book* b = catalog().FirstWith(Trait::LongBracket);
    std::vector<std::string> pages = {
        "/cp01.01.00.00.00.html",
        catalog().categories().front().Path(),
        catalog().categories().front().children.front().Path(),
        "/?key=&category_path=01.00.00.00.00.00&page_index=1",
        catalog().promotions().back().path + "?page_index=1",
    };
    for (int i = 0; i < 12; ++i)
        pages.push_back("/" + catalog().books()[static_cast<std::size_t>(i * 97)].id + ".html");
    pages.push_back("/" + b->id + ".html");
    std::set<std::string> fetched;
    for (const std::string& target : pages) {
        std::string page = Page(target);
        for (const std::string& url :
             All(page, "(?:href|src|imghref|data-imghref)=[\"']([^\"']*)[\"']")) {
            if (url.rfind("javascript:", 0) == 0)
                continue;
            EXPECT_EQ(url.rfind(origin() + "/", 0), 0u) << target << ": " << U8(url);
            bool picture = url.find("/images/") != std::string::npos;
            if (picture && fetched.insert(url).second) {
                EXPECT_EQ(RawGet(url).status, 200) << target << ": " << url;
            }
        }
    }
    EXPECT_GT(fetched.size(), 20u);
}

TEST(BookstoreCatalog, IsbnsCarryValidCheckDigits) {
    Catalog catalog;
    std::set<std::string> seen;
    int checked = 0;
    for (const Book& b : catalog.books())
        for (const std::string* isbn : {&b.isbn, &b.secondIsbn}) {
            if (isbn->empty())
                continue;
            EXPECT_TRUE(IsbnValid(*isbn)) << b.id << " " << *isbn;
            EXPECT_TRUE(seen.insert(*isbn).second) << "shared " << *isbn;
            ++checked;
        }
    EXPECT_GT(checked, 2900);
}

std::string Serialize(const Catalog& c) {
    std::string out;
    for (const Book& b : c.books()) {
        out += b.id + b.title + b.author + b.publisher + b.listPrice + b.salePrice + b.date +
               b.isbn + b.secondIsbn + b.headTitle + b.picture + b.buyingNote + b.category +
               std::to_string(b.traits) + std::to_string(b.sales) + std::to_string(b.score);
        for (const auto& s : b.sections) out += s;
        for (const auto& p : b.outOfStockProvinces) out += p;
        out += "\n";
    }
    for (const Promotion& p : c.promotions())
        for (const auto& id : p.ids) out += id;
    return out;
}

TEST(BookstoreCatalog, SameSeedGivesTheSameSiteByteForByte) {
    BookstoreSim a({7, 500, 60}), b({7, 500, 60}), other({8, 500, 60});
    ASSERT_TRUE(a.Start("127.0.0.1", 0));
    ASSERT_TRUE(b.Start("127.0.0.1", 0));
    EXPECT_EQ(Serialize(a.catalog()), Serialize(b.catalog()));
    EXPECT_NE(Serialize(a.catalog()), Serialize(other.catalog()));
    const Book& book = a.catalog().books()[123];
    for (const std::string& target :
         {"/" + book.id + ".html", std::string("/?key=&page_index=2&sort_type=sort_score_desc"),
          std::string("/cp01.01.00.00.00.html"), a.catalog().categories()[3].Path(),
          a.catalog().promotions().front().path + "?page_index=1", book.picture}) {
        std::string fromA = RawGet(a.origin() + target).body;
        std::string fromB = RawGet(b.origin() + target).body;
        ASSERT_FALSE(fromA.empty()) << target;
        // Pages differ only in the port each sim listens on.
        for (std::size_t at; (at = fromB.find(b.origin())) != std::string::npos;)
            fromB.replace(at, b.origin().size(), a.origin());
        EXPECT_EQ(fromA, fromB) << target;
    }
}

TEST(BookstoreCatalog, SmallCataloguesStillShowEveryTrait) {
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        Catalog small({seed, 150, 20});
        for (int t = 0; t < kTraitCount; ++t)
            EXPECT_GE(small.AllWith(static_cast<Trait>(t)).size(), 3u)
                << seed << " " << TraitName(static_cast<Trait>(t));
        EXPECT_NE(small.FirstPlain(), nullptr);
    }
}

}  // namespace
