// What a headless job shows: a progress line, the summary at the end, and the JSON
// report. Every book found lands in exactly one figure: published, skipped with its
// reason, failed with its reason, or left unprocessed; books dropped while the list pages
// were read have no row and are counted as skipped.
#pragma once

#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/context.h"

namespace vt::cli {

inline constexpr int kReportSchemaVersion = 1;

// What the collected list forgets once a book is handled (its record is released after
// the upload): ISBN, prices and the computed price, noted when the row is appended.
class CollectedNotes {
public:
    explicit CollectedNotes(AppContext& ctx);
    ~CollectedNotes();
    CollectedNotes(const CollectedNotes&) = delete;
    CollectedNotes& operator=(const CollectedNotes&) = delete;

    struct Note {
        std::string isbn, listPrice, sitePrice;
        float price = 0;
        bool priced = false;
    };
    // The note of a collected row; empty when none was taken.
    Note Of(int row) const;

private:
    AppContext& ctx_;
    int subscription_ = -1;
    mutable std::mutex mutex_;
    std::map<int, Note> notes_;
};

enum class BookStatus { Published, Skipped, Failed, Unprocessed };
const char* StatusKey(BookStatus status);

struct BookOutcome {
    std::string code, title, isbn, listPrice, sitePrice;  // GBK
    float price = 0;
    bool priced = false;
    std::string itemId;
    BookStatus status = BookStatus::Unprocessed;
    std::string reason;  // GBK
};

struct JobOutcome {
    std::vector<BookOutcome> books;  // one per to-collect row
    long listStageDropped = 0;       // dropped before they got a row
    long found = 0, published = 0, skipped = 0, failed = 0, unprocessed = 0;
};

// Reads both lists, the boxes and the account's records once the workers have left.
JobOutcome ClassifyBooks(AppContext& ctx, const CollectedNotes* notes);

// "processed 40/60  published 31  skipped 7  failed 2  elapsed 0:12  left ~0:06" (UTF-8).
std::string ProgressLine(AppContext& ctx, double elapsedSeconds);

// The summary printed at the end (UTF-8, several lines), with where the files went.
std::string Summary(AppContext& ctx, const JobOutcome& outcome, double elapsedSeconds,
                    bool interrupted);

struct ReportInfo {
    std::string command;
    int exitCode = 0;
    bool interrupted = false;
    double elapsedSeconds = 0;
    std::string cause;  // UTF-8; why the job did not succeed, when known
};

// The report (schema version kReportSchemaVersion, documented in the README).
nlohmann::json BuildReport(AppContext& ctx, const JobOutcome& outcome, const ReportInfo& info);

// Writes the report, indented, to the file or ("-") to standard output; false when the
// file could not be written.
bool WriteReport(const nlohmann::json& report, const std::string& utf8Path);

// One to-collect row keyed by column name (prices and counts as numbers), UTF-8.
nlohmann::json ToCollectRowJson(const ToCollectRow& row);

}  // namespace vt::cli
