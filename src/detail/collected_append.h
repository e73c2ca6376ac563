// Handing a finished book to the collected list, where the publishing threads find it.
#pragma once

#include <memory>

#include "core/book_types.h"

namespace vt {

class AppContext;

// Appends a row numbered with the next CollectedNumber, "编号" and "书名" filled, and the
// record attached (the row owns it from then on). Returns the row index.
int AddCollected(AppContext& ctx, std::unique_ptr<O_BookInfo> record);

}  // namespace vt
