#include "market/data_files/shopex_csv.h"

#include "base/files.h"
#include "market/data_files/csv_text.h"
#include "market/data_files/sheet_columns.h"

namespace vt {

const std::vector<std::string>& ShopexHeaders() {
    static const std::vector<std::string> headers = {
        "*:通用商品类型", "bn:商品编号",  "col:分类", "col:品牌",   "col:市场价",
        "col:销售价",     "col:商品名称", "col:上架", "col:缩略图", "col:图片文件",
        "col:商品简介",   "col:详细介绍", "col:重量", "col:单位",   "col:库存"};
    return headers;
}

std::vector<std::string> ShopexFields(const DataFileRow& row, const std::string& imagesDir) {
    const std::string picture = PictureBelow(row.picture, imagesDir);
    return {"",
            row.book.OuterCode,
            row.categoryId,
            row.book.PressName,
            PlainAmount(row.book.MarketPrice),
            row.price,
            row.title,
            "Y",
            picture,
            picture,
            row.sellingPoint,
            row.description,
            "0",
            "本",
            row.quantity};
}

bool WriteShopexCsv(const std::string& path, const std::vector<DataFileRow>& rows,
                    const std::string& imagesDir) {
    std::string text = CsvLine(ShopexHeaders(), ',');
    for (const DataFileRow& row : rows) text += CsvLine(ShopexFields(row, imagesDir), ',');
    return WriteBytesFile(path, text);
}

}  // namespace vt
