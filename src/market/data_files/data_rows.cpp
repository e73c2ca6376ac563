#include "market/data_files/data_rows.h"

#include <filesystem>
#include <system_error>

#include "base/clean_html.h"
#include "base/files.h"
#include "core/context.h"
#include "market/publish_form.h"

namespace vt {
namespace {

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(NativePath(path), ec);
}

std::string Field(const FormFields& fields, const std::string& name) {
    for (const auto& [key, value] : fields)
        if (key == name)
            return value;
    return {};
}

}  // namespace

std::string MobileDescriptionValue(const std::string& mobile, const std::string& label) {
    const std::string key = "\"value\":\"" + label;
    const std::size_t at = mobile.find(key);
    if (at == std::string::npos)
        return {};
    std::string out;
    for (std::size_t i = at + key.size(); i < mobile.size(); ++i) {
        const char c = mobile[i];
        if (c == '"')
            break;
        if (c == '\\' && i + 1 < mobile.size()) {
            const char e = mobile[++i];
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
            continue;
        }
        out += c;
    }
    // The mobile text carries the values escaped as HTML text.
    return UnescapeHtml(out);
}

std::string PictureBaseName(const std::string& picture) {
    std::size_t slash = picture.find_last_of("/\\");
    std::string name = slash == std::string::npos ? picture : picture.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

std::string PictureBelow(const std::string& picture, const std::string& dir) {
    const std::string prefix = dir + "/";
    if (picture.compare(0, prefix.size(), prefix) == 0)
        return picture.substr(prefix.size());
    return picture;
}

std::vector<DataFileRow> CollectDataRows(AppContext& ctx) {
    std::vector<DataFileRow> rows;
    CollectedList& list = ctx.collected();
    const int count = list.Count();
    const bool noDownload = ctx.config().CHKNoDownPic();
    for (int i = 0; i < count; ++i) {
        const auto book = list.Book(i);
        if (!book)
            continue;
        DataFileRow row;
        row.book = *book;
        PublishItem item;
        row.reason = BuildPublishItem(ctx, *book, item);
        if (row.reason.empty()) {
            // Taken from the form itself, so each file says what a publish would send.
            const FormFields fields = BuildPublishFields(ctx, item);
            row.title = Field(fields, "_fma.pu._0.ti");
            row.price = Field(fields, "_fma.pu._0.m");
            row.quantity = Field(fields, "_fma.pu._0.q");
            row.description = Field(fields, "_fma.pu._0.d");
            row.sellingPoint = Field(fields, "subTitle");
            row.freightTemplate = Field(fields, "_fma.pu._0.po");
        }
        row.categoryId = list.ItemCategory(i);
        // Only a picture that is really on disk counts; a failed download names none.
        if (FileExists(book->LocalImageFileName))
            row.picture = book->LocalImageFileName;
        else if (noDownload)
            row.picture = book->RemoteImageUrl;
        const std::string& mobile = book->MobileDescription;
        row.wordCount = MobileDescriptionValue(mobile, "字数：");
        row.pageCount = MobileDescriptionValue(mobile, "页码：");
        row.edition = MobileDescriptionValue(mobile, "版次：");
        row.binding = MobileDescriptionValue(mobile, "装帧：");
        row.bookFormat = MobileDescriptionValue(mobile, "开本：");
        row.imageState = list.Cell(i, kImageStateCol);
        row.marketState = list.Cell(i, kMarketStateCol);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace vt
