// The category tree of the collection panel: a view of core's CategoryTree, with check
// boxes; a double-click opens the node's sub-categories off the window's thread.
#pragma once

#include <QTreeWidget>
#include <vector>

#include "ui/background_task.h"
#include "ui/ui_relay.h"

namespace vt {
class AppContext;
}

namespace vt::ui {

class CategoryTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    CategoryTreeWidget(AppContext& ctx, QWidget* parent = nullptr);
    ~CategoryTreeWidget() override;

    // The item that shows a node of the model, or null.
    QTreeWidgetItem* ItemOf(int node) const;
    bool Expanding() const { return expand_.Busy(); }

private:
    void Rebuild();
    void AddNode(int node);
    void OnDoubleClick(QTreeWidgetItem* item);

    AppContext& ctx_;
    std::vector<QTreeWidgetItem*> items_;  // by node id
    bool syncing_ = false;
    BackgroundTask expand_;
    Subscriptions subs_{this};
};

}  // namespace vt::ui
