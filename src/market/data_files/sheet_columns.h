// The seller's own spreadsheet: one column for every field the system reads of a book,
// headed in the seller's language. The workbook and the plain CSV share them.
#pragma once

#include <string>
#include <vector>

#include "market/data_files/data_rows.h"

namespace vt {

struct SheetColumn {
    const char* header;  // GBK
    std::string (*value)(const DataFileRow&);
    bool price;  // written as a number where the text holds one
};

const std::vector<SheetColumn>& SheetColumns();

// The amount a price text shows ("38.00", "¥38.00", " 38元"): false when it holds none.
bool PriceAmount(const std::string& text, double& amount);
// The amount as a plain decimal with two places ("38.00"); empty when the text holds none.
std::string PlainAmount(const std::string& text);

}  // namespace vt
