// The marketplace's answers this program reads: the category suggestion for an ISBN,
// the freight templates and the goods query of the items on sale.
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "market/category_lookup.h"
#include "market/on_sale_check.h"
#include "market/price_rules.h"

namespace vt::fuzz {

int FuzzMarketAnswers(const std::uint8_t* data, std::size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    ChooseCategory(answer);
    for (const FreightTemplate& entry : ParseFreightTemplates(answer))
        Require(!entry.text.empty() || !entry.value.empty(), "a freight template is not blank");
    for (const std::string& id : OnSaleItemIds(answer))
        Require(!id.empty(), "an item on sale has an id");
    const auto parts = SplitInput(data, size, 2);
    const std::string body = GoodsQueryBody(parts[0], parts[1]);
    Require(body.find("outId=" + parts[0]) != std::string::npos, "the outer code is sent as given");
    return 0;
}

}  // namespace vt::fuzz
