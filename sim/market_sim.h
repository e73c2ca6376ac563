// A stand-in for the marketplace's seller pages, serving every host role (login, upload,
// sell, image CDN) on one port. It answers in the markup the system reads and refuses
// what the real seller pages refuse: requests without a logged-in session, reused or
// foreign form tokens, malformed forms and items the shop cannot take.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sim/form_parsing.h"
#include "sim/http_server.h"

namespace vt::sim {

struct MarketAccount {
    std::string nick;  // GBK
    std::string password;
};

struct ShopCategory {
    std::string text;
    std::string value;
};

struct FreightTemplate {
    std::string text;
    std::string value;  // as it stands in the answer: a number, or a quoted text
};

// How the category service answers an ISBN.
enum class CategoryAnswer {
    NewBook,         // a new-book category first, a second-hand one after it
    ReservedFirst,   // the reserved category 121956004 first, then a new-book category
    SecondHandOnly,  // two second-hand categories
    Short,           // an answer under 30 bytes
    PriceMissing,    // an answer naming the price as missing ("价格为空")
};

struct MarketOptions {
    std::vector<MarketAccount> accounts = {{"vantrell_demo", "demo123"}};
    std::vector<ShopCategory> shopCategories = {{"文学小说", "1217810001"},
                                                {"少儿读物", "1217810002"},
                                                {"教材教辅", "1217810003"},
                                                {"经管励志", "1217810004"}};
    // The second entry has no text, as templates saved without a name come back.
    std::vector<FreightTemplate> freightTemplates = {
        {"全国包邮", "8150721"}, {"", "8150722"}, {"江浙沪包邮", "\"8150723\""}};
    // Answers fixed per ISBN; every other ISBN gets one chosen from its digits.
    std::map<std::string, CategoryAnswer> categoryAnswers;
    std::uint64_t seed = 1;  // tokens, session ids and picture names
};

// One item of a shop, with every field of its publish form.
struct ShopItem {
    std::string itemId;  // the reserved item number it was published under
    std::string nick;    // the shop
    std::string title;
    std::string price;
    std::string quantity;
    std::string categoryId;
    std::string picture;  // address of the uploaded main picture
    std::string description;
    std::string outerCode;
    std::string freightTemplate;
    bool onSale = false;  // false: published to the warehouse
    FormFields fields;    // every posted field, in body order
};

class MarketSim {
public:
    explicit MarketSim(MarketOptions options = {});
    ~MarketSim();
    MarketSim(const MarketSim&) = delete;
    MarketSim& operator=(const MarketSim&) = delete;

    bool Start(const std::string& bind, int port);
    void Stop();
    std::string origin() const { return server_.origin(); }
    HttpServer& server() { return server_; }
    // The requests that store something (an item, a picture): where a lost answer hurts.
    static std::vector<std::string> AcceptingPaths() {
        return {"/auction/publish/publish.htm", "/auction/publish/uploadSingleImage.do"};
    }

    // A logged-in session for that nick, as the Cookie header a browser would send.
    std::string CookieFor(const std::string& nick);
    // Every session lapses; the seller pages then answer as to a logged-out visitor.
    void ExpireSessions();
    // "亲，访问受限了" on every seller page while on.
    void SetAccessLimited(bool limited);
    void SetCategoryAnswer(const std::string& isbn, CategoryAnswer answer);
    CategoryAnswer CategoryAnswerFor(const std::string& isbn) const;

    std::vector<ShopItem> Items() const;
    // The shop's items as UTF-8 JSON, as served at /_sim/items.
    std::string ItemsJson() const;

private:
    struct Session {
        std::string nick;
        std::string goodsToken;
    };
    struct IssuedForm {
        std::string session;
        std::string itemNumber;
        bool used = false;
    };
    struct StoredImage {
        std::string contentType;
        std::string bytes;
    };

    HttpResponse Handle(const HttpRequest& req);
    HttpResponse LoginPage(const std::string& message) const;
    HttpResponse Login(const HttpRequest& req);
    HttpResponse SellPage(const HttpRequest& req);
    HttpResponse CategoryQuery(const HttpRequest& req);
    HttpResponse ShopCategories(const HttpRequest& req);
    HttpResponse FreightTemplates(const HttpRequest& req);
    HttpResponse UploadImage(const HttpRequest& req);
    HttpResponse Publish(const HttpRequest& req);
    HttpResponse GoodsTokenPage(const HttpRequest& req);
    HttpResponse GoodsQuery(const HttpRequest& req);
    HttpResponse Image(const HttpRequest& req) const;

    // Callers hold mutex_.
    std::string NextHex(std::size_t digits);
    std::string NewSession(const std::string& nick);
    const Session* SessionOf(const HttpRequest& req) const;
    std::string SessionIdOf(const HttpRequest& req) const;

    MarketOptions options_;
    HttpServer server_;

    mutable std::mutex mutex_;                   // guards everything below
    std::map<std::string, Session> sessions_;    // by session cookie
    std::map<std::string, IssuedForm> forms_;    // by form token
    std::map<std::string, StoredImage> images_;  // by path
    std::set<std::string> imageUrls_;            // every address handed out
    std::vector<ShopItem> items_;
    std::map<std::string, CategoryAnswer> categoryAnswers_;
    bool accessLimited_ = false;
    std::uint64_t draws_ = 0;
    std::uint64_t itemNumbers_ = 0;
};

}  // namespace vt::sim
