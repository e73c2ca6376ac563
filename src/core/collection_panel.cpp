#include "core/collection_panel.h"

namespace vt {

const char* CollectModeCaption(CollectMode mode) {
    switch (mode) {
        case CollectMode::Title:
            return "按图书名称";
        case CollectMode::Author:
            return "按作者";
        case CollectMode::Publisher:
            return "按出版社";
        case CollectMode::Category:
            return "按网站类目";
        case CollectMode::Promo:
            return "按活动地址采集";
        case CollectMode::None:
            break;
    }
    return "";
}

CollectionPanel::CollectionPanel() = default;

int CollectionPanel::InputIndex(CollectInput input) {
    switch (input) {
        case CollectInput::Title:
            return 0;
        case CollectInput::Author:
            return 1;
        case CollectInput::Publisher:
            return 2;
        case CollectInput::PromoAddress:
            return 3;
    }
    return 0;
}

CollectMode CollectionPanel::Mode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mode_;
}

void CollectionPanel::SetMode(CollectMode mode) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mode_ = mode;
    }
    observers_.Notify({PanelChange::ModeChanged});
}

std::string CollectionPanel::Input(CollectInput input) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inputs_[InputIndex(input)];
}

void CollectionPanel::SetInput(CollectInput input, std::string text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        inputs_[InputIndex(input)] = std::move(text);
    }
    observers_.Notify({PanelChange::InputChanged});
}

bool CollectionPanel::InputEnabled(CollectInput input) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return inputEnabled_[InputIndex(input)];
}

void CollectionPanel::SetInputEnabled(CollectInput input, bool enabled) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        inputEnabled_[InputIndex(input)] = enabled;
    }
    observers_.Notify({PanelChange::InputEnabledChanged});
}

int CollectionPanel::SortIndex() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sortIndex_;
}

void CollectionPanel::SetSortIndex(int index) {
    if (index < 0 || index >= kSortOrders)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sortIndex_ = index;
    }
    observers_.Notify({PanelChange::SortChanged});
}

bool CollectionPanel::SelectSort(const std::string& label) {
    for (int i = 0; i < kSortOrders; ++i) {
        if (label == SortLabels()[i]) {
            SetSortIndex(i);
            return true;
        }
    }
    return false;
}

std::string CollectionPanel::SortLabel() const {
    return SortLabels()[SortIndex()];
}

bool CollectionPanel::Filter(ListFilter filter) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return filters_[static_cast<int>(filter)];
}

void CollectionPanel::SetFilter(ListFilter filter, bool checked) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        filters_[static_cast<int>(filter)] = checked;
    }
    observers_.Notify({PanelChange::FilterChanged});
}

ListFilterSet CollectionPanel::Filters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return filters_;
}

void CollectionPanel::SetRunning() {
    startEnabled_ = false;
    stopEnabled_ = true;
    observers_.Notify({PanelChange::ButtonsChanged});
}

void CollectionPanel::PressStop() {
    startEnabled_ = true;
    stopEnabled_ = false;
    observers_.Notify({PanelChange::ButtonsChanged});
}

}  // namespace vt
