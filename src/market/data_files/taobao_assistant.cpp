#include "market/data_files/taobao_assistant.h"

#include "base/files.h"
#include "market/data_files/csv_text.h"

namespace vt {
namespace {

// The tool names a picture by its file name without extension, followed by its place
// in the item's picture list; an address (pictures not downloaded) is given as is.
std::string PictureField(const std::string& picture) {
    if (picture.empty())
        return {};
    if (picture.find("://") != std::string::npos)
        return picture;
    return PictureBaseName(picture) + ":1:0:|;";
}

std::string Text(const std::vector<AssistantColumn>& columns, const DataFileRow* row, bool keys) {
    std::vector<std::string> fields;
    for (const auto& column : columns) {
        if (row)
            fields.push_back(AssistantValue(column.key, *row));
        else
            fields.push_back(keys ? column.key : column.header);
    }
    return CsvLine(fields, keys || row ? '\t' : ',');
}

}  // namespace

const std::vector<AssistantColumn>& AssistantColumnsV4() {
    static const std::vector<AssistantColumn> columns = {
        {"title", "宝贝名称"},
        {"cid", "宝贝类目"},
        {"seller_cids", "店铺类目"},
        {"stuff_status", "新旧程度"},
        {"location_state", "省"},
        {"location_city", "城市"},
        {"item_type", "出售方式"},
        {"price", "宝贝价格"},
        {"auction_increment", "加价幅度"},
        {"num", "宝贝数量"},
        {"valid_thru", "有效期"},
        {"freight_payer", "运费承担"},
        {"post_fee", "平邮"},
        {"ems_fee", "EMS"},
        {"express_fee", "快递"},
        {"has_invoice", "发票"},
        {"has_warranty", "保修"},
        {"approve_status", "放入仓库"},
        {"has_showcase", "橱窗推荐"},
        {"list_time", "开始时间"},
        {"description", "宝贝描述"},
        {"cateProps", "宝贝属性"},
        {"postage_id", "邮费模版ID"},
        {"has_discount", "会员打折"},
        {"modified", "修改时间"},
        {"upload_fail_msg", "上传状态"},
        {"picture_status", "图片状态"},
        {"auction_point", "返点比例"},
        {"picture", "新图片"},
        {"video", "视频"},
        {"skuProps", "销售属性组合"},
        {"inputPids", "用户输入ID串"},
        {"inputValues", "用户输入名-值对"},
        {"outer_id", "商家编码"},
        {"propAlias", "销售属性别名"},
        {"auto_fill", "代充类型"},
    };
    return columns;
}

const std::vector<AssistantColumn>& AssistantColumnsV5() {
    static const std::vector<AssistantColumn> columns = [] {
        std::vector<AssistantColumn> all = AssistantColumnsV4();
        const std::vector<AssistantColumn> later = {
            {"num_id", "数字ID"},
            {"local_cid", "本地ID"},
            {"navigation_type", "宝贝分类"},
            {"user_name", "用户名称"},
            {"syncStatus", "宝贝状态"},
            {"is_lighting_consigment", "闪电发货"},
            {"is_xinpin", "新品"},
            {"foodparame", "食品专项"},
            {"features", "尺码库"},
            {"buyareatype", "采购地"},
            {"global_stock_type", "库存类型"},
            {"global_stock_country", "国家地区"},
            {"sub_stock_type", "库存计数"},
            {"item_size", "物流体积"},
            {"item_weight", "物流重量"},
            {"sell_promise", "退换货承诺"},
            {"custom_design_flag", "定制工具"},
            {"wireless_desc", "无线详情"},
            {"barcode", "商品条形码"},
            {"sku_barcode", "sku 条形码"},
            {"newprepay", "7天退货"},
            {"subtitle", "宝贝卖点"},
            {"cpv_memo", "属性值备注"},
            {"input_custom_cpv", "自定义属性值"},
            {"qualification", "商品资质"},
            {"add_qualification", "增加商品资质"},
            {"o2o_bind_service", "关联线下服务"},
        };
        all.insert(all.end(), later.begin(), later.end());
        return all;
    }();
    return columns;
}

std::string AssistantValue(const std::string& key, const DataFileRow& row) {
    // Fixed answers of a new book sold at a fixed price, on sale at once, the buyer
    // paying the freight of the chosen template.
    if (key == "title")
        return row.title;
    if (key == "cid")
        return row.categoryId;
    if (key == "stuff_status" || key == "item_type")
        return "1";
    if (key == "price")
        return row.price;
    if (key == "num")
        return row.quantity;
    if (key == "valid_thru")
        return "14";
    if (key == "freight_payer")
        return "2";
    if (key == "approve_status")
        return "0";
    if (key == "description")
        return row.description;
    if (key == "postage_id")
        return row.freightTemplate;
    if (key == "picture")
        return PictureField(row.picture);
    if (key == "outer_id")
        return row.book.OuterCode;
    if (key == "barcode")
        return row.book.ISBN;
    if (key == "subtitle")
        return row.sellingPoint;
    return {};
}

bool WriteAssistantCsv(const std::string& path, const std::vector<DataFileRow>& rows) {
    const auto& columns = AssistantColumnsV4();
    std::string text = Text(columns, nullptr, false);
    std::vector<std::string> fields;
    for (const DataFileRow& row : rows) {
        fields.clear();
        for (const auto& column : columns) fields.push_back(AssistantValue(column.key, row));
        text += CsvLine(fields, ',');
    }
    return WriteBytesFile(path, text);
}

bool WriteAssistant5Csv(const std::string& path, const std::vector<DataFileRow>& rows) {
    const auto& columns = AssistantColumnsV5();
    std::string text = "version 1.00\r\n";
    text += Text(columns, nullptr, true);
    std::vector<std::string> headers;
    for (const auto& column : columns) headers.push_back(column.header);
    text += CsvLine(headers, '\t');
    for (const DataFileRow& row : rows) text += Text(columns, &row, true);
    return WriteBytesFile(path, Utf16LeWithBom(text));
}

}  // namespace vt
