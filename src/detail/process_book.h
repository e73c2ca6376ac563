// The detail stage's work on one to-collect row: fetch the product page, read the book,
// run the checks in their fixed order, build the descriptions and hand the book to the
// collected list. A dropped book keeps its row, with its reason in the status column
// (for most reasons) and one count in a "过滤：" box.
#pragma once

#include "core/work_lists.h"

namespace vt {

class AppContext;

// For keyword and category jobs: title, prices, author, publisher and date come from
// the row; the rest from the page. True when the book went to the collected list.
// A row that the list no longer holds (it was cleared) is not processed: false.
bool ProcessBookFromRow(AppContext& ctx, RowRef row);

// For promotion jobs and imported codes: everything but the id comes from the page.
// True when the book went to the collected list.
bool ProcessBookFromPage(AppContext& ctx, RowRef row);

}  // namespace vt
