// Product pages of the stand-in bookstore, taken straight from its handler.
#pragma once

#include <memory>
#include <string>

#include "core/book_types.h"
#include "sim/bookstore_sim.h"

namespace vt::testing {

// The page the stand-in serves for "/" + id + ".html" (GBK).
std::string ProductPageText(const sim::BookstoreSim& store, const std::string& id);

// The record the detail stage would hand over for a book of the stand-in bookstore
// served at storeOrigin (no picture address for a book without one).
std::unique_ptr<O_BookInfo> CollectedRecordOf(const sim::Book& book,
                                              const std::string& storeOrigin);

}  // namespace vt::testing
