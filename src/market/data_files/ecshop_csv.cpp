#include "market/data_files/ecshop_csv.h"

#include "base/files.h"
#include "market/data_files/csv_text.h"
#include "market/data_files/sheet_columns.h"

namespace vt {

const std::vector<std::string>& EcshopHeaders() {
    static const std::vector<std::string> headers = {
        "商品名称",     "商品货号",   "商品品牌",       "市场售价",   "本店售价",
        "积分购买额度", "商品原始图", "商品图片",       "商品缩略图", "商品关键词",
        "简单描述",     "详细描述",   "商品重量（kg）", "库存数量",   "库存警告数量",
        "是否精品",     "是否新品",   "是否热销",       "是否上架",   "能作为普通商品销售",
        "是否实体商品"};
    return headers;
}

std::vector<std::string> EcshopFields(const DataFileRow& row, const std::string& imagesDir) {
    const std::string picture = PictureBelow(row.picture, imagesDir);
    return {row.title,
            row.book.OuterCode,
            row.book.PressName,
            PlainAmount(row.book.MarketPrice),
            row.price,
            "0",
            picture,
            picture,
            picture,
            row.book.Author,
            row.sellingPoint,
            row.description,
            "0",
            row.quantity,
            "1",
            "0",
            "0",
            "0",
            "1",
            "1",
            "1"};
}

bool WriteEcshopCsv(const std::string& path, const std::vector<DataFileRow>& rows,
                    const std::string& imagesDir) {
    std::string text = CsvLine(EcshopHeaders(), ',');
    for (const DataFileRow& row : rows) text += CsvLine(EcshopFields(row, imagesDir), ',');
    return WriteBytesFile(path, text);
}

}  // namespace vt
