// The marketplace category of a book, found by asking the marketplace's category
// suggestion service with the ISBN; and the seller's own shop categories with the
// mapping from bookstore categories to them ("Vantrell淘宝分类对应.txt").
#pragma once

#include <string>
#include <vector>

namespace vt {

class AppContext;

// The category id for the ISBN: the first suggestion in the new-book branch, else the
// last suggestion's id; empty when the service gave no usable answer. token ends the
// Referer of the query; cookie is the publishing account's.
std::string QueryCategory(AppContext& ctx, const std::string& isbn, const std::string& token,
                          const std::string& cookie);
// The choice QueryCategory makes from one answer of the service.
std::string ChooseCategory(const std::string& answer);

// One of the seller's shop categories as the shop-category answer lists it.
struct ShopCategory {
    std::string name;
    std::string id;
};
// What one shop-category answer holds: the drop-down names in answer order (every
// named entry) and the categories among them that carry an id.
struct ShopCategoryAnswer {
    std::vector<std::string> names;
    std::vector<ShopCategory> categories;
};
ShopCategoryAnswer ParseShopCategories(const std::string& answer);

// "获取淘宝店铺类目": reads the shop's categories with the current cookie. The drop-down
// names are replaced by this answer's; the name-to-id map only grows. Returns the number
// of categories read (0 without a valid login: the map stays as it was).
int LoadShopCategories(AppContext& ctx);
// True when the shop categories of this run have been read.
bool ShopCategoriesLoaded(const AppContext& ctx);

// Reads the mapping file into the mapping list: its lines shown in reverse order. A
// missing file gives an empty list.
void LoadCategoryMapping(AppContext& ctx);
// Writes the mapping list, top row first; false when the file cannot be written.
bool SaveCategoryMapping(AppContext& ctx);

// The shop category id for a bookstore category text ("主目录_" anywhere in it is
// ignored): the mapping row whose first column matches, then its shop category's id.
// Empty when no row matches or the shop category is not known in this run.
std::string ShopCategoryFor(const AppContext& ctx, const std::string& sourceCategory);

}  // namespace vt
