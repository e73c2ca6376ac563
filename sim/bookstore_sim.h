// The stand-in for the Vantrell bookstore: every role of the site (search, categories,
// promotions, product pages, stock callback, pictures) on one local port, answering from
// a generated catalogue.
//
//   /?key=…&category_path=01.00.00.00.00.00[&sort_type=…][&filter=…][&page_index=n]
//   /cp01.01.00.00.00.html                       category home
//   /[pgN-]cp<code>[-sr<sort>][-f<filter>].html   category pages (query-form keys after
//                                                ".html" are honoured as well)
//   /subject/<n>.html?page_index=n               promotion pages
//   /<id>.html                                   product pages
//   /pricestock/callback.php?…&product_id=…&province_id=…
//   /images/…                                    pictures
#pragma once

#include <string>
#include <unordered_map>

#include "sim/catalog.h"
#include "sim/http_server.h"

namespace vt::sim {

class BookstoreSim {
public:
    explicit BookstoreSim(CatalogOptions options = {});
    ~BookstoreSim();
    BookstoreSim(const BookstoreSim&) = delete;
    BookstoreSim& operator=(const BookstoreSim&) = delete;

    // Port 0 picks a free port.
    bool Start(const std::string& bind, int port);
    void Stop();
    // "http://127.0.0.1:<port>": the address every link in the pages starts with.
    std::string origin() const { return server_.origin(); }
    HttpServer& server() { return server_; }
    const Catalog& catalog() const { return catalog_; }

    // The answer to one request, as served (also usable without a socket).
    HttpResponse Handle(const HttpRequest& request) const;

private:
    HttpResponse Search(const HttpRequest& request) const;
    HttpResponse CategoryList(const std::string& target) const;
    HttpResponse PromotionList(const HttpRequest& request) const;
    HttpResponse Product(const std::string& id) const;
    HttpResponse Stock(const HttpRequest& request) const;
    HttpResponse Picture(const std::string& path) const;

    Catalog catalog_;
    // Picture path -> the book it shows (main pictures and second views).
    std::unordered_map<std::string, const Book*> pictures_;
    HttpServer server_;
};

}  // namespace vt::sim
