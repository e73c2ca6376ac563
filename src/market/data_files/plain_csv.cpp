#include "market/data_files/plain_csv.h"

#include "base/files.h"
#include "market/data_files/csv_text.h"
#include "market/data_files/sheet_columns.h"

namespace vt {

bool WritePlainCsv(const std::string& path, const std::vector<DataFileRow>& rows) {
    const auto& columns = SheetColumns();
    std::vector<std::string> fields;
    for (const auto& column : columns) fields.push_back(column.header);
    std::string text = CsvLine(fields, ',');
    for (const DataFileRow& row : rows) {
        fields.clear();
        for (const auto& column : columns) fields.push_back(column.value(row));
        text += CsvLine(fields, ',');
    }
    return WriteBytesFile(path, Utf8WithBom(text));
}

}  // namespace vt
