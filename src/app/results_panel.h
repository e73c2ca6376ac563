// The commands of the results panel ("采集结果") without its window: the two work lists,
// their counter boxes, selecting, clearing, exporting and importing marks. The front end
// asks for file names and shows messages; these only act.
#pragma once

#include <functional>
#include <string>

namespace vt {

class AppContext;

// Shown when "导入编码" is pressed while a job or an import runs.
inline constexpr char kImportWhileRunning[] = "正在采集，请先点击“停止采集”，再导入编码。";

class ResultsPanel {
public:
    explicit ResultsPanel(AppContext& ctx) : ctx_(ctx) {}

    // At a job start: both lists empty, "待采集：" and "成功采集：" cleared.
    void Reset();

    // "全选" / "取消全选" on the to-collect list.
    void SelectAll();
    void SelectNone();

    // "全部清除": the to-collect list empties, the crawl's next page goes back to 1 and the
    // detail stage's cursor to row 0 (rows found after the clear are processed). One step
    // under WorkerCursorLock; a worker's write for a row taken before it is dropped.
    void ClearToCollect();
    // "全部清空": the collected list empties and the detail stage starts over at row 0;
    // the publishing cursor goes back to row 0 too. One step under WorkerCursorLock.
    void ClearCollected();

    // "将勾选项目加入禁止销售标识库": the marks of the checked rows, trimmed, become
    // forbidden marks, in the table and in the live marks box (so that the box's next
    // save keeps them). False when Filter.db cannot be opened (nothing is added then) or a
    // mark could not be written (that mark is left out and the seller is told).
    bool AddCheckedToForbiddenMarks();

    // "导出勾选商品标识": the marks of the checked rows, each followed by CR LF, written as
    // a text file (one zero byte at its end). False when the file cannot be written.
    bool ExportCheckedMarks(const std::string& fileName);

    // The refusal of "导入编码": an import is a job start, so while a job or an earlier
    // import runs ("开始采集" disabled) it shows kImportWhileRunning and yields false.
    bool ImportAllowed();
    // The steps of "导入编码" before the file chooser: unless refused, the job's word lists
    // are rebuilt and the to-collect list emptied. False when refused.
    bool BeginImport();

    // "导入编码" with the chosen file, as a job start: refused as above (false, nothing
    // changed); else waits for the workers of a stopped job to end, rebuilds the word
    // lists, empties the to-collect list, appends one row per line of the file (trimmed;
    // a blank line gives an empty mark), then sets the job state of an import and starts
    // its two workers: the detail thread in its page variant (by the given starter, which
    // the front end wires to the detail stage) and one publishing thread of the import
    // variant. False, with the list left empty and nothing started, when the file cannot
    // be read.
    bool ImportCodes(const std::string& fileName,
                     const std::function<void()>& startPageDetailThread);

private:
    // The processing cursor indexes the collected list: when that list empties, the
    // cursor must start over too, or the next rows would be skipped.
    void RestartProcessingCursor();

    AppContext& ctx_;
};

}  // namespace vt
