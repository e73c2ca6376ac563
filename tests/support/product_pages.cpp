#include "support/product_pages.h"

namespace vt::testing {

std::string ProductPageText(const sim::BookstoreSim& store, const std::string& id) {
    sim::HttpRequest request;
    request.method = "GET";
    request.path = "/" + id + ".html";
    request.target = request.path;
    return store.Handle(request).body;
}

}  // namespace vt::testing
