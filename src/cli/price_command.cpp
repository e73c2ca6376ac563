// "price": the selling price the current settings give a book with these prices.
#include <charconv>
#include <iostream>

#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "market/price_rules.h"

namespace vt::cli {

namespace {

struct PriceOptions {
    CommonOptions common;
    std::string marketPrice;
    std::string sellPrice;
};

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
    int code = kExitOk;
    auto ctx = MakeContext(options.common, code);
    if (!ctx)
        return code;
    O_BookInfo book;
    book.MarketPrice = Gbk(options.marketPrice);
    book.SellPrice = Gbk(options.sellPrice);
    std::cout << FormatPrice(ComputePrice(ctx->config(), book)) << std::endl;
    return 0;
}

}  // namespace

void AddPriceCommand(CLI::App& app, Runner& run) {
    auto options = std::make_shared<PriceOptions>();
    auto* price = app.add_subcommand("price", "Show the price the current settings give");
    price->add_option("--market-price", options->marketPrice, "The book's list price")->required();
    price->add_option("--sell-price", options->sellPrice, "The bookstore's own price");
    AddCommonOptions(*price, options->common);
    price->callback([options, &run] { run = [options] { return RunPrice(*options); }; });
}

}  // namespace vt::cli
