// "price": the selling price the current settings give a book with these prices.
#include <iostream>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "market/price_rules.h"

namespace vt::cli {

namespace {

struct PriceOptions {
    CommonOptions common;
    std::string marketPrice;
    std::string sellPrice;
};

int RunPrice(const PriceOptions& options) {
    // A book without a list price is never published.
    if (Gbk(options.marketPrice).find_first_not_of(" \t") == std::string::npos)
        return Fail("价格为空，上传失败");
    auto ctx = MakeContext(options.common);
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
