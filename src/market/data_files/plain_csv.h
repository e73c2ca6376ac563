// The workbook's columns as a plain UTF-8 CSV with a byte-order mark: scripts read it,
// and a spreadsheet opened by double-click shows the Chinese text right.
#pragma once

#include <string>
#include <vector>

#include "market/data_files/data_rows.h"

namespace vt {

// False when the file cannot be written.
bool WritePlainCsv(const std::string& path, const std::vector<DataFileRow>& rows);

}  // namespace vt
