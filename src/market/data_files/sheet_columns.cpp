#include "market/data_files/sheet_columns.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace vt {

const std::vector<SheetColumn>& SheetColumns() {
    static const std::vector<SheetColumn> columns = {
        {"书名", [](const DataFileRow& r) { return r.book.BookName; }, false},
        {"ISBN", [](const DataFileRow& r) { return r.book.ISBN; }, false},
        {"作者", [](const DataFileRow& r) { return r.book.Author; }, false},
        {"出版社", [](const DataFileRow& r) { return r.book.PressName; }, false},
        {"出版日期", [](const DataFileRow& r) { return r.book.PressDate; }, false},
        {"定价", [](const DataFileRow& r) { return r.book.MarketPrice; }, true},
        {"网站价", [](const DataFileRow& r) { return r.book.SellPrice; }, true},
        {"售价", [](const DataFileRow& r) { return r.price; }, true},
        {"宝贝标题", [](const DataFileRow& r) { return r.title; }, false},
        {"淘宝类目", [](const DataFileRow& r) { return r.categoryId; }, false},
        {"图片", [](const DataFileRow& r) { return r.picture; }, false},
        {"头标题", [](const DataFileRow& r) { return r.book.HeadTitle; }, false},
        {"字数", [](const DataFileRow& r) { return r.wordCount; }, false},
        {"页数", [](const DataFileRow& r) { return r.pageCount; }, false},
        {"版次", [](const DataFileRow& r) { return r.edition; }, false},
        {"装帧", [](const DataFileRow& r) { return r.binding; }, false},
        {"开本", [](const DataFileRow& r) { return r.bookFormat; }, false},
        {"商品编码", [](const DataFileRow& r) { return r.book.OuterCode; }, false},
        {"图片下载状况", [](const DataFileRow& r) { return r.imageState; }, false},
        {"淘宝状态", [](const DataFileRow& r) { return r.marketState; }, false},
        {"原因", [](const DataFileRow& r) { return r.reason; }, false},
    };
    return columns;
}

bool PriceAmount(const std::string& text, double& amount) {
    // The bookstore shows prices with a currency sign or unit around the number.
    std::size_t i = 0;
    while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i == text.size())
        return false;
    if (i > 0 && text[i - 1] == '.')
        --i;
    char* end = nullptr;
    const std::string rest = text.substr(i);
    amount = std::strtod(rest.c_str(), &end);
    return end != rest.c_str();
}

std::string PlainAmount(const std::string& text) {
    double amount = 0;
    if (!PriceAmount(text, amount))
        return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", amount);
    return buf;
}

}  // namespace vt
