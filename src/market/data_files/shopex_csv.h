// "生成shopex数据文件": the goods import file of the ShopEx shop system, GBK, comma-separated,
// one row of headers ("col:" names).
#pragma once

#include <string>
#include <vector>

#include "market/data_files/data_rows.h"

namespace vt {

// The headers of the file, in file order.
const std::vector<std::string>& ShopexHeaders();

// The fields of one book. imagesDir: the folder the picture paths are given relative to
// (the shop wants the picture's path below its own image folder, where the seller copies
// the job's picture folders).
std::vector<std::string> ShopexFields(const DataFileRow& row, const std::string& imagesDir);

// False when the file cannot be written.
bool WriteShopexCsv(const std::string& path, const std::vector<DataFileRow>& rows,
                    const std::string& imagesDir);

}  // namespace vt
