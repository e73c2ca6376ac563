// The seller's price rule, the freight template every item goes out with, and the
// delivery regions whose stock the detail stage asks for. The inputs live in SysConfig,
// where the settings pages put them; everything here reads them at the moment of use.
#pragma once

#include <string>
#include <vector>

#include "core/book_types.h"
#include "core/sys_config.h"

namespace vt {

class AppContext;

// The decimal number a text starts with (blanks first are skipped, then an optional sign,
// digits and one decimal point); 0 when the text starts with none. Exponents, "inf",
// "nan" and hexadecimal are not numbers here.
double LeadingDecimal(const std::string& text);

// The selling price of a book under the current settings, in single precision as the
// publish form formats it ("%.2f"). The caller rejects a book without a list price first.
float ComputePrice(const SysConfig& config, const O_BookInfo& book);
// The ratio floor's test: floorTenths x 0.1 above price / base (never with no base).
bool BelowRatioFloor(double floorTenths, float price, float base);
// "%.2f" of the price.
std::string FormatPrice(float price);

// Outcome of reading the seller's freight templates.
enum class FreightLoad {
    Loaded,       // at least one template came back
    NoTemplates,  // the answer held none; the choice is unchanged
    NotLoggedIn,  // the sell page was closed to the cookie; the choice is unchanged
};

// Reads the templates of the logged-in seller into the freight template choice: the
// templates of this answer go in front of the entries already there, and the first entry
// is selected. Not logged in: the message "系统检测到您未登录淘宝网，请先登录淘宝网！".
FreightLoad LoadFreightTemplates(AppContext& ctx);

// The templates found in one answer of the template service, in answer order, and the
// choice after putting them in front of existing entries (first entry selected).
std::vector<FreightTemplate> ParseFreightTemplates(const std::string& answer);
void MergeFreightTemplates(SysConfig& config, const std::vector<FreightTemplate>& found);

// The value sent as the item's freight template; empty when none is selected.
std::string SelectedFreightTemplate(const SysConfig& config);

// Reads "地区.txt" into the region list (a missing file gives an empty list).
void LoadRegions(AppContext& ctx);

// What the detail stage needs to judge regional stock.
struct RegionalStockRule {
    int rule = kAnyRegionOutMeansOut;  // kAnyRegionOutMeansOut or kOneRegionInMeansIn
    std::vector<std::string> codes;    // the ticked regions, in list order
};
RegionalStockRule CurrentStockRule(const SysConfig& config);

}  // namespace vt
