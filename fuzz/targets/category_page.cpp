// The category tree's pages: the home page's top-level block and any sub-category page.
#include "base/log.h"
#include "collect/category_fetch.h"
#include "core/context.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

int FuzzCategoryPage(const std::uint8_t* data, std::size_t size) {
    AppContext& ctx = FuzzContext();
    const bool homePage = size > 0 && (data[0] & 1);
    const std::string page(reinterpret_cast<const char*>(data), size);
    for (const VTCateInfo& info : ReadCategoryPage(page, homePage, ctx.log()))
        Require(!info.Url.empty() || info.Text.empty(), "a category without address has no name");
    return 0;
}

}  // namespace vt::fuzz
