// Picture upload, item publish and the read-back of what the shop holds.
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "base/text.h"
#include "sim/form_parsing.h"
#include "sim/market_categories.h"
#include "sim/market_headers.h"
#include "sim/market_sim.h"

namespace vt::sim {
namespace {

HttpResponse Json(std::string body) {
    HttpResponse res;
    res.contentType = "application/json; charset=gbk";
    res.body = std::move(body);
    return res;
}

HttpResponse UploadRefused(const std::string& why) {
    return Json("{\"result\":false,\"message\":\"" + why + "\"}");
}

HttpResponse PublishRefused(const std::string& why) {
    return Json("{\"success\":false,\"detail\":\"" + why + "\",\"code\":\"ERROR\"}");
}

std::string PictureType(const std::string& bytes) {
    static const std::string kPng("\x89PNG\r\n\x1a\n", 8);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xD8)
        return "jpg";
    if (bytes.compare(0, kPng.size(), kPng) == 0)
        return "png";
    return {};
}

bool PositiveAmount(const std::string& text) {
    std::string t = Trim(text);
    if (t.empty())
        return false;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    return end == t.c_str() + t.size() && std::isfinite(v) && v > 0;
}

bool PositiveCount(const std::string& text) {
    std::string t = Trim(text);
    if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != std::string::npos)
        return false;
    return std::stol(t) > 0;
}

// The boundary a multipart POST names, when it has the shape the seller pages' browser
// gives it: 27 hyphens, then 8 to 40 hex digits, drawn anew for every form. Empty for any
// other Content-Type.
std::string BrowserBoundary(const HttpRequest& req) {
    const std::string boundary = BoundaryOf(req.Header("Content-Type"));
    const std::size_t hyphens = boundary.find_first_not_of('-');
    if (hyphens != 27)
        return {};
    const std::size_t digits = boundary.size() - hyphens;
    if (digits < 8 || digits > 40 ||
        boundary.find_first_not_of("0123456789abcdefABCDEF", hyphens) != std::string::npos)
        return {};
    return boundary;
}

// The Content-Type a POST with that boundary must carry; one no request matches when the
// request named no browser boundary.
std::string MultipartContentType(const std::string& boundary) {
    return "multipart/form-data; boundary=" + (boundary.empty() ? "(none)" : boundary);
}

}  // namespace

HttpResponse MarketSim::UploadImage(const HttpRequest& req) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!SessionOf(req))
            return UploadRefused("请先登录");
    }
    const std::string boundary = BrowserBoundary(req);
    std::string wrong = CheckPostHeaders(
        req, {"/auction/publish/publish.htm", MultipartContentType(boundary), false});
    if (!wrong.empty())
        return UploadRefused("请求头不符：" + wrong);
    std::vector<MultipartPart> parts;
    if (!ParseMultipart(req.body, boundary, parts))
        return UploadRefused("表单格式错误");

    const MultipartPart* file = nullptr;
    FormFields fields;
    for (const MultipartPart& part : parts) {
        if (part.isFile && part.name == "multimagefile" && !file)
            file = &part;
        else
            fields.emplace_back(part.name, part.data);
    }
    if (!file || file->data.empty())
        return UploadRefused("请选择要上传的图片");
    const std::string type = PictureType(file->data);
    if (type.empty())
        return UploadRefused("只能上传jpg、png格式的图片");

    std::lock_guard<std::mutex> lock(mutex_);
    const std::string session = SessionIdOf(req);
    auto form = forms_.find(Trim(FieldValue(fields, "_tb_token_")));
    if (form == forms_.end() || form->second.session != session)
        return UploadRefused("页面已失效，请刷新页面后重试");
    const std::string path = "/imgextra/i" + std::to_string(images_.size() % 4 + 1) + "/" +
                             std::to_string(images_.size() + 1) + "/TB1" + NextHex(20) + "." + type;
    const std::string url = origin() + path;
    images_[path] = StoredImage{type == "png" ? "image/png" : "image/jpeg", file->data};
    imageUrls_.insert(url);
    return Json("{\"result\":true,\"url\":\"" + url + "\"}");
}

HttpResponse MarketSim::Publish(const HttpRequest& req) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!SessionOf(req))
            return PublishRefused("您还没有登录，请登录后再发布宝贝");
    }
    const std::string boundary = BrowserBoundary(req);
    std::string wrong = CheckPostHeaders(
        req, {"/auction/publish/publish.htm", MultipartContentType(boundary), false});
    if (!wrong.empty())
        return PublishRefused("请求头不符：" + wrong);
    std::vector<MultipartPart> parts;
    if (!ParseMultipart(req.body, boundary, parts))
        return PublishRefused("表单格式错误");
    FormFields fields;
    for (const MultipartPart& part : parts) fields.emplace_back(part.name, part.data);
    auto value = [&fields](const char* name) { return Trim(FieldValue(fields, name)); };

    ShopItem item;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string session = SessionIdOf(req);
        auto form = forms_.find(value("_tb_token_"));
        if (form == forms_.end() || form->second.session != session)
            return PublishRefused("页面已失效，请刷新页面后重新发布");
        if (form->second.used)
            return PublishRefused("请勿重复提交宝贝");
        // A token is spent by its first submission, accepted or not.
        form->second.used = true;
        if (value("_fma.pu._0.auc") != form->second.itemNumber)
            return PublishRefused("宝贝编号不符，请刷新页面后重新发布");
        item.itemId = form->second.itemNumber;
        item.nick = sessions_.at(session).nick;
    }

    item.title = value("_fma.pu._0.ti");
    item.price = value("_fma.pu._0.b");
    item.quantity = value("_fma.pu._0.q");
    item.categoryId = value("_fma.pu._0.ca");
    item.picture = value("picUrl1");
    item.description = FieldValue(fields, "_fma.pu._0.d");
    item.outerCode = value("_fma.pu._0.ou");
    item.freightTemplate = value("_fma.pu._0.po");
    item.onSale = value("_fma.pu._0.auct") == "0";
    item.fields = std::move(fields);

    if (item.title.empty())
        return PublishRefused("宝贝标题不能为空");
    if (item.title.size() > 60)
        return PublishRefused("宝贝标题最多允许输入30个汉字");
    if (!PositiveAmount(item.price))
        return PublishRefused("一口价必须大于0");
    if (!PositiveCount(item.quantity))
        return PublishRefused("宝贝数量必须大于0");
    if (!IsKnownCategory(item.categoryId))
        return PublishRefused("类目不存在，请重新选择类目");
    if (item.picture.empty())
        return PublishRefused("请上传宝贝主图");

    std::lock_guard<std::mutex> lock(mutex_);
    for (const char* name : {"picUrl1", "picUrl2", "picUrl3", "picUrl4", "picUrl5"}) {
        std::string url = Trim(FieldValue(item.fields, name));
        if (!url.empty() && !imageUrls_.count(url))
            return PublishRefused("宝贝图片不是通过图片空间上传的，请重新上传");
    }
    const std::string id = item.itemId;
    items_.push_back(std::move(item));
    return Json("{\"success\":true,\"itemId\":\"" + id + "\",\"url\":\"" + origin() +
                "/auction/publish/publishItemSuccess.htm?itemNumId=" + id + "\"}");
}

HttpResponse MarketSim::Image(const HttpRequest& req) const {
    HttpResponse res;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = images_.find(req.path);
    if (it == images_.end()) {
        res.status = 404;
        return res;
    }
    res.contentType = it->second.contentType;
    res.body = it->second.bytes;
    return res;
}

std::string MarketSim::ItemsJson() const {
    nlohmann::json list = nlohmann::json::array();
    for (const ShopItem& item : Items()) {
        nlohmann::json fields = nlohmann::json::array();
        for (const auto& [name, value] : item.fields)
            fields.push_back({GbkToUtf8(name), GbkToUtf8(value)});
        list.push_back({{"itemId", item.itemId},
                        {"nick", GbkToUtf8(item.nick)},
                        {"title", GbkToUtf8(item.title)},
                        {"price", GbkToUtf8(item.price)},
                        {"quantity", GbkToUtf8(item.quantity)},
                        {"categoryId", GbkToUtf8(item.categoryId)},
                        {"picture", GbkToUtf8(item.picture)},
                        {"description", GbkToUtf8(item.description)},
                        {"outerCode", GbkToUtf8(item.outerCode)},
                        {"freightTemplate", GbkToUtf8(item.freightTemplate)},
                        {"onSale", item.onSale},
                        {"fields", fields}});
    }
    return list.dump(1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace vt::sim
