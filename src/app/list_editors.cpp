#include "app/list_editors.h"

#include "core/context.h"

namespace vt {

const ListEditorBox& BoxOf(ListEditor editor) {
    static const ListEditorBox kBoxes[] = {
        {&SysConfig::ForbiddenWordsText, &SysConfig::SetForbiddenWordsText, ListTable::FilterBooks,
         nullptr},
        {&SysConfig::ForbiddenBooksText, &SysConfig::SetForbiddenBooksText, ListTable::ForbidBooks,
         nullptr},
        {&SysConfig::ForbiddenMarksText, &SysConfig::SetForbiddenMarksText,
         ListTable::ForbidBiaoZhi, "select BiaoZhi from ForbidBiaoZhi"},
        {&SysConfig::ForbiddenPublishersText, &SysConfig::SetForbiddenPublishersText,
         ListTable::ForbidCBS, "select CBS from ForbidCBS"},
    };
    return kBoxes[static_cast<int>(editor)];
}

void LoadListEditors(AppContext& ctx) {
    for (ListEditor editor : kListEditors) {
        const ListEditorBox& box = BoxOf(editor);
        if (box.select)
            (ctx.config().*box.set)(ctx.db().QueryColumnList(box.select));
        else
            SaveListEditor(ctx, editor);
    }
}

bool SaveListEditor(AppContext& ctx, ListEditor editor) {
    const ListEditorBox& box = BoxOf(editor);
    return ctx.db().ReplaceList(box.table, (ctx.config().*box.get)());
}

void AppendToMarksBox(SysConfig& config, std::string_view mark) {
    std::string text = config.ForbiddenMarksText();
    if (!text.empty() && text.back() != ',')
        text += ',';
    text += mark;
    text += ',';
    config.SetForbiddenMarksText(std::move(text));
}

}  // namespace vt
