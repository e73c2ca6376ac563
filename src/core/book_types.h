// The records that carry a book, a category and a list address through the system.
// Prices, dates and counts stay the text the bookstore shows.
#pragma once

#include <array>
#include <memory>
#include <string>

namespace vt {

// One book ready for publishing. Made only by the detail stage, owned by one collected row.
struct O_BookInfo {
    std::string Author;
    std::string BookName;
    bool CanBuy = false;
    std::string OuterCode;
    std::string ISBN;
    std::string PressName;
    std::string MarketPrice;
    std::string SellPrice;
    std::string BuyingNote;
    std::string ProductId;
    std::string RemoteImageUrl;
    std::string Description;
    std::string LocalImageFileName;
    std::string PressDate;
    std::string EditorRecommend;
    std::string Abstract;
    std::string AuthorRemark;
    std::string BookCatalog;
    std::string Preface;
    std::string MediaReview;
    std::string HeadTitle;
    std::string MobileDescription;
};

// One category of the bookstore: the item data of one node of the category tree.
struct VTCateInfo {
    std::string Url;   // absolute, or a path beginning "/cp" on the category host
    std::string Text;  // display name
    bool ChildrenLoaded = false;

    VTCateInfo() = default;
    VTCateInfo(std::string url, std::string text) : Url(std::move(url)), Text(std::move(text)) {}
};

// One entry of a category job: a list address and the category text that goes with it.
struct UrlAndFenlei {
    std::string Url;
    std::string Fenlei;
};

// Columns of the to-collect list.
enum ToCollectColumn : int {
    kMarkCol = 0,
    kNumberCol = 1,
    kTitleCol = 2,
    kListPriceCol = 3,
    kSellPriceCol = 4,
    kStockCol = 5,
    kAuthorCol = 6,
    kPublisherCol = 7,
    kDateCol = 8,
    kCategoryCol = 9,
    kPageCountCol = 10,
    kStatusCol = 11,
};
inline constexpr int kToCollectColumns = 12;

// Columns of the collected list.
enum CollectedColumn : int {
    kIdCol = 0,
    kOuterCodeCol = 1,
    kBookNameCol = 2,
    kImageStateCol = 3,
    kCollectedStockCol = 4,
    kStateCol = 5,
    kShopCategoryCol = 6,
    kMarketStateCol = 7,
};
inline constexpr int kCollectedColumns = 8;

// One row of the to-collect list: twelve text cells.
using ToCollectRow = std::array<std::string, kToCollectColumns>;
// One row of the collected list: eight text cells (the record travels beside it).
using CollectedRow = std::array<std::string, kCollectedColumns>;

}  // namespace vt
