#include "market/image_upload.h"

#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "base/encoders.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "detail/isbn_check.h"
#include "market/publish_form.h"

namespace vt {
namespace {

// The whole file; nothing when it cannot be read.
std::string ReadPicture(const std::string& path) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in)
        return {};
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::string UploadFileName(const std::string& path) {
    // Pictures live in this system's folders, separated by "/"; a path written with
    // backslashes is cut the same way, so no folder name ever leaves the machine.
    std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string UploadPartFileName(const PublishItem& item) {
    static constexpr char kNeutral[] = "image.JPG";
    const std::string name = UploadFileName(item.LocalImageFileName);
    if (name.find_first_of(std::string_view("\"\r\n\0", 4)) != std::string::npos)
        return kNeutral;
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    if (!item.ISBN.empty() && stem == item.ISBN && !IsWellFormedIsbn(item.ISBN))
        return kNeutral;
    return name;
}

int MarketUploadImage(std::string& response, const PublishItem& item, const std::string& cookie,
                      const Hosts& hosts) {
    const std::vector<std::pair<std::string, std::string>> fields{{"primary", "true"},
                                                                  {"_tb_token_", item.TbToken},
                                                                  {"itemId", item.ItemNumber},
                                                                  {"cateid", item.CategoryId}};
    const std::string picture = ReadPicture(item.LocalImageFileName);
    // The picture's bytes are sent as they are: a boundary they happen to hold is drawn
    // again rather than refused.
    std::string boundary = NewMultipartBoundary();
    while (picture.find(boundary) != std::string::npos) boundary = NewMultipartBoundary();
    const std::string tail = BuildMultipartBody(fields, boundary);
    if (tail.empty()) {
        response = "上传表单含有表单分隔符或空字符，未发送";
        return kPostCannotOpen;
    }
    std::string body = "--" + boundary + "\r\n" +
                       "Content-Disposition: form-data; name=\"multimagefile\";filename=\"" +
                       UploadPartFileName(item) + "\"\r\nContent-Type: image/pjpeg\r\n\r\n";
    body += picture;
    body += "\r\n";
    body += tail;

    MarketPostRequest request{
        hosts.Url(HostRole::MarketUpload, "/auction/publish/uploadSingleImage.do"),
        hosts.Url(HostRole::MarketUpload, "/auction/publish/publish.htm"),
        MultipartContentType(boundary),
        {},
        body,
        cookie,
    };
    return MarketPost(request, response, HttpOptions::ForUpload());
}

}  // namespace vt
