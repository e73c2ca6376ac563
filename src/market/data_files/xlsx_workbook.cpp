#include "market/data_files/xlsx_workbook.h"

#include <xlsxwriter.h>

#include "base/files.h"
#include "base/text.h"
#include "market/data_files/sheet_columns.h"

namespace vt {

std::string WriteXlsxWorkbook(const std::string& path, const std::vector<DataFileRow>& rows) {
    lxw_workbook* book = workbook_new(NativePath(path).c_str());
    if (!book)
        return "无法创建文件";
    lxw_worksheet* sheet = workbook_add_worksheet(book, GbkToUtf8("图书").c_str());
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* money = workbook_add_format(book);
    format_set_num_format(money, "0.00");

    const auto& columns = SheetColumns();
    lxw_error error = LXW_NO_ERROR;
    auto keep = [&error](lxw_error e) {
        if (error == LXW_NO_ERROR)
            error = e;
    };
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const auto col = static_cast<lxw_col_t>(c);
        keep(worksheet_write_string(sheet, 0, col, GbkToUtf8(columns[c].header).c_str(), bold));
        keep(worksheet_set_column(sheet, col, col, 14, nullptr));
    }
    worksheet_freeze_panes(sheet, 1, 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto row = static_cast<lxw_row_t>(r + 1);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const auto col = static_cast<lxw_col_t>(c);
            const std::string text = columns[c].value(rows[r]);
            double amount = 0;
            if (text.empty())
                continue;
            if (columns[c].price && PriceAmount(text, amount))
                keep(worksheet_write_number(sheet, row, col, amount, money));
            else
                keep(worksheet_write_string(sheet, row, col, GbkToUtf8(text).c_str(), nullptr));
        }
    }
    const lxw_error closed = workbook_close(book);
    if (error != LXW_NO_ERROR)
        return lxw_strerror(error);
    if (closed != LXW_NO_ERROR)
        return lxw_strerror(closed);
    return {};
}

}  // namespace vt
