// The publish exchange: the hidden keys scraped from the sell page, the publish form
// built from a book whose every field came from the bookstore, and the picture upload's
// form parts. A field name is sent once, the body read back names exactly the built
// fields whatever the values, and only a well-formed ISBN goes into the form.
#include "market/publish_form.h"

#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "base/encoders.h"
#include "core/book_types.h"
#include "core/context.h"
#include "detail/isbn_check.h"
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
        std::vector<std::string> order;
        for (const auto& field : fields) {
            Require(names.insert(field.first).second, "a publish field is named once");
            order.push_back(field.first);
        }
        // Whatever the values, the body carries exactly these fields, or is not built.
        const std::string boundary = NewMultipartBoundary();
        const std::string body = BuildMultipartBody(fields, boundary);
        std::vector<std::string> sent;
        if (body.empty()) {
            Require(UnsafeMultipartField(fields, boundary) != nullptr,
                    "a publish form is refused only for an unsafe value");
        } else {
            Require(ReadMultipartNames(body, boundary, sent), "the publish body reads back");
            Require(sent == order, "the publish body names exactly the built fields in order");
        }
        for (const char* isbnField : {"J_SearchKey", "cp_1636953"}) {
            for (const auto& [name, value] : fields)
                if (name == isbnField)
                    Require(value.empty() || IsWellFormedIsbn(value),
                            "only a well-formed ISBN goes into the form");
        }
    }

    PublishItem upload;
    upload.ISBN = parts[3];
    upload.LocalImageFileName = parts[6];
    const std::string fileName = UploadFileName(parts[6]);
    Require(fileName.find_first_of("/\\") == std::string::npos,
            "the uploaded file name names no folder");
    const std::string partName = UploadPartFileName(upload);
    Require(partName.find_first_of(std::string_view("\"\r\n\0", 4)) == std::string::npos,
            "the upload part's file name cannot end its parameter");
    Require(partName == "image.JPG" || partName == fileName,
            "the upload part's file name is the picture's or the neutral one");
    const std::string uploadBoundary = NewMultipartBoundary();
    const std::vector<std::pair<std::string, std::string>> uploadFields{
        {"primary", "true"}, {"_tb_token_", token}, {"itemId", itemNumber}, {"cateid", parts[3]}};
    const std::string uploadBody = BuildMultipartBody(uploadFields, uploadBoundary);
    std::vector<std::string> uploadNames;
    if (!uploadBody.empty()) {
        Require(ReadMultipartNames(uploadBody, uploadBoundary, uploadNames),
                "the upload fields read back");
        Require(uploadNames.size() == 4, "the upload sends its four fields");
    }
    return 0;
}

}  // namespace vt::fuzz
