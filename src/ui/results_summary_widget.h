// The counters of the results tab ("待采集：" … and the "正在采集：" label), a view of
// core's ResultCounters. The two work lists join this tab with the results panel.
#pragma once

#include <QWidget>
#include <array>

#include "core/result_counters.h"
#include "ui/ui_relay.h"

class QLabel;

namespace vt {
class AppContext;
}

namespace vt::ui {

class ResultsSummaryWidget : public QWidget {
    Q_OBJECT
public:
    explicit ResultsSummaryWidget(AppContext& ctx, QWidget* parent = nullptr);
    ~ResultsSummaryWidget() override;

    QLabel* caption(CounterBox box) const { return captions_[static_cast<int>(box)]; }
    QLabel* value(CounterBox box) const { return values_[static_cast<int>(box)]; }

private:
    void Sync();

    AppContext& ctx_;
    std::array<QLabel*, kCounterBoxes> captions_{};
    std::array<QLabel*, kCounterBoxes> values_{};
    Subscriptions subs_{this};
};

}  // namespace vt::ui
