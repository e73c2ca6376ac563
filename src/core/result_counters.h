// The counter boxes of the results panel and the caption label of "正在采集：".
// Raising a counter reads, adds and shows the new value in one indivisible step,
// because many worker threads count at once.
#pragma once

#include <array>
#include <mutex>
#include <string>

#include "base/observers.h"

namespace vt {

enum class CounterBox : int {
    ToCollect = 0,    // "待采集："
    PendingFiltered,  // "过滤：" (top): dropped while list pages are read, and some detail drops
    Collecting,       // "正在采集：": what is being collected now (a text)
    Collected,        // "成功采集："
    Published,        // "成功上传："
    PublishFailed,    // "上传失败："
    CollectedFiltered,  // "过滤：" (bottom): dropped after the list stage
};
inline constexpr int kCounterBoxes = 7;

// The caption shown in front of a box ("待采集：" …).
const char* CounterCaption(CounterBox box);

struct CounterChange {
    enum Kind { BoxChanged, CollectingLabelChanged };
    Kind kind;
    CounterBox box = CounterBox::ToCollect;
    std::string text;
};

class ResultCounters {
public:
    ResultCounters();

    std::string Text(CounterBox box) const;
    void SetText(CounterBox box, std::string text);
    void SetNumber(CounterBox box, long value);
    void Clear(CounterBox box) { SetText(box, std::string()); }
    // The box's text taken as a decimal number (an empty or non-numeric text is 0).
    long Number(CounterBox box) const;
    // Adds one to the box's number and shows the result; returns the new value.
    long Increment(CounterBox box);

    // The label in front of the "正在采集：" box; the main window replaces it with
    // "类目分析完成" when the list crawl has finished.
    std::string CollectingLabel() const;
    void SetCollectingLabel(std::string text);

    int Subscribe(Observers<CounterChange>::Callback cb) {
        return observers_.Subscribe(std::move(cb));
    }
    void Unsubscribe(int id) { observers_.Unsubscribe(id); }

private:
    mutable std::mutex mutex_;
    std::array<std::string, kCounterBoxes> boxes_;
    std::string collectingLabel_;
    Observers<CounterChange> observers_;
};

}  // namespace vt
