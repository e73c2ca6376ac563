// The data files a job leaves beside its pictures: the five choices of the settings page
// "数据文件" (the marketplace tool's two CSV versions, the ECShop and ShopEx import files,
// the seller's workbook with its plain CSV), each split in two when books without a
// picture go to a file of their own. Written at the end of every job and on demand.
#pragma once

#include <string>
#include <vector>

namespace vt {

class AppContext;
class SysConfig;

struct DataFileChoices {
    bool assistant = false;       // "生成淘宝助理文件"
    bool assistant5 = false;      // "生成淘宝助理5格式"
    bool ecshop = false;          // "生成ecshop数据文件"
    bool shopex = false;          // "生成shopex数据文件"
    bool excel = false;           // "生成自定义Excel文件": the workbook and its plain CSV
    bool splitNoPicture = false;  // "独立生成没有图片的数据文件"

    static DataFileChoices FromSettings(const SysConfig& config);
    bool Any() const { return assistant || assistant5 || ecshop || shopex || excel; }
};

struct DataFilesOutcome {
    std::vector<std::string> written;  // GBK paths, in writing order
    std::string error;                 // GBK; empty when every chosen file was written
    bool Ok() const { return error.empty(); }
};

// Writes the chosen files for the books of the collected list into dir (which must
// exist). Every file name carries the time of writing, so a later job of the same day
// never overwrites an earlier one's files.
DataFilesOutcome WriteDataFiles(AppContext& ctx, const std::string& dir,
                                const DataFileChoices& choices);
// The same with the choices of the settings; the results panel's export calls this.
// Refused ("采集进行中，请先停止采集") while a job runs or a publishing thread still works.
DataFilesOutcome WriteDataFiles(AppContext& ctx, const std::string& dir);

// The results panel's "生成数据文件": the same into the day folder of today's pictures
// (created when missing), logged like a job's; an error when no file is chosen.
DataFilesOutcome ExportDataFiles(AppContext& ctx);

// At the end of a job: the files the settings choose, into the day folder of the job's
// pictures (images/<day folder>), created when missing. Each file and each failure is
// logged. Nothing is written when no file is chosen, except after a preview job, which
// always leaves at least the workbook.
DataFilesOutcome WriteJobDataFiles(AppContext& ctx);

// Starts the publishing threads of a job; the last of them to end writes the job's data
// files (a job ends when its publishers have left: drained or stopped).
void StartPublishersWithDataFiles(AppContext& ctx, int count, bool importVariant);

}  // namespace vt
