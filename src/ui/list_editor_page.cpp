#include "ui/list_editor_page.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/desktop_services.h"
#include "ui/settings_binding.h"

namespace vt::ui {
namespace {

const char* KeyOf(ListEditor editor) {
    switch (editor) {
        case ListEditor::FilterKeywords:
            return "ForbiddenWordsText";
        case ListEditor::ForbiddenBooks:
            return "ForbiddenBooksText";
        case ListEditor::ForbiddenMarks:
            return "ForbiddenMarksText";
        case ListEditor::ForbiddenPublishers:
            return "ForbiddenPublishersText";
    }
    return "";
}

}  // namespace

QString ListEditorSaveCaption(ListEditor editor) {
    switch (editor) {
        case ListEditor::FilterKeywords:
            return QStringLiteral("保存过滤");
        case ListEditor::ForbiddenBooks:
            return QStringLiteral("保存禁止销售图书");
        case ListEditor::ForbiddenMarks:
            return QStringLiteral("保存商品标识");
        case ListEditor::ForbiddenPublishers:
            return QStringLiteral("保存出版社");
    }
    return {};
}

ListEditorPage::ListEditorPage(AppContext& ctx, SettingsBinding& binding, ListEditor editor,
                               MessageBoxes* messages, QWidget* parent)
    : QWidget(parent), ctx_(ctx), binding_(binding), editor_(editor), messages_(messages) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    if (editor == ListEditor::ForbiddenBooks) {
        auto* note = new QLabel(QStringLiteral("ISBN,作者，书名是以下内容的图书，将会直接过滤，"
                                               "每个项目以逗号分开，满足其中一个条件就会过滤"),
                                this);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    box_ = binding.textBox(KeyOf(editor));
    layout->addWidget(box_, 1);
    save_ = new QPushButton(ListEditorSaveCaption(editor), this);
    auto* row = new QHBoxLayout();
    row->addStretch(1);
    row->addWidget(save_);
    layout->addLayout(row);
    connect(save_, &QPushButton::clicked, this, [this] { Save(); });
}

void ListEditorPage::showEvent(QShowEvent* event) {
    binding_.ShowValue(*FindSettingControl(KeyOf(editor_)));
    QWidget::showEvent(event);
}

void ListEditorPage::Save() {
    if (SaveListEditor(ctx_, editor_))
        return;
    if (messages_)
        messages_->Show(this, QStringLiteral("保存失败：数据库未能写入，原有列表保持不变"));
}

}  // namespace vt::ui
