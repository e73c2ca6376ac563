// One collected book becomes a new item of the seller's shop by replaying the
// marketplace's publish page: fetch the sell page, scrape its hidden keys, look up the
// category by ISBN, upload the cover picture and post the whole publish form.
// The outcome goes into the book's row, the counter boxes, the log and, on success,
// the seller's product database.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/work_lists.h"

namespace vt {

class AppContext;
struct O_BookInfo;

// The item being published; lives for one attempt. All text GBK.
struct PublishItem {
    std::string Title;
    std::string Description;
    std::string ISBN;
    std::string Price;
    std::string Quantity;
    std::string Author;
    std::string PressName;
    std::string PressDate;
    std::string MarketPrice;
    std::string SubTitle;
    std::string LocalImageFileName;
    std::string BookName;
    std::string MobileDescription;
    std::string OuterCode;
    // Filled by PublishOne.
    std::string TbToken;
    std::string SellerActionBeginTime;
    std::string ItemNumber;
    std::string PageKey;
    std::string CategoryId;
    std::string ImageUrl;
};

using FormFields = std::vector<std::pair<std::string, std::string>>;

// The item's title under the title settings, counted in GBK bytes and never cut inside a
// character: the custom template or the book name, "?" removed, the prefix and suffix
// added only while the title stays strictly shorter than the limit.
std::string BuildTitle(AppContext& ctx, const O_BookInfo& book);

// Fills the item from the book and the settings. Returns the error text, empty on
// success: "价格为空，上传失败" for a book without a list price (nothing filled then).
std::string BuildPublishItem(AppContext& ctx, const O_BookInfo& book, PublishItem& item);

// The hidden keys of the sell page. Returns the page key (the item number), empty unless
// all four inputs are there; token, begin time and item number as found (untrimmed).
std::string ScrapePublishKeys(const std::string& page, std::string& token, std::string& beginTime,
                              std::string& itemNumber);

// Every field of the publish form, in the order of first assignment; a name assigned
// again keeps its place and takes the later value, so the body names each field once.
FormFields BuildPublishFields(AppContext& ctx, const PublishItem& item);

// The picture address in the upload's answer, or empty.
std::string UploadedPictureUrl(const std::string& answer);

// What a publish answer settles. Taken: the answer confirms the item. Refused: a whole
// answer saying the item was not taken (the shop's reason as detail, or a text saying it
// gave none). Unknown: anything else, which may have followed an accepted item; detail
// says so with what the transport reported. Detail is never empty unless Taken.
struct PublishOutcome {
    enum Kind { Taken, Refused, Unknown } kind;
    std::string detail;
};
PublishOutcome ReadPublishAnswer(int posted, const std::string& answer);

// One publish attempt with the given seller cookie; row is the book's row of the
// collected list. True when the marketplace confirms the new item.
bool PublishOne(AppContext& ctx, PublishItem& item, RowRef row, const std::string& cookie);

}  // namespace vt
