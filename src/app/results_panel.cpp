#include "app/results_panel.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "app/data_files.h"
#include "app/list_editors.h"
#include "base/files.h"
#include "base/text.h"
#include "core/context.h"
#include "detail/book_filters.h"

namespace vt {
namespace {

// The lines of a text file, cut at its first zero byte (exported files end with one).
// A final line break ends the last line; it does not start an empty one.
bool ReadLines(const std::string& fileName, std::vector<std::string>& lines) {
    std::ifstream in(NativePath(fileName), std::ios::binary);
    if (!in)
        return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

constexpr int kImportListThreads = 5;

}  // namespace

void ResultsPanel::Reset() {
    ctx_.toCollect().Clear();
    ctx_.collected().Clear();
    RestartProcessingCursor();
    ctx_.counters().Clear(CounterBox::ToCollect);
    ctx_.counters().Clear(CounterBox::Collected);
}

void ResultsPanel::SelectAll() {
    ctx_.toCollect().SetAllChecked(true);
}

void ResultsPanel::SelectNone() {
    ctx_.toCollect().SetAllChecked(false);
}

void ResultsPanel::ClearToCollect() {
    // The detail thread takes its row and the list's generation under this lock: holding
    // it across the reset and the clear, the cursor never points past rows of the new list.
    std::lock_guard<std::timed_mutex> lock(ctx_.job().WorkerCursorLock);
    ctx_.job().NextPage = 1;
    ctx_.job().DetailCursor = 0;
    ctx_.toCollect().Clear();
}

void ResultsPanel::ClearCollected() {
    std::lock_guard<std::timed_mutex> lock(ctx_.job().WorkerCursorLock);
    ctx_.job().DetailCursor = 0;
    ctx_.job().ProcessingCursor = 0;
    ctx_.collected().Clear();
}

void ResultsPanel::RestartProcessingCursor() {
    std::lock_guard<std::timed_mutex> lock(ctx_.job().WorkerCursorLock);
    ctx_.job().ProcessingCursor = 0;
}

bool ResultsPanel::AddCheckedToForbiddenMarks() {
    if (!ctx_.db().OpenFilterDb())
        return false;
    bool allStored = true;
    for (int row : ctx_.toCollect().CheckedRows()) {
        std::string mark = Trim(ctx_.toCollect().Cell(row, kMarkCol));
        if (mark.empty())
            continue;
        // A mark the table did not take is not shown as forbidden either.
        if (!ctx_.db().AddForbiddenMark(mark)) {
            allStored = false;
            continue;
        }
        AppendToMarksBox(ctx_.config(), mark);
    }
    if (!allStored)
        ctx_.ShowMessage("部分标识未能写入禁止销售标识库（磁盘已满或无法写入），未加入");
    return allStored;
}

bool ResultsPanel::ExportCheckedMarks(const std::string& fileName) {
    std::string text;
    for (int row : ctx_.toCollect().CheckedRows())
        text += ctx_.toCollect().Cell(row, kMarkCol) + "\r\n";
    return WriteTextFile(fileName, text);
}

bool ResultsPanel::ImportAllowed() {
    if (ctx_.panel().StartEnabled())
        return true;
    ctx_.ShowMessage(kImportWhileRunning);
    return false;
}

bool ResultsPanel::BeginImport() {
    if (!ImportAllowed())
        return false;
    RebuildFilterWords(ctx_);
    ClearToCollect();
    return true;
}

bool ResultsPanel::ImportCodes(const std::string& fileName,
                               const std::function<void()>& startPageDetailThread) {
    std::lock_guard<std::mutex> starting(ctx_.job().StartLock);
    if (!ImportAllowed())
        return false;
    // The stopped job's workers leave after their current item; one still running would
    // take the imported rows with its own variant and drop them.
    ctx_.workers().JoinAll();
    RebuildFilterWords(ctx_);
    ClearToCollect();

    std::vector<std::string> lines;
    if (!ReadLines(fileName, lines))
        return false;
    for (const std::string& line : lines) {
        ToCollectRow row{};
        row[kMarkCol] = Trim(line);
        ctx_.toCollect().Append(std::move(row));
        ctx_.counters().SetNumber(CounterBox::ToCollect, ctx_.toCollect().Count());
    }

    ctx_.BeginNetworkRecord();
    ctx_.panel().SetRunning();
    {
        std::lock_guard<std::timed_mutex> lock(ctx_.job().WorkerCursorLock);
        ctx_.job().ProcessingCursor = 0;
        // The to-collect list was just refilled from row 0: a detail cursor left behind
        // by an earlier job would skip the imported codes.
        ctx_.job().DetailCursor = 0;
    }
    // No list thread runs; this only keeps the detail thread from ending by itself.
    ctx_.job().RunningListThreads = kImportListThreads;
    if (startPageDetailThread)
        startPageDetailThread();
    ctx_.job().PreviewOnly = ctx_.panel().PreviewOnly();
    StartPublishersWithDataFiles(ctx_, 1, true);
    return true;
}

}  // namespace vt
