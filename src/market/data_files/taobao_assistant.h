// The marketplace's bulk-listing tool ("淘宝助理") reads items from CSV files; a seller can
// import the collected books there instead of publishing from here. Two versions:
//  - "生成淘宝助理文件": the older layout, GBK, comma-separated, one row of Chinese headers;
//  - "生成淘宝助理5格式": the 5.x layout, UTF-16LE with a byte-order mark, tab-separated,
//    a "version 1.00" line, a line of field keys and a line of Chinese headers.
// Each row carries the item fields the publish form would send: title, category, price,
// quantity, freight template, description, outer code, selling point and picture.
#pragma once

#include <string>
#include <vector>

#include "market/data_files/data_rows.h"

namespace vt {

struct AssistantColumn {
    const char* key;     // the 5.x field key
    const char* header;  // GBK
};

// The columns of each version, in file order.
const std::vector<AssistantColumn>& AssistantColumnsV4();
const std::vector<AssistantColumn>& AssistantColumnsV5();

// The value of one column for a row; empty for the columns this system has nothing for.
std::string AssistantValue(const std::string& key, const DataFileRow& row);

// False when the file cannot be written.
bool WriteAssistantCsv(const std::string& path, const std::vector<DataFileRow>& rows);
bool WriteAssistant5Csv(const std::string& path, const std::vector<DataFileRow>& rows);

}  // namespace vt
