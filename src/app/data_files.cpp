#include "app/data_files.h"

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>

#include "base/files.h"
#include "core/context.h"
#include "market/data_files/data_rows.h"
#include "market/data_files/ecshop_csv.h"
#include "market/data_files/plain_csv.h"
#include "market/data_files/shopex_csv.h"
#include "market/data_files/taobao_assistant.h"
#include "market/data_files/xlsx_workbook.h"
#include "market/publishing_thread.h"

namespace vt {
namespace {

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[16];
    std::strftime(buf, sizeof buf, "%H%M%S", &local);
    return buf;
}

// One kind of file for one group of books; returns the error text, empty on success.
using Writer = std::string (*)(AppContext&, const std::string&, const std::vector<DataFileRow>&);

std::string Failed(bool ok) {
    return ok ? std::string() : std::string("无法写入文件");
}

struct Kind {
    bool DataFileChoices::*chosen;
    const char* name;
    const char* extension;
    Writer write;
};

const Kind kKinds[] = {
    {&DataFileChoices::assistant, "淘宝助理", ".csv",
     [](AppContext&, const std::string& p, const std::vector<DataFileRow>& r) {
         return Failed(WriteAssistantCsv(p, r));
     }},
    {&DataFileChoices::assistant5, "淘宝助理5", ".csv",
     [](AppContext&, const std::string& p, const std::vector<DataFileRow>& r) {
         return Failed(WriteAssistant5Csv(p, r));
     }},
    {&DataFileChoices::ecshop, "ecshop", ".csv",
     [](AppContext& ctx, const std::string& p, const std::vector<DataFileRow>& r) {
         return Failed(WriteEcshopCsv(p, r, ctx.ImagesDir()));
     }},
    {&DataFileChoices::shopex, "shopex", ".csv",
     [](AppContext& ctx, const std::string& p, const std::vector<DataFileRow>& r) {
         return Failed(WriteShopexCsv(p, r, ctx.ImagesDir()));
     }},
    {&DataFileChoices::excel, "自定义Excel", ".xlsx",
     [](AppContext&, const std::string& p, const std::vector<DataFileRow>& r) {
         return WriteXlsxWorkbook(p, r);
     }},
    {&DataFileChoices::excel, "自定义Excel", ".csv",
     [](AppContext&, const std::string& p, const std::vector<DataFileRow>& r) {
         return Failed(WritePlainCsv(p, r));
     }},
};

}  // namespace

DataFileChoices DataFileChoices::FromSettings(const SysConfig& config) {
    DataFileChoices c;
    c.assistant = config.CHKTaobao();
    c.assistant5 = config.CHKTaobao5();
    c.ecshop = config.CHKEcshop();
    c.shopex = config.CHKShopex();
    c.excel = config.CHKExcel();
    c.splitNoPicture = config.CHKNoPicBookData();
    return c;
}

DataFilesOutcome WriteDataFiles(AppContext& ctx, const std::string& dir,
                                const DataFileChoices& choices) {
    DataFilesOutcome outcome;
    if (!choices.Any())
        return outcome;
    std::vector<DataFileRow> all = CollectDataRows(ctx);
    // Split or not, each group goes to its own file of every chosen kind.
    std::vector<std::pair<std::string, std::vector<DataFileRow>>> groups;
    if (choices.splitNoPicture) {
        std::vector<DataFileRow> with, without;
        for (DataFileRow& row : all)
            (row.picture.empty() ? without : with).push_back(std::move(row));
        groups.emplace_back("", std::move(with));
        groups.emplace_back("_无图片", std::move(without));
    } else {
        groups.emplace_back("", std::move(all));
    }
    const std::string stamp = TimeStamp();
    for (const Kind& kind : kKinds) {
        if (!(choices.*kind.chosen))
            continue;
        for (const auto& [suffix, rows] : groups) {
            const std::string path = dir + "/" + kind.name + "_" + stamp + suffix + kind.extension;
            const std::string error = kind.write(ctx, path, rows);
            if (error.empty()) {
                outcome.written.push_back(path);
            } else {
                if (!outcome.error.empty())
                    outcome.error += "\n";
                outcome.error += path + "：" + error;
            }
        }
    }
    return outcome;
}

DataFilesOutcome WriteDataFiles(AppContext& ctx, const std::string& dir) {
    // A publishing thread still fills in the record of the book it works on.
    if (!ctx.panel().JobStopped() || ctx.job().PublishBusy > 0)
        return {{}, "采集进行中，请先停止采集"};
    return WriteDataFiles(ctx, dir, DataFileChoices::FromSettings(ctx.config()));
}

namespace {

// Writes with `write` into today's picture folder and logs each file and each failure.
DataFilesOutcome IntoDayFolder(AppContext& ctx,
                               const std::function<DataFilesOutcome(const std::string&)>& write) {
    const std::string dir = ctx.ImagesDir() + "/" + DayFolderName();
    DataFilesOutcome outcome;
    if (!EnsureDirectory(ctx.ImagesDir()) || !EnsureDirectory(dir))
        outcome.error = dir + "：无法创建文件夹";
    else
        outcome = write(dir);
    for (const std::string& path : outcome.written) ctx.log().WriteLog("数据文件已生成：" + path);
    if (!outcome.Ok())
        ctx.log().WriteLog("数据文件生成失败：" + outcome.error);
    return outcome;
}

}  // namespace

DataFilesOutcome WriteJobDataFiles(AppContext& ctx) {
    DataFileChoices choices = DataFileChoices::FromSettings(ctx.config());
    // A preview is for looking at the items: with no file chosen it still leaves the
    // seller's workbook.
    if (ctx.job().PreviewOnly && !choices.Any())
        choices.excel = true;
    if (!choices.Any())
        return {};
    return IntoDayFolder(ctx,
                         [&](const std::string& dir) { return WriteDataFiles(ctx, dir, choices); });
}

DataFilesOutcome ExportDataFiles(AppContext& ctx) {
    if (!DataFileChoices::FromSettings(ctx.config()).Any())
        return {{}, "没有勾选要生成的数据文件（系统设置 → 数据文件）"};
    return IntoDayFolder(ctx, [&](const std::string& dir) { return WriteDataFiles(ctx, dir); });
}

void StartPublishersWithDataFiles(AppContext& ctx, int count, bool importVariant) {
    const PublishVariant variant = importVariant ? PublishVariant::Import : PublishVariant::Job;
    auto running = std::make_shared<std::atomic<int>>(count);
    for (int i = 0; i < count; ++i)
        ctx.workers().Launch([&ctx, variant, running] {
            PublishingThread(ctx, variant);
            if (--*running == 0)
                WriteJobDataFiles(ctx);
        });
}

}  // namespace vt
