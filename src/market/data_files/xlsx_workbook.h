// "生成自定义Excel文件": the seller's workbook, one row per book.
#pragma once

#include <string>
#include <vector>

#include "market/data_files/data_rows.h"

namespace vt {

// One sheet "图书": header row frozen, prices as numbers. The error text, empty on success.
std::string WriteXlsxWorkbook(const std::string& path, const std::vector<DataFileRow>& rows);

}  // namespace vt
