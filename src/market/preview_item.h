// A preview job's step for one collected book: everything the publishing step does
// before it sends anything (picture, title, price, description, category), with the
// outcome in the book's row, so the data files show what would be published.
#pragma once

#include "core/work_lists.h"

namespace vt {

class AppContext;
struct O_BookInfo;

// "淘宝状态" of a book a preview job has built.
inline constexpr char kPreviewBuilt[] = "预览：未上传";

// Downloads the picture (unless "不下载图片" is ticked), builds the item and looks up its
// category while a login is valid; publishes nothing. The row's record is then released
// like a published one, so no later pass takes the book again.
void PreviewBook(AppContext& ctx, O_BookInfo& book, RowRef row);

}  // namespace vt
