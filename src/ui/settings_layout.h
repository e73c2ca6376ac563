// Small layout helpers shared by the settings pages: a row of controls and captions, and
// a group box around some rows.
#pragma once

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <initializer_list>
#include <variant>

namespace vt::ui {

// One piece of a row: a control, or a caption (UTF-8) shown as a label.
using RowPiece = std::variant<QWidget*, const char*>;

// The pieces left to right; edits get a width for a few characters when narrow is set.
inline QHBoxLayout* Row(QWidget* parent, std::initializer_list<RowPiece> pieces,
                        int narrowEditWidth = 0) {
    auto* row = new QHBoxLayout();
    for (const RowPiece& p : pieces) {
        if (const char* const* caption = std::get_if<const char*>(&p)) {
            row->addWidget(new QLabel(QString::fromUtf8(*caption), parent));
            continue;
        }
        QWidget* w = std::get<QWidget*>(p);
        if (narrowEditWidth > 0 && qobject_cast<QLineEdit*>(w))
            w->setFixedWidth(narrowEditWidth);
        row->addWidget(w);
    }
    row->addStretch(1);
    return row;
}

inline QGroupBox* Group(const char* title, QWidget* parent) {
    auto* box = new QGroupBox(QString::fromUtf8(title), parent);
    new QVBoxLayout(box);
    return box;
}

inline void AddRow(QGroupBox* group, QLayout* row) {
    static_cast<QVBoxLayout*>(group->layout())->addLayout(row);
}

}  // namespace vt::ui
