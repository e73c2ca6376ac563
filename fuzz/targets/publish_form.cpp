// The publish exchange: the hidden keys scraped from the sell page, the publish form
// built from a book whose every field came from the bookstore, and the picture upload's
// form parts. A field name is sent once, and no field value may smuggle the boundary.
#include "market/publish_form.h"

#include <set>

#include "base/encoders.h"
#include "core/book_types.h"
#include "core/context.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "market/image_upload.h"

namespace vt::fuzz {

int FuzzPublishForm(const std::uint8_t* data, std::size_t size) {
    AppContext& ctx = FuzzContext();
    const auto parts = SplitInput(data, size, 8);

    std::string token, beginTime, itemNumber;
    const std::string key = ScrapePublishKeys(parts[0], token, beginTime, itemNumber);
    Require(key == itemNumber, "the page key is the item number");

    O_BookInfo book;
    book.BookName = parts[1];
    book.Author = parts[2];
    book.ISBN = parts[3];
    book.MarketPrice = parts[4];
    book.SellPrice = parts[4];
    book.PressName = parts[5];
    book.OuterCode = parts[6];
    book.Description = parts[7];
    book.LocalImageFileName = parts[6];
    BuildTitle(ctx, book);
    PublishItem item;
    if (BuildPublishItem(ctx, book, item).empty()) {
        item.TbToken = token;
        item.SellerActionBeginTime = beginTime;
        item.ItemNumber = itemNumber;
        item.PageKey = key;
        const FormFields fields = BuildPublishFields(ctx, item);
        std::set<std::string> names;
        for (const auto& field : fields)
            Require(names.insert(field.first).second, "a publish field is named once");
        BuildMultipartBody(fields);
    }

    const std::string fileName = UploadFileName(parts[6]);
    Require(fileName.find_first_of("/\\") == std::string::npos,
            "the uploaded file name names no folder");
    BuildMultipartBody(
        {{"primary", "true"}, {"_tb_token_", token}, {"itemId", itemNumber}, {"cateid", parts[3]}});
    return 0;
}

}  // namespace vt::fuzz
