#include "support/product_pages.h"

namespace vt::testing {

std::string ProductPageText(const sim::BookstoreSim& store, const std::string& id) {
    sim::HttpRequest request;
    request.method = "GET";
    request.path = "/" + id + ".html";
    request.target = request.path;
    return store.Handle(request).body;
}

std::unique_ptr<O_BookInfo> CollectedRecordOf(const sim::Book& book,
                                              const std::string& storeOrigin) {
    auto record = std::make_unique<O_BookInfo>();
    record->BookName = book.title;
    record->ISBN = book.isbn;
    record->OuterCode = book.id;
    record->MarketPrice = book.listPrice;
    record->SellPrice = book.salePrice;
    record->Author = book.author;
    record->PressName = book.publisher;
    record->RemoteImageUrl = book.picture.empty() ? "" : storeOrigin + book.picture;
    return record;
}

}  // namespace vt::testing
