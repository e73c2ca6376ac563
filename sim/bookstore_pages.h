// Markup of the stand-in bookstore's pages. Each page carries the markers and item markup
// the collector reads; everything else only makes the pages look like real ones. Every
// address in a page starts with the given origin.
#pragma once

#include <string>
#include <vector>

#include "sim/catalog.h"
#include "sim/html_escape.h"

namespace vt::sim {

// The two texts a list page shows instead of products.
extern const char kNoProductsText[];      // "没有找到相关的商品"
extern const char kTooManyFiltersText[];  // "筛选条件太多了，没有找到相关商品"

// One page of search results for the keyword.
std::string SearchPage(const std::string& origin, const std::string& keyword,
                       const std::vector<const Book*>& items, int page, int pageCount);
// A list page that has no products, showing the given text.
std::string NoProductsPage(const std::string& origin, const std::string& heading, const char* text);

// The category home: every top-level category in the "图书" block.
std::string CategoryHomePage(const std::string& origin, const Catalog& catalog);
// One page of a category: its sub-category block (top level: the "C1" block, lower
// levels: the sub-category list) and the books of the page, or `emptyText` when there are
// none (null means books are listed).
std::string CategoryPage(const std::string& origin, const Category& category, int depth,
                         const std::vector<const Book*>& items, int page, int pageCount,
                         const char* emptyText);

// One page of a promotion.
std::string PromotionPage(const std::string& origin, const Promotion& promotion,
                          const std::vector<const Book*>& items, int page, int pageCount);

// The product page of a book.
std::string ProductPage(const std::string& origin, const Book& book);

// The regional stock callback's answer; "nostock" when the book has none in the province.
std::string StockAnswer(const Book* book, const std::string& province);

// "{origin}" in catalogue markup stands for the site's origin.
std::string WithOrigin(const std::string& markup, const std::string& origin);
// Percent-encoding of GBK bytes for addresses in pages.
std::string EncodeQuery(const std::string& text);

}  // namespace vt::sim
