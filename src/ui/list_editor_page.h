// One list editor page: the list's live box and its save button, which rewrites the
// list's table. A save that worked says nothing; one that failed says so, and the table
// keeps the previous list.
#pragma once

#include <QWidget>

#include "app/list_editors.h"

class QPlainTextEdit;
class QPushButton;

namespace vt {
class AppContext;
}

namespace vt::ui {

class MessageBoxes;
class SettingsBinding;

// The save button's caption of each editor.
QString ListEditorSaveCaption(ListEditor editor);

class ListEditorPage : public QWidget {
    Q_OBJECT
public:
    ListEditorPage(AppContext& ctx, SettingsBinding& binding, ListEditor editor,
                   MessageBoxes* messages, QWidget* parent);

    QPlainTextEdit* box() const { return box_; }
    QPushButton* saveButton() const { return save_; }

protected:
    // The marks box also grows from the results panel while the page is hidden.
    void showEvent(QShowEvent* event) override;

private:
    void Save();

    AppContext& ctx_;
    SettingsBinding& binding_;
    ListEditor editor_;
    MessageBoxes* messages_;
    QPlainTextEdit* box_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace vt::ui
