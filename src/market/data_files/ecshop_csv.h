// "生成ecshop数据文件": the batch upload file of the ECShop shop system, GBK, comma-separated,
// one row of Chinese headers.
#pragma once

#include <string>
#include <vector>

#include "market/data_files/data_rows.h"

namespace vt {

// The headers of the file, in file order.
const std::vector<std::string>& EcshopHeaders();

// The fields of one book. imagesDir: the folder the picture paths are given relative to
// (the shop wants the picture's path below its own image folder, where the seller copies
// the job's picture folders).
std::vector<std::string> EcshopFields(const DataFileRow& row, const std::string& imagesDir);

// False when the file cannot be written.
bool WriteEcshopCsv(const std::string& path, const std::vector<DataFileRow>& rows,
                    const std::string& imagesDir);

}  // namespace vt
