// The promo layout of the bookstore's list pages.
#include "collect/list_parsers.h"
#include "fuzz_targets.h"
#include "list_pages.h"

namespace vt::fuzz {

int FuzzListPromo(const std::uint8_t* data, std::size_t size) {
    return FuzzListLayout(data, size, &ParsePromoPage);
}

}  // namespace vt::fuzz
