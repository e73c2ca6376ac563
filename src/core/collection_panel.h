// The collection panel as state without widgets: the five request modes, their inputs,
// the category tree, the sort order, the six list filters and the start/stop buttons.
// The job counts as stopped whenever "开始采集" is enabled; workers read that without
// blocking the front end.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "base/observers.h"
#include "core/category_tree.h"
#include "core/list_choices.h"

namespace vt {

// Mode buttons, one group: at most one is on.
enum class CollectMode : int {
    None = 0,
    Title = 1007,      // "按图书名称"
    Author = 1008,     // "按作者"
    Publisher = 1009,  // "按出版社"
    Category = 1010,   // "按网站类目"
    Promo = 1057,      // "按活动地址采集"
};
const char* CollectModeCaption(CollectMode mode);

// Text inputs.
enum class CollectInput : int {
    Title = 1002,
    Author = 1003,
    Publisher = 1004,
    PromoAddress = 1030
};
inline constexpr int kCollectInputs = 4;

struct PanelChange {
    enum Kind {
        ModeChanged,
        InputChanged,
        InputEnabledChanged,
        SortChanged,
        FilterChanged,
        ButtonsChanged
    };
    Kind kind;
};

class CollectionPanel {
public:
    CollectionPanel();

    CollectMode Mode() const;
    void SetMode(CollectMode mode);

    std::string Input(CollectInput input) const;
    void SetInput(CollectInput input, std::string text);
    bool InputEnabled(CollectInput input) const;
    void SetInputEnabled(CollectInput input, bool enabled);

    int SortIndex() const;
    void SetSortIndex(int index);
    // Selects the sort order by its label; false when no order has that label.
    bool SelectSort(const std::string& label);
    std::string SortLabel() const;

    bool Filter(ListFilter filter) const;
    void SetFilter(ListFilter filter, bool checked);
    ListFilterSet Filters() const;

    bool StartEnabled() const { return startEnabled_.load(); }
    bool StopEnabled() const { return stopEnabled_.load(); }
    // A job was accepted: start disabled, stop enabled.
    void SetRunning();
    // "停止采集": start enabled, stop disabled. This is the stop signal.
    void PressStop();
    // The workers' stop test.
    bool JobStopped() const { return startEnabled_.load(); }

    // "只预览，不上传": the next job builds every item and writes the data files but
    // publishes nothing. Read once by the job start.
    bool PreviewOnly() const { return previewOnly_.load(); }
    void SetPreviewOnly(bool on) { previewOnly_ = on; }

    CategoryTree& tree() { return tree_; }
    const CategoryTree& tree() const { return tree_; }

    int Subscribe(Observers<PanelChange>::Callback cb) {
        return observers_.Subscribe(std::move(cb));
    }
    void Unsubscribe(int id) { observers_.Unsubscribe(id); }

private:
    static int InputIndex(CollectInput input);

    mutable std::mutex mutex_;
    CollectMode mode_ = CollectMode::None;
    std::string inputs_[kCollectInputs];
    bool inputEnabled_[kCollectInputs] = {true, true, true, true};
    int sortIndex_ = 0;
    ListFilterSet filters_{};
    std::atomic<bool> startEnabled_{true};
    std::atomic<bool> stopEnabled_{false};
    std::atomic<bool> previewOnly_{false};
    CategoryTree tree_;
    Observers<PanelChange> observers_;
};

}  // namespace vt
