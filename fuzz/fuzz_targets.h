// Every fuzz target: the libFuzzer-style entry of one parser. The fuzz build makes one
// afl-fuzz executable per target; the normal build replays the corpora through all of
// them. A target aborts when it finds a broken promise of the code it drives.
#pragma once

#include <cstddef>
#include <cstdint>

// (file and corpus name, function)
#define VT_FUZZ_TARGETS(X)                 \
    X(regex_ops, FuzzRegexOps)             \
    X(clean_html, FuzzCleanHtml)           \
    X(detail_page, FuzzDetailPage)         \
    X(list_search, FuzzListSearch)         \
    X(list_category, FuzzListCategory)     \
    X(list_promo, FuzzListPromo)           \
    X(category_page, FuzzCategoryPage)     \
    X(settings_file, FuzzSettingsFile)     \
    X(encoders, FuzzEncoders)              \
    X(text_files, FuzzTextFiles)           \
    X(publish_form, FuzzPublishForm)       \
    X(market_answers, FuzzMarketAnswers)   \
    X(description, FuzzDescription)        \
    X(csv_cells, FuzzCsvCells)             \
    X(shop_categories, FuzzShopCategories) \
    X(login_form, FuzzLoginForm)           \
    X(set_cookie, FuzzSetCookie)           \
    X(picture_path, FuzzPicturePath)

namespace vt::fuzz {

#define VT_DECLARE_FUZZ_TARGET(name, function) \
    int function(const std::uint8_t* data, std::size_t size);
VT_FUZZ_TARGETS(VT_DECLARE_FUZZ_TARGET)
#undef VT_DECLARE_FUZZ_TARGET

}  // namespace vt::fuzz
