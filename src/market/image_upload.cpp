#include "market/image_upload.h"

#include <fstream>
#include <iterator>

#include "base/encoders.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/http_client.h"
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

int MarketUploadImage(std::string& response, const PublishItem& item, const std::string& cookie,
                      const Hosts& hosts) {
    std::string body = std::string("--") + kMultipartBoundary + "\r\n" +
                       "Content-Disposition: form-data; name=\"multimagefile\";filename=\"" +
                       UploadFileName(item.LocalImageFileName) +
                       "\"\r\nContent-Type: image/pjpeg\r\n\r\n";
    body += ReadPicture(item.LocalImageFileName);
    body += "\r\n";
    body += BuildMultipartBody({{"primary", "true"},
                                {"_tb_token_", item.TbToken},
                                {"itemId", item.ItemNumber},
                                {"cateid", item.CategoryId}});

    MarketPostRequest request{
        hosts.Url(HostRole::MarketUpload, "/auction/publish/uploadSingleImage.do"),
        hosts.Url(HostRole::MarketUpload, "/auction/publish/publish.htm"),
        std::string("multipart/form-data; boundary=") + kMultipartBoundary,
        {},
        body,
        cookie,
    };
    return MarketPost(request, response, HttpOptions::ForUpload());
}

}  // namespace vt
