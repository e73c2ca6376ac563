// One row of every data file: a collected book with the item fields the publish form
// would send for it under the current settings, and its outcome in the collected list.
#pragma once

#include <string>
#include <vector>

#include "core/book_types.h"

namespace vt {

class AppContext;

struct DataFileRow {
    O_BookInfo book;
    // The item as the publish form would send it; empty price when it cannot be built.
    std::string title;
    std::string price;
    std::string quantity;
    std::string description;
    std::string freightTemplate;
    std::string sellingPoint;
    std::string categoryId;
    // The saved picture file, or the picture's address when pictures are not downloaded;
    // empty for a book without a picture.
    std::string picture;
    // Details the product page gave only to the descriptions.
    std::string wordCount, pageCount, edition, binding, bookFormat;
    // "图片下载状况" and "淘宝状态" of the book's row; reason: why no item could be built.
    std::string imageState, marketState, reason;
};

// The rows of the collected list that hold a book (handled or not), in list order.
std::vector<DataFileRow> CollectDataRows(AppContext& ctx);

// The value the mobile description gives after a label ("字数："), unescaped (JSON, then
// HTML text); empty
// when the label is not there.
std::string MobileDescriptionValue(const std::string& mobile, const std::string& label);

// A picture below dir as a path relative to it; anything else (an address) as it stands.
std::string PictureBelow(const std::string& picture, const std::string& dir);

// The file name of a picture path without folder and extension ("1234567-1_w").
std::string PictureBaseName(const std::string& picture);

}  // namespace vt
