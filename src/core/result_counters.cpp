#include "core/result_counters.h"

#include <cstdlib>

namespace vt {

const char* CounterCaption(CounterBox box) {
    switch (box) {
        case CounterBox::ToCollect:
            return "待采集：";
        case CounterBox::PendingFiltered:
            return "过滤：";
        case CounterBox::Collecting:
            return "正在采集：";
        case CounterBox::Collected:
            return "成功采集：";
        case CounterBox::Published:
            return "成功上传：";
        case CounterBox::PublishFailed:
            return "上传失败：";
        case CounterBox::CollectedFiltered:
            return "过滤：";
    }
    return "";
}

ResultCounters::ResultCounters() : collectingLabel_(CounterCaption(CounterBox::Collecting)) {}

std::string ResultCounters::Text(CounterBox box) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_[static_cast<int>(box)];
}

void ResultCounters::SetText(CounterBox box, std::string text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_[static_cast<int>(box)] = text;
    }
    observers_.Notify({CounterChange::BoxChanged, box, std::move(text)});
}

void ResultCounters::SetNumber(CounterBox box, long value) {
    SetText(box, std::to_string(value));
}

long ResultCounters::Number(CounterBox box) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::strtol(boxes_[static_cast<int>(box)].c_str(), nullptr, 10);
}

long ResultCounters::Increment(CounterBox box) {
    long value;
    std::string text;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string& cell = boxes_[static_cast<int>(box)];
        value = std::strtol(cell.c_str(), nullptr, 10) + 1;
        text = std::to_string(value);
        cell = text;
    }
    observers_.Notify({CounterChange::BoxChanged, box, std::move(text)});
    return value;
}

std::string ResultCounters::CollectingLabel() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return collectingLabel_;
}

void ResultCounters::SetCollectingLabel(std::string text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        collectingLabel_ = text;
    }
    observers_.Notify(
        {CounterChange::CollectingLabelChanged, CounterBox::Collecting, std::move(text)});
}

}  // namespace vt
