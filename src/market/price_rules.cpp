#include "market/price_rules.h"

#include <cstdio>

#include "base/files.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "base/regex_ops.h"
#include "core/context.h"
#include "core/setting_checks.h"
#include "core/settings_store.h"
#include "market/login_checks.h"

namespace vt {

namespace {

constexpr const char* kRegionFile = "地区.txt";
constexpr const char* kTemplatePath =
    "/auction/json/listDeliveryTemplates.htm?catId=111006&aucType=%20fixed";
constexpr const char* kTemplatePattern = "selected\":\"\",\"text\":\"(.*?)\",\"value\":(.*?)}";

}  // namespace

double LeadingDecimal(const std::string& text) {
    return SettingDecimal(text);
}

float ComputePrice(const SysConfig& config, const O_BookInfo& book) {
    // Every price is kept in single precision, the base price too, and products of the
    // parsed settings in double, as the published prices have always been computed; the
    // two round differently on half cents (19.90 at 7.5 is 14.92, not 14.93), and the
    // shop's prices must not move.
    const float base = static_cast<float>(
        LeadingDecimal(config.YuanJiaDazheP() == kListPrice ? book.MarketPrice : book.SellPrice));
    float price = static_cast<float>(base * LeadingDecimal(config.PriceDazheP()) * 0.1);

    const double adjust = LeadingDecimal(config.JiaJian());
    const int sign = config.JiaJianSign();
    if (sign == kPlus)
        price = static_cast<float>(adjust + price);
    else if (sign == kMinus)
        price = static_cast<float>(price - adjust);

    if (BelowRatioFloor(LeadingDecimal(config.EditShouJiaDiYu()), price, base))
        price = static_cast<float>(base * LeadingDecimal(config.ShouJiaMoRenZhe()) * 0.1);

    if (config.PriceSet5P() && LeadingDecimal(config.ShouJiaDiYu()) > price)
        price = static_cast<float>(LeadingDecimal(config.EditShouJiMoRen()));
    return price;
}

bool BelowRatioFloor(double floorTenths, float price, float base) {
    // With no base price there is no ratio to test. The ratio is taken in double from the
    // single-precision prices: in float, 3 / 10 rounds up past 3 x 0.1 and a price exactly
    // at the floor would escape it.
    if (base == 0)
        return false;
    return floorTenths * 0.1 > static_cast<double>(price) / static_cast<double>(base);
}

std::string FormatPrice(float price) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(price));
    return buf;
}

std::vector<FreightTemplate> ParseFreightTemplates(const std::string& answer) {
    std::vector<FreightTemplate> found;
    auto re = CompileRegex(kTemplatePattern);
    if (!re)
        return found;
    ForEachMatch(answer, *re, [&](const boost::smatch& m) {
        std::string text = m[1].str();
        std::string value = m[2].str();
        // A template saved without a name is still its own entry: its value must never
        // be attached to a neighbouring template, or items would go out with a freight
        // template the seller did not choose.
        if (!text.empty() || !value.empty())
            found.push_back({std::move(text), std::move(value)});
        return true;
    });
    return found;
}

void MergeFreightTemplates(SysConfig& config, const std::vector<FreightTemplate>& found) {
    if (found.empty())
        return;
    std::vector<FreightTemplate> entries = found;
    std::vector<FreightTemplate> existing = config.FreightTemplates();
    entries.insert(entries.end(), existing.begin(), existing.end());
    config.SetFreightTemplates(std::move(entries), 0);
}

FreightLoad LoadFreightTemplates(AppContext& ctx) {
    if (!IsSellerPage(FetchSellPage(ctx, ctx.session().SellerCookie()))) {
        ctx.session().ShowMessage("系统检测到您未登录淘宝网，请先登录淘宝网！");
        return FreightLoad::NotLoggedIn;
    }
    std::vector<FreightTemplate> found = ParseFreightTemplates(
        MarketGet(ctx.hosts().Url(HostRole::MarketUpload, kTemplatePath),
                  ctx.session().SellerCookie(), ctx.ReadOptions(Site::Market)));
    if (found.empty())
        return FreightLoad::NoTemplates;
    MergeFreightTemplates(ctx.config(), found);
    return FreightLoad::Loaded;
}

std::string SelectedFreightTemplate(const SysConfig& config) {
    return config.SelectedFreightTemplate();
}

void LoadRegions(AppContext& ctx) {
    ctx.config().SetRegions(ParseRegions(ReadTextFile(ctx.DataFilePath(kRegionFile), ctx.log())));
}

RegionalStockRule CurrentStockRule(const SysConfig& config) {
    return {config.StockRule(), config.TickedRegionCodes()};
}

}  // namespace vt
