// The shop-category answer: the seller's own categories, read for the drop-down and the
// mapping from bookstore categories.
#include <string>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "market/category_lookup.h"

namespace vt::fuzz {

namespace {

// The answer's markers are matched without regard to ASCII case, as every pattern is.
std::string AsciiLowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

int FuzzShopCategories(const std::uint8_t* data, std::size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    const ShopCategoryAnswer read = ParseShopCategories(answer);
    const std::string lowered = AsciiLowered(answer);
    // The shortest entry, {"text":"N","value":""}, takes 23 bytes.
    constexpr std::size_t kShortestEntry = 23;
    Require(read.names.size() * kShortestEntry <= answer.size(),
            "no more names than the answer has room for");
    Require(read.categories.size() <= read.names.size(), "every category is a named entry");
    for (const std::string& name : read.names)
        Require(!name.empty() && lowered.find(AsciiLowered("{\"text\":\"" + name +
                                                           "\",\"value\":\"")) != std::string::npos,
                "a drop-down name is an entry's text in the answer");
    std::size_t at = 0;
    for (const ShopCategory& category : read.categories) {
        Require(!category.name.empty() && !category.id.empty(), "a category has a name and an id");
        Require(lowered.find(AsciiLowered("{\"text\":\"" + category.name + "\",\"value\":\"" +
                                          category.id + "\"}")) != std::string::npos,
                "a category's name and id are one entry of the answer");
        // The categories are the named entries that carry an id, in the same order.
        while (at < read.names.size() && read.names[at] != category.name) ++at;
        Require(at < read.names.size(), "the categories follow the drop-down's order");
        ++at;
    }
    return 0;
}

}  // namespace vt::fuzz
