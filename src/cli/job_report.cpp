#include "cli/job_report.h"

#include <cstdio>

#include "base/text.h"

namespace vt::cli {
namespace {

template <typename List>
nlohmann::json ListRows(const List& list) {
    nlohmann::json rows = nlohmann::json::array();
    const int count = list.Count();
    for (int i = 0; i < count; ++i) {
        nlohmann::json cells = nlohmann::json::array();
        for (const std::string& cell : list.RowAt(i)) cells.push_back(GbkToUtf8(cell));
        rows.push_back({{"checked", list.Checked(i)}, {"cells", std::move(cells)}});
    }
    return rows;
}

template <typename List>
std::map<std::string, int> CountColumn(const List& list, int column) {
    std::map<std::string, int> counts;
    const int count = list.Count();
    for (int i = 0; i < count; ++i) {
        std::string text = list.Cell(i, column);
        if (!text.empty())
            ++counts[text];
    }
    return counts;
}

constexpr const char* kPictureOk = "图片成功下载";

}  // namespace

JobFigures ReadFigures(AppContext& ctx) {
    JobFigures f;
    f.found = ctx.toCollect().Count();
    f.filtered = ctx.counters().Number(CounterBox::PendingFiltered) +
                 ctx.counters().Number(CounterBox::CollectedFiltered);
    f.collected = ctx.collected().Count();
    f.published = ctx.counters().Number(CounterBox::Published);
    f.failed = ctx.counters().Number(CounterBox::PublishFailed);
    for (const auto& [text, n] : CountColumn(ctx.collected(), kImageStateCol))
        if (text != kPictureOk)
            f.pictureFailed += n;
    return f;
}

std::string ProgressLine(const JobFigures& f, double elapsedSeconds) {
    char line[200];
    double rate = elapsedSeconds > 0 ? static_cast<double>(f.published) / elapsedSeconds : 0.0;
    std::snprintf(line, sizeof line,
                  "found %d  filtered %ld  collected %d  published %ld  failed %ld  (%.2f books/s)",
                  f.found, f.filtered, f.collected, f.published, f.failed, rate);
    return line;
}

std::map<std::string, int> DropReasons(AppContext& ctx) {
    return CountColumn(ctx.toCollect(), kStatusCol);
}

std::map<std::string, int> PublishOutcomes(AppContext& ctx) {
    return CountColumn(ctx.collected(), kMarketStateCol);
}

std::string Summary(AppContext& ctx, double elapsedSeconds) {
    JobFigures f = ReadFigures(ctx);
    std::string out =
        "Summary after " + std::to_string(static_cast<long>(elapsedSeconds + 0.5)) + " s\n";
    out += "  " + ProgressLine(f, elapsedSeconds) + "\n";
    auto section = [&out](const char* title, const std::map<std::string, int>& counts) {
        if (counts.empty())
            return;
        out += std::string("  ") + title + ":\n";
        for (const auto& [text, n] : counts)
            out += "    " + std::to_string(n) + "  " + GbkToUtf8(text) + "\n";
    };
    section("to-collect rows by status (drop reasons)", DropReasons(ctx));
    section("pictures", CountColumn(ctx.collected(), kImageStateCol));
    section("publishing results", PublishOutcomes(ctx));
    return out;
}

nlohmann::json BuildReport(AppContext& ctx, const std::string& accountState) {
    nlohmann::json counters = nlohmann::json::array();
    for (int i = 0; i < kCounterBoxes; ++i) {
        auto box = static_cast<CounterBox>(i);
        counters.push_back({{"caption", GbkToUtf8(CounterCaption(box))},
                            {"text", GbkToUtf8(ctx.counters().Text(box))}});
    }
    JobFigures f = ReadFigures(ctx);
    return {
        {"accountState", GbkToUtf8(accountState)},
        {"collectingLabel", GbkToUtf8(ctx.counters().CollectingLabel())},
        {"counters", std::move(counters)},
        {"published", f.published},
        {"failed", f.failed},
        {"toCollect", ListRows(ctx.toCollect())},
        {"collected", ListRows(ctx.collected())},
    };
}

}  // namespace vt::cli
