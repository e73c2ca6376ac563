// The commands of the results panel ("采集结果") without its window: the two work lists,
// their counter boxes, selecting, clearing, exporting and importing marks. The front end
// asks for file names and shows messages; these only act.
#pragma once

#include <functional>
#include <string>

namespace vt {

class AppContext;

class ResultsPanel {
public:
    explicit ResultsPanel(AppContext& ctx) : ctx_(ctx) {}

    // At a job start: both lists empty, "待采集：" and "成功采集：" cleared.
    void Reset();

    // "全选" / "取消全选" on the to-collect list.
    void SelectAll();
    void SelectNone();

    // "全部清除": the to-collect list empties and the crawl's next page goes back to 1.
    void ClearToCollect();
    // "全部清空": the collected list empties and the detail stage starts over at row 0.
    void ClearCollected();

    // "将勾选项目加入禁止销售标识库": the marks of the checked rows, trimmed, become
    // forbidden marks, in the table and in the live marks box (so that the box's next
    // save keeps them). False when Filter.db cannot be opened (nothing is added then).
    bool AddCheckedToForbiddenMarks();

    // "导出勾选商品标识": the marks of the checked rows, each followed by CR LF, written as
    // a text file (one zero byte at its end). False when the file cannot be written.
    bool ExportCheckedMarks(const std::string& fileName);

    // "导入编码": the job's word lists are rebuilt, then one to-collect row per line of the
    // file (trimmed; a blank line gives an empty mark), then the job state of an import
    // and its two workers: the detail thread in its page variant (started by the given
    // starter, which the front end wires to the detail stage) and one publishing thread of
    // the import variant. False, with the list left empty and nothing started, when the
    // file cannot be read.
    bool ImportCodes(const std::string& fileName,
                     const std::function<void()>& startPageDetailThread);

private:
    // The processing cursor indexes the collected list: when that list empties, the
    // cursor must start over too, or the next rows would be skipped.
    void RestartProcessingCursor();

    AppContext& ctx_;
};

}  // namespace vt
