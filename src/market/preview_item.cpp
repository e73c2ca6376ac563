#include "market/preview_item.h"

#include "base/text.h"
#include "core/context.h"
#include "core/session.h"
#include "detail/image_download.h"
#include "detail/isbn_check.h"
#include "market/category_lookup.h"
#include "market/publish_form.h"

namespace vt {

void PreviewBook(AppContext& ctx, O_BookInfo& book, RowRef row) {
    CollectedList& list = ctx.collected();
    if (ctx.config().CHKNoDownPic()) {
        // The data files then name the picture's address instead of a file.
        list.SetCell(row, kImageStateCol, "未下载图片");
    } else {
        const ImageTarget target = ImageFilePath(ctx, book);
        if (!target.refusal.empty()) {
            list.SetCell(row, kImageStateCol, target.refusal);
        } else {
            const int code = DownloadBookImage(ctx, book, target);
            list.SetCell(row, kImageStateCol, DownloadMessage(code));
            // A failed download leaves no picture to name.
            if (code != kImageSaved)
                book.LocalImageFileName.clear();
        }
    }
    PublishItem item;
    const std::string error = BuildPublishItem(ctx, book, item);
    if (!error.empty()) {
        list.SetCell(row, kMarketStateCol, error);
    } else {
        // The category service only answers a logged-in seller; without one the item
        // goes out with the category of the last accepted item, as a publish would.
        std::string category;
        const std::string isbn = CheckedIsbn(item.ISBN);
        if (ctx.session().LoginValid() && !isbn.empty())
            category = Trim(QueryCategory(ctx, isbn, "", NextPublishCookie(ctx)));
        if (category.empty())
            category = ctx.publishing().LastCategoryId();
        list.SetItemCategory(row, category);
        list.SetCell(row, kMarketStateCol, kPreviewBuilt);
    }
    ctx.counters().SetNumber(CounterBox::Collected, list.Count());
    list.ReleaseRecord(row, &book);
}

}  // namespace vt
