// The bookstore's category tree as the collection panel fills it: the top-level
// categories from the category home page, a node's sub-categories from its own page the
// first time it is opened, and a built-in top-level list for a home page the patterns
// cannot read.
#pragma once

#include <string>
#include <vector>

#include "core/book_types.h"

namespace vt {

class AppContext;
class CategoryTree;
class Log;

// The category home page on the category host; this exact text also tells a top-level
// fetch from a sub-category fetch.
inline constexpr char kCategoryHomePath[] = "/cp01.01.00.00.00.html";

// One record per match of the item pattern (groups URL and Text), in match order. A match
// whose URL is empty still gives a record, with both fields empty.
std::vector<VTCateInfo> ExtractCategories(const std::string& text, const std::string& itemPattern);

// The categories of the last non-empty part (whole match, then each group) of the last
// match of the block pattern; empty when the block pattern does not match.
std::vector<VTCateInfo> ExtractCategoryBlocks(const std::string& page,
                                              const std::string& blockPattern,
                                              const std::string& itemPattern);

// The top-level categories the program carries, read with their own item pattern.
std::vector<VTCateInfo> BuiltInTopCategories();

// The categories of one fetched page: the top-level block of the home page (the built-in
// list, and "分类错误" in the log, when its patterns cannot be used), or the sub-category
// block of any other category page.
std::vector<VTCateInfo> ReadCategoryPage(const std::string& page, bool homePage, Log& log);

// Fetches one category page and reads it. An empty address is the home page; a path
// beginning "/cp" is taken on the category host.
std::vector<VTCateInfo> FetchCategories(AppContext& ctx, const std::string& address);

// Appends the top-level categories as root nodes (the caller has emptied the tree).
void LoadTopCategories(AppContext& ctx, CategoryTree& tree);

// The double-click on a node: its sub-categories are fetched once and appended below
// it; the tree is disabled meanwhile.
void ExpandCategory(AppContext& ctx, CategoryTree& tree, int node);

}  // namespace vt
