// The two work lists of the results panel, the queues between the stages: crawlers
// append to-collect rows, the detail thread reads them and appends collected rows, the
// publishing threads read those. Every single access is one atomic step; sequences are not.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/observers.h"
#include "core/book_types.h"

namespace vt {

struct ListChange {
    enum Kind { RowAppended, CellChanged, CheckChanged, AllCheckChanged, Cleared };
    Kind kind;
    int row = -1;      // RowAppended, CellChanged, CheckChanged
    int column = -1;   // CellChanged
    std::string text;  // CellChanged: the new text
    bool checked = false;
};

template <int N>
class WorkList {
public:
    using Row = std::array<std::string, N>;
    static constexpr int kColumns = N;

    // Appends a row (unchecked) and returns its index.
    int Append(Row row) { return AppendEntry(Entry{std::move(row), false, nullptr, nullptr, {}}); }

    int Count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(rows_.size());
    }

    // The cell's text; empty for a row or column that does not exist.
    std::string Cell(int row, int column) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Valid(row, column))
            return {};
        return rows_[row].cells[column];
    }

    Row RowAt(int row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return Row{};
        return rows_[row].cells;
    }

    // False when the row or column does not exist (the list was cleared meanwhile).
    bool SetCell(int row, int column, std::string text) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!Valid(row, column))
                return false;
            rows_[row].cells[column] = text;
        }
        observers_.Notify({ListChange::CellChanged, row, column, std::move(text), false});
        return true;
    }

    bool Checked(int row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return row >= 0 && row < static_cast<int>(rows_.size()) && rows_[row].checked;
    }

    void SetChecked(int row, bool checked) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (row < 0 || row >= static_cast<int>(rows_.size()))
                return;
            rows_[row].checked = checked;
        }
        observers_.Notify({ListChange::CheckChanged, row, -1, {}, checked});
    }

    void SetAllChecked(bool checked) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& e : rows_) e.checked = checked;
        }
        observers_.Notify({ListChange::AllCheckChanged, -1, -1, {}, checked});
    }

    // Indexes of the checked rows, in row order.
    std::vector<int> CheckedRows() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<int> out;
        for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
            if (rows_[i].checked)
                out.push_back(i);
        return out;
    }

    void Clear() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rows_.clear();
        }
        observers_.Notify({ListChange::Cleared, -1, -1, {}, false});
    }

    int Subscribe(typename Observers<ListChange>::Callback cb) {
        return observers_.Subscribe(std::move(cb));
    }
    void Unsubscribe(int id) { observers_.Unsubscribe(id); }

protected:
    struct Entry {
        Row cells;
        bool checked = false;
        std::shared_ptr<O_BookInfo> record;
        // The record once its book was handled: the data files still list the book.
        std::shared_ptr<const O_BookInfo> handled;
        std::string itemCategory;  // the marketplace category its item was built with
    };

    int AppendEntry(Entry entry) {
        int index;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index = static_cast<int>(rows_.size());
            rows_.push_back(std::move(entry));
        }
        observers_.Notify({ListChange::RowAppended, index, -1, {}, false});
        return index;
    }

    bool Valid(int row, int column) const {
        return row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 && column < N;
    }

    mutable std::mutex mutex_;
    std::vector<Entry> rows_;
    Observers<ListChange> observers_;
};

// The to-collect list: one row per book found (or code imported).
class ToCollectList : public WorkList<kToCollectColumns> {};

// The collected list: each row owns the finished book record attached to it.
class CollectedList : public WorkList<kCollectedColumns> {
public:
    // Appends a row with its record attached and returns the row index.
    int AppendWithRecord(Row row, std::unique_ptr<O_BookInfo> record) {
        return AppendEntry(Entry{
            std::move(row), false, std::shared_ptr<O_BookInfo>(std::move(record)), nullptr, {}});
    }

    // The record attached to a row (shared, so that clearing the list while a publishing
    // thread works on it never frees it under that thread); null when there is none.
    std::shared_ptr<O_BookInfo> Record(int row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return nullptr;
        return rows_[row].record;
    }

    // Detaches the record once its book has been handled: the row then refers to no
    // record, so no later pass handles the book again. Only when the row still holds
    // that record (the list may have been emptied and refilled meanwhile).
    void ReleaseRecord(int row, const O_BookInfo* record) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row >= 0 && row < static_cast<int>(rows_.size()) && rows_[row].record.get() == record)
            rows_[row].handled = std::move(rows_[row].record);
    }

    // The row's book whether or not it has been handled yet; null when the row has none.
    std::shared_ptr<const O_BookInfo> Book(int row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return nullptr;
        const Entry& e = rows_[row];
        return e.record ? std::shared_ptr<const O_BookInfo>(e.record) : e.handled;
    }

    void SetItemCategory(int row, std::string category) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row >= 0 && row < static_cast<int>(rows_.size()))
            rows_[row].itemCategory = std::move(category);
    }
    std::string ItemCategory(int row) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (row < 0 || row >= static_cast<int>(rows_.size()))
            return {};
        return rows_[row].itemCategory;
    }
};

}  // namespace vt
