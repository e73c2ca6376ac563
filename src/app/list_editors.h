// The four list editors of the settings dialog. Each box is the live list: the filter
// keywords and the forbidden books come from their files (and their tables are made to
// mirror them at every start); the forbidden marks and publishers come from their tables
// and go back there only through their own save buttons.
#pragma once

#include <string>
#include <string_view>

#include "core/databases.h"
#include "core/sys_config.h"

namespace vt {

class AppContext;

enum class ListEditor { FilterKeywords, ForbiddenBooks, ForbiddenMarks, ForbiddenPublishers };

inline constexpr ListEditor kListEditors[] = {
    ListEditor::FilterKeywords, ListEditor::ForbiddenBooks, ListEditor::ForbiddenMarks,
    ListEditor::ForbiddenPublishers};

// The box (a SysConfig text) and the table of one editor.
struct ListEditorBox {
    std::string (SysConfig::*get)() const;
    void (SysConfig::*set)(std::string);
    ListTable table;
    const char* select;  // what fills the box from the table; null for the file-backed two
};
const ListEditorBox& BoxOf(ListEditor editor);

// Start-up, after Filter.db is open and the word-list files are loaded: the two
// file-backed boxes are saved into their tables, and the marks and publishers boxes are
// filled from theirs (each value followed by ",").
void LoadListEditors(AppContext& ctx);

// A save button: the editor's table rewritten from its box, all or nothing. False when
// the rewrite failed; the table then still holds the previous list.
bool SaveListEditor(AppContext& ctx, ListEditor editor);

// A mark the results panel added to the table goes into the live marks box too, so that
// the next save of the box keeps it.
void AppendToMarksBox(SysConfig& config, std::string_view mark);

}  // namespace vt
