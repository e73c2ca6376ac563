// Product pages of the stand-in bookstore, taken straight from its handler.
#pragma once

#include <string>

#include "sim/bookstore_sim.h"

namespace vt::testing {

// The page the stand-in serves for "/" + id + ".html" (GBK).
std::string ProductPageText(const sim::BookstoreSim& store, const std::string& id);

}  // namespace vt::testing
