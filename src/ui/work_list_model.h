// A table model that shows one of core's work lists. It never replays the list's change
// notices: on each one it asks the list what changed since its last look (one locked
// step) and applies that, so notices from several threads arriving in any order, or
// folded into one, still leave the view equal to the list. A check box clicked in the view
// is written into the list, for the row the view showed (a row cleared meanwhile is left
// alone); the list's answer then shows it.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/work_lists.h"
#include "ui/qt_text.h"

class QTableView;

namespace vt::ui {

struct ListColumn {
    const char* caption;  // UTF-8
    int width;            // pixels; 0: a hidden column that only holds data
};

class WorkListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // checkable: column 0 carries each row's check box.
    WorkListModel(std::vector<ListColumn> columns, bool checkable, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    const std::vector<ListColumn>& columns() const { return columns_; }
    // Called with the row (as the view knew it) when its check box is clicked.
    void SetCheckHandler(std::function<void(RowRef, bool)> handler) {
        onCheck_ = std::move(handler);
    }

    // Brings the model up to the list.
    template <int N>
    void Sync(const WorkList<N>& list) {
        Apply(list.ChangesSince(generation_, stamp_));
    }

    // Sizes, hides and styles a view of this model: captions never cut, whole-row
    // selection, grid lines, the context menu left to the owner.
    void SetUpView(QTableView* view) const;

private:
    struct RowData {
        QStringList cells;
        bool checked = false;
    };

    template <typename Changes>
    void Apply(const Changes& changes) {
        std::vector<std::pair<int, RowData>> rows;
        rows.reserve(changes.rows.size());
        for (const auto& [index, state] : changes.rows) {
            RowData data;
            data.checked = state.checked;
            for (const std::string& cell : state.cells) data.cells << Q(cell);
            rows.emplace_back(index, std::move(data));
        }
        ApplyRows(changes.reset, changes.count, std::move(rows));
        generation_ = changes.generation;
        stamp_ = changes.stamp;
    }
    void ApplyRows(bool reset, int count, std::vector<std::pair<int, RowData>> rows);

    std::vector<ListColumn> columns_;
    bool checkable_;
    std::vector<RowData> rows_;
    std::uint64_t generation_ = 0;  // nothing seen yet: the first look takes every row
    std::uint64_t stamp_ = 0;
    std::function<void(RowRef, bool)> onCheck_;
};

}  // namespace vt::ui
