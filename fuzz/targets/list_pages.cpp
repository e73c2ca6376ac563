#include "list_pages.h"

#include "collect/list_parsers.h"
#include "core/context.h"
#include "fuzz_support.h"

namespace vt::fuzz {

int FuzzListLayout(const std::uint8_t* data, std::size_t size, ListParser parse) {
    AppContext& ctx = FuzzContext();
    // The first byte picks the switches the parsers look at; a job never asks the
    // marketplace here (no outer-code check), and no region is ticked.
    const std::uint8_t flags = size > 0 ? data[0] : 0;
    SysConfig& config = ctx.config();
    config.SetCHKFiltData(flags & 1);
    config.SetVantrellZiShouP(flags & 2);
    config.SetRemoveLastKuoHaoP(flags & 4);
    config.SetCheckByOuterCode(false);
    ctx.toCollect().Clear();

    const std::string page(reinterpret_cast<const char*>(data), size);
    parse(ctx, page);
    ReportsNoProducts(page);
    const int rows = ctx.toCollect().Count();
    for (int r = 0; r < rows; ++r)
        for (const std::string& cell : ctx.toCollect().RowAt(r))
            Require(!HasZeroByte(cell), "a list row holds no zero byte");
    return 0;
}

}  // namespace vt::fuzz
