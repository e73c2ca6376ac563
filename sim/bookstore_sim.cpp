#include "sim/bookstore_sim.h"

#include <algorithm>
#include <boost/regex.hpp>
#include <map>

#include "sim/bookstore_pages.h"
#include "sim/pictures.h"

namespace vt::sim {
namespace {

const char kCategoryHome[] = "/cp01.01.00.00.00.html";
const char kAllBooksPath[] = "01.00.00.00.00.00";

HttpResponse Html(std::string body, int status = 200) {
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

HttpResponse NotFound() {
    return Html("<html><body><h1>404 Not Found</h1></body></html>", 404);
}

// "0|C|Z|W|Y|V|M|0…": promotion, in stock, clearance, pre-sale, own goods, mobile price.
// The path form leaves 0 where the query form has clearance and mobile price, so one
// reading serves both.
ListFilter ParseFilter(const std::string& decoded) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        std::size_t bar = decoded.find('|', pos);
        parts.push_back(decoded.substr(pos, bar == std::string::npos ? bar : bar - pos));
        if (bar == std::string::npos)
            break;
        pos = bar + 1;
    }
    auto on = [&](std::size_t i) { return i < parts.size() && parts[i] == "1"; };
    ListFilter f;
    f.promo = on(1);
    f.inStock = on(2);
    f.clearance = on(3);
    f.preSale = on(4);
    f.selfRun = on(5);
    f.mobilePrice = on(6);
    return f;
}

// The page number of a list address: the digits after "page_index=" wherever they stand
// (a typed promotion address may carry its own query before it). Missing, zero or
// unreadable numbers mean the first page.
int PageIndex(const std::string& target) {
    std::size_t at = target.find("page_index=");
    if (at == std::string::npos)
        return 1;
    long n = 0;
    for (std::size_t i = at + 11; i < target.size() && target[i] >= '0' && target[i] <= '9'; ++i) {
        n = n * 10 + (target[i] - '0');
        if (n > 1000000)
            return 1000000;
    }
    return n < 1 ? 1 : static_cast<int>(n);
}

// Key/value pairs of a "&k=v&k=v" tail (the query-form keys a list address may carry
// straight after ".html").
std::map<std::string, std::string> TailPairs(const std::string& tail) {
    std::map<std::string, std::string> out;
    std::size_t pos = 0;
    while (pos < tail.size()) {
        std::size_t end = tail.find_first_of("&?", pos);
        if (end == std::string::npos)
            end = tail.size();
        std::string pair = tail.substr(pos, end - pos);
        std::size_t eq = pair.find('=');
        if (!pair.empty() && eq != std::string::npos)
            out[UrlDecode(pair.substr(0, eq))] = UrlDecode(pair.substr(eq + 1));
        pos = end + 1;
    }
    return out;
}

std::string QueryValue(const HttpRequest& r, const std::string& key) {
    auto it = r.query.find(key);
    return it == r.query.end() ? std::string() : it->second;
}

int PageCount(std::size_t items, int pageSize) {
    return static_cast<int>((items + static_cast<std::size_t>(pageSize) - 1) /
                            static_cast<std::size_t>(pageSize));
}

template <typename T>
std::vector<T> Slice(const std::vector<T>& all, int page, int pageSize) {
    std::size_t from = static_cast<std::size_t>(page - 1) * static_cast<std::size_t>(pageSize);
    std::size_t to = std::min(all.size(), from + static_cast<std::size_t>(pageSize));
    return from < to ? std::vector<T>(all.begin() + static_cast<long>(from),
                                      all.begin() + static_cast<long>(to))
                     : std::vector<T>();
}

// Depth of a category code: "01.05.00…" is 1, "01.05.02.00…" is 2, and so on.
int Depth(const std::string& code) {
    int depth = 0;
    for (std::size_t i = 3; i + 2 <= code.size(); i += 3)
        if (code.compare(i, 2, "00") != 0)
            depth = static_cast<int>(i / 3);
    return depth;
}

}  // namespace

BookstoreSim::BookstoreSim(CatalogOptions options) : catalog_(options) {
    for (const Book& b : catalog_.books()) {
        if (b.picture.empty())
            continue;
        pictures_[b.picture] = &b;
        pictures_["/images/" + b.id + "-2_w_1.jpg"] = &b;
    }
    server_.SetHandler([this](const HttpRequest& r) { return Handle(r); });
}

BookstoreSim::~BookstoreSim() {
    Stop();
}

bool BookstoreSim::Start(const std::string& bind, int port) {
    return server_.Start(bind, port);
}

void BookstoreSim::Stop() {
    server_.Stop();
}

HttpResponse BookstoreSim::Handle(const HttpRequest& r) const {
    if (r.method != "GET")
        return Html("<html><body>405</body></html>", 405);
    static const boost::regex kProduct(R"(^/([0-9]+)\.html$)");
    boost::smatch m;
    if (r.path == "/")
        return r.query.count("key") ? Search(r) : Html(CategoryHomePage(origin(), catalog_));
    if (r.path == kCategoryHome)
        return Html(CategoryHomePage(origin(), catalog_));
    if (r.path.rfind("/cp", 0) == 0 || r.path.rfind("/pg", 0) == 0)
        return CategoryList(r.target);
    if (r.path.rfind("/subject/", 0) == 0)
        return PromotionList(r);
    if (r.path == "/pricestock/callback.php")
        return Stock(r);
    if (r.path.rfind("/images/", 0) == 0)
        return Picture(r.path);
    if (boost::regex_match(r.path, m, kProduct))
        return Product(m[1]);
    return NotFound();
}

HttpResponse BookstoreSim::Search(const HttpRequest& r) const {
    const int pageSize = catalog_.options().pageSize;
    std::string keyword = QueryValue(r, "key");
    std::vector<const Book*> found = catalog_.Search(keyword);
    std::string path = QueryValue(r, "category_path");
    if (!path.empty() && path != kAllBooksPath) {
        std::vector<const Book*> inPath = catalog_.InCategory(path);
        std::erase_if(found, [&](const Book* b) {
            return std::find(inPath.begin(), inPath.end(), b) == inPath.end();
        });
    }
    if (found.empty())
        return Html(NoProductsPage(origin(), keyword, kNoProductsText));
    ListFilter filter = ParseFilter(QueryValue(r, "filter"));
    std::erase_if(found, [&](const Book* b) { return !filter.Passes(*b); });
    if (found.empty())
        return Html(NoProductsPage(origin(), keyword, kTooManyFiltersText));
    SortBooks(found, QueryValue(r, "sort_type"));
    int pages = PageCount(found.size(), pageSize);
    int page = PageIndex(r.target);
    if (page > pages)
        return Html(NoProductsPage(origin(), keyword, kNoProductsText));
    return Html(SearchPage(origin(), keyword, Slice(found, page, pageSize), page, pages));
}

HttpResponse BookstoreSim::CategoryList(const std::string& target) const {
    static const boost::regex kPath(
        R"(^/(?:pg(-?[0-9]+)-)?cp([0-9]{2}(?:\.[0-9]{2}){5})((?:-[^-.]+)*)\.html(.*)$)");
    boost::smatch m;
    if (!boost::regex_match(target, m, kPath))
        return NotFound();
    const Category* category = catalog_.FindCategory(m[2]);
    if (!category)
        return Html(NoProductsPage(origin(), m[2], kNoProductsText), 404);

    int page = m[1].matched ? std::atoi(std::string(m[1]).substr(0, 7).c_str()) : 1;
    page = std::max(page, 1);
    std::string sort, filterText;
    std::string tokens = m[3];
    for (std::size_t pos = 0; pos < tokens.size();) {
        std::size_t next = tokens.find('-', pos + 1);
        std::string token =
            tokens.substr(pos + 1, next == std::string::npos ? next : next - pos - 1);
        if (token.rfind("sr", 0) == 0)
            sort = token.substr(2);
        else if (token.rfind("f", 0) == 0)
            filterText = UrlDecode(token.substr(1));
        pos = next == std::string::npos ? tokens.size() : next;
    }
    auto tail = TailPairs(m[4]);
    if (tail.count("sort_type"))
        sort = tail["sort_type"];
    if (tail.count("filter"))
        filterText = tail["filter"];

    const int pageSize = catalog_.options().pageSize;
    std::vector<const Book*> books = catalog_.InCategory(category->code);
    const char* empty = nullptr;
    int pages = 0;
    if (books.empty()) {
        empty = kNoProductsText;
    } else {
        ListFilter filter = ParseFilter(filterText);
        std::erase_if(books, [&](const Book* b) { return !filter.Passes(*b); });
        SortBooks(books, sort);
        pages = PageCount(books.size(), pageSize);
        if (books.empty())
            empty = kTooManyFiltersText;
        else if (page > pages)
            empty = kNoProductsText;
    }
    return Html(CategoryPage(origin(), *category, Depth(category->code),
                             empty ? std::vector<const Book*>() : Slice(books, page, pageSize),
                             page, pages, empty));
}

HttpResponse BookstoreSim::PromotionList(const HttpRequest& r) const {
    const Promotion* promo = catalog_.FindPromotion(r.path);
    if (!promo)
        return Html(NoProductsPage(origin(), r.path, kNoProductsText), 404);
    const int pageSize = catalog_.options().pageSize;
    int pages = PageCount(promo->ids.size(), pageSize);
    int page = PageIndex(r.target);
    if (page > pages)
        return Html(NoProductsPage(origin(), promo->name, kNoProductsText));
    std::vector<const Book*> items;
    for (const std::string& id : Slice(promo->ids, page, pageSize))
        if (const Book* b = catalog_.FindById(id))
            items.push_back(b);
    return Html(PromotionPage(origin(), *promo, items, page, pages));
}

HttpResponse BookstoreSim::Product(const std::string& id) const {
    const Book* b = catalog_.FindById(id);
    if (!b)
        return Html(
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
            "charset=gbk\" /></head><body><p>您访问的商品不存在</p></body></html>",
            404);
    return Html(ProductPage(origin(), *b));
}

HttpResponse BookstoreSim::Stock(const HttpRequest& r) const {
    HttpResponse res = Html(
        StockAnswer(catalog_.FindById(QueryValue(r, "product_id")), QueryValue(r, "province_id")));
    res.contentType = "application/javascript; charset=gbk";
    return res;
}

HttpResponse BookstoreSim::Picture(const std::string& path) const {
    static const boost::regex kDetail(R"(^/images/detail/([0-9]+)_[0-9]+\.jpg$)");
    static const boost::regex kButton(
        R"(^/images/btn/(booksale|btn_buy|but_buy_area|but_buy|arrival_notice)\.gif$)");
    boost::smatch m;
    HttpResponse res;
    auto it = pictures_.find(path);
    if (it != pictures_.end()) {
        bool png = path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
        res.contentType = png ? "image/png" : "image/jpeg";
        res.body = png ? PngBytes(path) : JpegBytes(path);
    } else if (boost::regex_match(path, m, kDetail) && catalog_.FindById(m[1])) {
        res.contentType = "image/jpeg";
        res.body = JpegBytes(path);
    } else if (path == "/images/assets/nopic.jpg") {
        res.contentType = "image/jpeg";
        res.body = JpegBytes(path);
    } else if (boost::regex_match(path, kButton)) {
        res.contentType = "image/gif";
        res.body = GifBytes();
    } else {
        return NotFound();
    }
    return res;
}

}  // namespace vt::sim
