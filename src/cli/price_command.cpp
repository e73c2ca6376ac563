// "price": the selling price the current settings give a book with these prices.
#include <charconv>
#include <iostream>

#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/setting_overrides.h"
#include "market/price_rules.h"

namespace vt::cli {

namespace {

struct PriceOptions {
    CommonOptions common;
    std::string marketPrice;
    std::string sellPrice;
    std::vector<std::string> sets;
};

std::string Money(double value) {
    return FormatPrice(static_cast<float>(value));
}

// The steps of the rule with the values that decided each, for the seller (UTF-8 lines).
std::string Explain(const SysConfig& c, const O_BookInfo& book) {
    const bool listBase = c.YuanJiaDazheP() == kListPrice;
    const float base =
        static_cast<float>(LeadingDecimal(listBase ? book.MarketPrice : book.SellPrice));
    const double discount = LeadingDecimal(c.PriceDazheP());
    std::string out = std::string("base: ") +
                      (listBase ? "the list price (YuanJiaDazheP=list)"
                                : "the bookstore's price (YuanJiaDazheP=sale)") +
                      " " + Money(base) + "\n";
    float p = static_cast<float>(base * discount * 0.1);
    out += "discount: PriceDazheP " + U8(c.PriceDazheP()) + " tenths -> " + FormatPrice(p) + "\n";
    const double adjust = LeadingDecimal(c.JiaJian());
    if (c.JiaJianSign() == kPlus) {
        p = static_cast<float>(adjust + p);
        out += "adjustment: + JiaJian " + U8(c.JiaJian()) + " -> " + FormatPrice(p) + "\n";
    } else if (c.JiaJianSign() == kMinus) {
        p = static_cast<float>(p - adjust);
        out += "adjustment: - JiaJian " + U8(c.JiaJian()) + " -> " + FormatPrice(p) + "\n";
    }
    const double ratioFloor = LeadingDecimal(c.EditShouJiaDiYu());
    if (BelowRatioFloor(ratioFloor, p, base)) {
        p = static_cast<float>(base * LeadingDecimal(c.ShouJiaMoRenZhe()) * 0.1);
        out += "ratio floor: below EditShouJiaDiYu " + U8(c.EditShouJiaDiYu()) +
               " tenths of the base, so ShouJiaMoRenZhe " + U8(c.ShouJiaMoRenZhe()) +
               " tenths -> " + FormatPrice(p) + "\n";
    } else {
        out += "ratio floor: not reached (EditShouJiaDiYu " + U8(c.EditShouJiaDiYu()) + ")\n";
    }
    const double floor = LeadingDecimal(c.ShouJiaDiYu());
    if (!c.PriceSet5P()) {
        out += "price floor: off (PriceSet5P=false)\n";
    } else if (floor > p) {
        p = static_cast<float>(LeadingDecimal(c.EditShouJiMoRen()));
        out += "price floor: below ShouJiaDiYu " + U8(c.ShouJiaDiYu()) +
               ", so EditShouJiMoRen -> " + FormatPrice(p) + "\n";
    } else {
        out += "price floor: not reached (ShouJiaDiYu " + U8(c.ShouJiaDiYu()) + ")\n";
    }
    return out;
}

// A price as typed: a decimal number, nothing else.
bool IsPrice(const std::string& text) {
    const std::string t = Trim(text);
    double value = 0;
    const char* end = t.data() + t.size();
    auto [ptr, err] = std::from_chars(t.data(), end, value, std::chars_format::fixed);
    return !t.empty() && err == std::errc() && ptr == end && value >= 0;
}

int RunPrice(const PriceOptions& options) {
    // A book without a list price is never published.
    if (Gbk(options.marketPrice).find_first_not_of(" \t") == std::string::npos)
        return Fail("价格为空，上传失败");
    if (!IsPrice(options.marketPrice))
        return Error(
            "--market-price takes a price such as 39.80, not \"" + options.marketPrice + "\"",
            kExitUsage);
    if (!options.sellPrice.empty() && !IsPrice(options.sellPrice))
        return Error("--sell-price takes a price such as 20.00, not \"" + options.sellPrice + "\"",
                     kExitUsage);
    const std::string problem = CheckSettingOverrides(options.sets, false);
    if (!problem.empty())
        return Error(problem, kExitUsage);
    int code = kExitOk;
    auto ctx = MakeContextWithSettings(options.common, options.sets, code);
    if (!ctx)
        return code;
    O_BookInfo book;
    book.MarketPrice = Gbk(options.marketPrice);
    book.SellPrice = Gbk(options.sellPrice);
    // The price alone on standard output, for scripts; how it came about on standard error.
    std::cerr << Explain(ctx->config(), book);
    std::cout << FormatPrice(ComputePrice(ctx->config(), book)) << std::endl;
    return kExitOk;
}

}  // namespace

void AddPriceCommand(CLI::App& app, Runner& run) {
    auto options = std::make_shared<PriceOptions>();
    auto* price = app.add_subcommand("price", "Show the price the current settings give");
    price->add_option("--market-price", options->marketPrice, "The book's list price")->required();
    price->add_option("--sell-price", options->sellPrice, "The bookstore's own price");
    AddSetOption(*price, options->sets);
    AddCommonOptions(*price, options->common);
    price->callback([options, &run] { run = [options] { return RunPrice(*options); }; });
}

}  // namespace vt::cli
