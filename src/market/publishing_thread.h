// The last stage of a job: publishing threads walk the collected list in order (the
// processing cursor), download each book's cover picture and publish the book to the
// marketplace with the next account's cookie, writing every outcome into the book's row.
#pragma once

#include <string>

#include "core/work_lists.h"

namespace vt {

class AppContext;
struct O_BookInfo;

// "淘宝状态" of a collected book that the account has published already.
inline constexpr char kAlreadyPublished[] = "已上传过";
// "淘宝状态" of a book whose publish found the login lapsed; it is not tried again.
inline constexpr char kLapsedNotPublished[] = "登陆失效，未上传";
// "淘宝状态" of a book whose earlier publish got no clear answer when the shop could not be
// asked whether it holds the item: not posted, the entry stays for a later run. The reason
// follows in brackets.
inline constexpr char kUnknownNotAsked[] = "上次发布结果未知，店铺查询失败，未上传";
// The same when the item would have gone to the warehouse, which the goods query does not
// list: "not found" proves nothing there.
inline constexpr char kUnknownInWarehouse[] =
    "上次发布结果未知，发往仓库的宝贝查询不到，未上传，请到仓库核对";

enum class PublishVariant {
    Job,     // started by a collection job: 50 ms cursor wait
    Import,  // started by a codes import: 3000 ms cursor wait, count read again under it
};

// The thread procedure. Ends when the job is stopped, or when no list thread runs any
// more and the collected list is empty; idles while the login has lapsed.
void PublishingThread(AppContext& ctx, PublishVariant variant);

// Launches count publishing threads through the context's workers; the job start and the
// codes import call it (importVariant: the variant of an import).
void StartPublishingThreads(AppContext& ctx, int count, bool importVariant);

// Picture download of one collected book, then its upload (as UploadBook) when the
// picture was saved. A book already published is skipped. A book whose earlier publish got
// no clear answer is first looked up in the shop, with the cookie of the account that
// posted it: found, it is recorded as published; not found, it goes on; when the shop
// cannot be asked it is not posted. A copy of a book another thread is publishing waits
// for that outcome. The row is the one the thread took: once the list is cleared, writes
// for it drop.
void ProcessCollectedBook(AppContext& ctx, O_BookInfo& book, RowRef row);

// Builds and publishes the item of one book, then releases the row's record and paces
// the thread (PublishPacing of the context: one upload per thread takes at least that
// long). A book whose earlier publish got no clear answer is settled first, as above.
// False when the book has no list price.
bool UploadBook(AppContext& ctx, O_BookInfo& book, RowRef row);

}  // namespace vt
