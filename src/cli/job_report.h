// What a headless job shows: a one-line progress view for the terminal, the summary at
// the end with the drop reasons, and the JSON report with both lists and every counter.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "core/context.h"

namespace vt::cli {

// The figures a progress line and a summary show, read from the lists and boxes.
struct JobFigures {
    int found = 0;          // rows of the to-collect list
    long filtered = 0;      // both "过滤：" boxes
    int collected = 0;      // rows of the collected list
    long published = 0;     // "成功上传："
    long failed = 0;        // "上传失败："
    int pictureFailed = 0;  // collected rows whose picture did not download
};

JobFigures ReadFigures(AppContext& ctx);

// "found 120  filtered 14  collected 80  published 61  failed 2  (3.1 books/s)" (UTF-8).
std::string ProgressLine(const JobFigures& figures, double elapsedSeconds);

// Every status text of the to-collect list (the drop reasons) with how many rows carry it.
std::map<std::string, int> DropReasons(AppContext& ctx);
// Every text of the collected list's "淘宝状态" column with its count.
std::map<std::string, int> PublishOutcomes(AppContext& ctx);

// The summary printed at the end (UTF-8, several lines).
std::string Summary(AppContext& ctx, double elapsedSeconds);

// The report: both lists with every cell, every counter box and label, the account state
// text and the success and failure counts. Texts converted to UTF-8.
nlohmann::json BuildReport(AppContext& ctx, const std::string& accountState);

}  // namespace vt::cli
