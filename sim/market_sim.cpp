#include "sim/market_sim.h"

#include <ctime>

#include "base/text.h"
#include "sim/market_categories.h"
#include "sim/market_headers.h"
#include "sim/market_pages.h"

namespace vt::sim {
namespace {

// splitmix64, so tokens and names follow from the seed.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

const char kSessionCookie[] = "cookie2";

HttpResponse Page(std::string body) {
    HttpResponse res;
    res.body = std::move(body);
    return res;
}

HttpResponse Json(std::string body) {
    HttpResponse res;
    res.contentType = "application/json; charset=gbk";
    res.body = std::move(body);
    return res;
}

HttpResponse NotFound() {
    HttpResponse res;
    res.status = 404;
    res.body = "<html><body>404</body></html>";
    return res;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

MarketSim::MarketSim(MarketOptions options) : options_(std::move(options)) {
    categoryAnswers_ = options_.categoryAnswers;
    server_.SetHandler([this](const HttpRequest& req) { return Handle(req); });
}

MarketSim::~MarketSim() {
    Stop();
}

bool MarketSim::Start(const std::string& bind, int port) {
    return server_.Start(bind, port);
}

void MarketSim::Stop() {
    server_.Stop();
}

std::string MarketSim::NextHex(std::size_t digits) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    while (out.size() < digits) {
        std::uint64_t v = Mix(options_.seed * 0x100000001b3ULL + ++draws_);
        for (int i = 0; i < 16 && out.size() < digits; ++i, v >>= 4) out.push_back(kHex[v & 15]);
    }
    return out;
}

std::string MarketSim::NewSession(const std::string& nick) {
    std::string id = NextHex(32);
    sessions_[id] = Session{nick, {}};
    return id;
}

std::string MarketSim::SessionIdOf(const HttpRequest& req) const {
    std::string id = req.Cookie(kSessionCookie);
    return sessions_.count(id) ? id : std::string();
}

const MarketSim::Session* MarketSim::SessionOf(const HttpRequest& req) const {
    auto it = sessions_.find(req.Cookie(kSessionCookie));
    return it == sessions_.end() ? nullptr : &it->second;
}

std::string MarketSim::CookieFor(const std::string& nick) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string id = NewSession(nick);
    // tracknick is never the last pair: the nick is read up to the next ";".
    return "t=" + NextHex(32) + "; tracknick=" + nick + "; " + kSessionCookie + "=" + id +
           "; _nk_=" + nick + "; lgc=" + nick;
}

void MarketSim::ExpireSessions() {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.clear();
}

void MarketSim::SetAccessLimited(bool limited) {
    std::lock_guard<std::mutex> lock(mutex_);
    accessLimited_ = limited;
}

void MarketSim::SetCategoryAnswer(const std::string& isbn, CategoryAnswer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    categoryAnswers_[Trim(isbn)] = answer;
}

CategoryAnswer MarketSim::CategoryAnswerFor(const std::string& isbn) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = categoryAnswers_.find(Trim(isbn));
    return it != categoryAnswers_.end() ? it->second : DefaultCategoryAnswer(isbn);
}

std::vector<ShopItem> MarketSim::Items() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
}

HttpResponse MarketSim::Handle(const HttpRequest& req) {
    const std::string& path = req.path;
    const bool get = req.method == "GET";
    const bool post = req.method == "POST";

    if (get && path == "/")
        return LoginPage({});
    if (post && path == "/login")
        return Login(req);
    if (get && StartsWith(path, "/imgextra/"))
        return Image(req);
    if (get && path == "/_sim/items") {
        HttpResponse res = Json(ItemsJson());
        res.contentType = "application/json; charset=utf-8";
        return res;
    }

    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (accessLimited_)
            return Page(AccessLimitedHtml());
    }
    if (get && path == "/auction/sell.jhtml")
        return SellPage(req);
    if (post && path == "/auction/json/get_category.htm")
        return CategoryQuery(req);
    if (get && path == "/auction/goods/get_shop_category.htm")
        return ShopCategories(req);
    if (get && path == "/auction/json/listDeliveryTemplates.htm")
        return FreightTemplates(req);
    if (post && path == "/auction/publish/uploadSingleImage.do")
        return UploadImage(req);
    if (post && path == "/auction/publish/publish.htm")
        return Publish(req);
    if (get && path == "/auction/merchandise/auction_list.htm")
        return GoodsTokenPage(req);
    if (post && path == "/auction/merchandise/auction_list.htm")
        return GoodsQuery(req);
    return NotFound();
}

HttpResponse MarketSim::LoginPage(const std::string& message) const {
    return Page(LoginPageHtml(message));
}

HttpResponse MarketSim::Login(const HttpRequest& req) {
    FormFields form = ParseUrlEncodedForm(req.body);
    const std::string nick = FieldValue(form, "TPL_username");
    const std::string password = FieldValue(form, "TPL_password");
    bool known = false;
    for (const MarketAccount& account : options_.accounts)
        if (!nick.empty() && account.nick == nick && account.password == password)
            known = true;
    if (!known)
        return LoginPage("您输入的密码和账户名不匹配");

    std::string id, t, uc;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        id = NewSession(nick);
        t = NextHex(32);
        uc = NextHex(16);
    }
    HttpResponse res;
    res.status = 302;
    res.headers = {{"Location", "/auction/sell.jhtml"},
                   {"Set-Cookie", "t=" + t + "; Path=/"},
                   {"Set-Cookie", "tracknick=" + nick + "; Path=/"},
                   {"Set-Cookie", std::string(kSessionCookie) + "=" + id + "; Path=/; HttpOnly"},
                   {"Set-Cookie", "_nk_=" + nick + "; Path=/"},
                   {"Set-Cookie", "lgc=" + nick + "; Path=/"},
                   {"Set-Cookie", "uc1=cookie15=" + uc + "; Path=/; HttpOnly"}};
    return res;
}

HttpResponse MarketSim::SellPage(const HttpRequest& req) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string session = SessionIdOf(req);
    if (session.empty())
        return LoginPage({});
    SellFormKeys keys;
    keys.pageId = NextHex(8);
    keys.token = NextHex(13);
    keys.beginTime = std::to_string(static_cast<long long>(std::time(nullptr)) * 1000);
    keys.itemNumber = std::to_string(520000000000ULL + ++itemNumbers_);
    forms_[keys.token] = IssuedForm{session, keys.itemNumber, false};
    return Page(SellPageHtml(sessions_.at(session).nick, keys));
}

HttpResponse MarketSim::CategoryQuery(const HttpRequest& req) {
    std::string wrong =
        CheckPostHeaders(req, {"/auction/sell.jhtml", "application/x-www-form-urlencoded", true});
    if (!wrong.empty()) {
        HttpResponse res = Page("请求头不符：" + wrong);
        res.status = 400;
        return res;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!SessionOf(req))
            return Json("{\"needLogin\":true}");
    }
    const std::string isbn = Trim(FieldValue(ParseUrlEncodedForm(req.body), "keyword"));
    if (isbn.empty())
        return Json("[]");
    return Json(CategoryAnswerText(CategoryAnswerFor(isbn), isbn));
}

HttpResponse MarketSim::ShopCategories(const HttpRequest& req) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!SessionOf(req))
            return LoginPage({});
    }
    std::string body = "[";
    for (std::size_t i = 0; i < options_.shopCategories.size(); ++i) {
        const ShopCategory& c = options_.shopCategories[i];
        body += (i ? "," : "") + std::string("{\"text\":\"") + c.text + "\",\"value\":\"" +
                c.value + "\"}";
    }
    return Json(body + "]");
}

HttpResponse MarketSim::FreightTemplates(const HttpRequest& req) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!SessionOf(req))
            return Json("{\"success\":false,\"needLogin\":true}");
    }
    std::string body = "{\"success\":true,\"templates\":[";
    for (std::size_t i = 0; i < options_.freightTemplates.size(); ++i) {
        const FreightTemplate& t = options_.freightTemplates[i];
        body += (i ? "," : "") + std::string("{\"selected\":\"\",\"text\":\"") + t.text +
                "\",\"value\":" + t.value + "}";
    }
    return Json(body + "]}");
}

HttpResponse MarketSim::GoodsTokenPage(const HttpRequest& req) {
    std::string page;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = sessions_.find(req.Cookie(kSessionCookie));
        if (it == sessions_.end()) {
            page = LoginPageHtml({});
        } else {
            if (it->second.goodsToken.empty())
                it->second.goodsToken = NextHex(13);
            page = GoodsListPageHtml(it->second.nick, it->second.goodsToken);
        }
    }
    HttpResponse res;
    res.contentType = "text/html; charset=utf-8";
    res.body = GbkToUtf8(page);
    return res;
}

HttpResponse MarketSim::GoodsQuery(const HttpRequest& req) {
    std::string wrong = CheckPostHeaders(
        req, {"/trade/itemlist/list_sold_items.htm", "application/x-www-form-urlencoded", true});
    if (!wrong.empty()) {
        HttpResponse res = Page("请求头不符：" + wrong);
        res.status = 400;
        return res;
    }
    FormFields form = ParseUrlEncodedForm(req.body);
    const std::string token = FieldValue(form, "_tb_token_");
    const std::string outId = Trim(FieldValue(form, "outId"));
    std::vector<ShopItem> found;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Session* session = SessionOf(req);
        // A stale or foreign token gets the list without rows, as the goods manager does.
        if (session && !session->goodsToken.empty() && token == session->goodsToken) {
            for (const ShopItem& item : items_)
                if (item.nick == session->nick && item.onSale &&
                    (outId.empty() || Trim(item.outerCode) == outId))
                    found.push_back(item);
        }
    }
    return Page(GoodsRowsHtml(found));
}

}  // namespace vt::sim
