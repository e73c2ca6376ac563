#include "ui/results_summary_widget.h"

#include <QGridLayout>
#include <QLabel>

#include "core/context.h"
#include "ui/qt_text.h"

namespace vt::ui {

ResultsSummaryWidget::ResultsSummaryWidget(AppContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx) {
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < kCounterBoxes; ++i) {
        captions_[i] = new QLabel(Q(CounterCaption(static_cast<CounterBox>(i))), this);
        values_[i] = new QLabel(this);
        values_[i]->setMinimumWidth(160);
        values_[i]->setFrameShape(QFrame::StyledPanel);
        grid->addWidget(captions_[i], i, 0, Qt::AlignRight);
        grid->addWidget(values_[i], i, 1);
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(kCounterBoxes, 1);
    ResultCounters& counters = ctx_.counters();
    auto relay = subs_.relay();
    const int id = counters.Subscribe(
        [relay, this](const CounterChange&) { relay->Post([this] { Sync(); }); });
    subs_.Add([&counters, id] { counters.Unsubscribe(id); });
    Sync();
}

ResultsSummaryWidget::~ResultsSummaryWidget() {
    subs_.Release();
}

void ResultsSummaryWidget::Sync() {
    const ResultCounters& counters = ctx_.counters();
    for (int i = 0; i < kCounterBoxes; ++i)
        values_[i]->setText(Q(counters.Text(static_cast<CounterBox>(i))));
    const std::string label = counters.CollectingLabel();
    captions_[static_cast<int>(CounterBox::Collecting)]->setText(
        Q(label.empty() ? std::string(CounterCaption(CounterBox::Collecting)) : label));
}

}  // namespace vt::ui
