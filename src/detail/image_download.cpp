#include "detail/image_download.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <filesystem>
#include <mutex>

#include "base/bounded_lock.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "base/regex_ops.h"
#include "base/text.h"
#include "core/context.h"
#include "detail/isbn_check.h"

namespace vt {
namespace {

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A name that stays one plain entry of its folder on any file system the seller uses:
// separators, controls and the characters Windows refuses become "_"; "." and ".."
// (any name of dots only) and an empty name become "_". GBK lead bytes are >= 0x81 and
// trail bytes >= 0x40, so no byte of a Chinese character is taken for one of these.
std::string SafeName(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        const bool bad = c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' ||
                         c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
        out.push_back(bad ? '_' : static_cast<char>(c));
    }
    if (out.find_first_not_of('.') == std::string::npos)
        return "_";
    return out;
}

// The picture's own name from its address: "1234567-1_w_2" or "1234567-1_w".
std::string PictureName(const std::string& url) {
    std::string name = Trim(RegexFirst(url, "([0-9]*-[0-9]_w_[0-9]*).jpg"));
    if (name.empty())
        name = Trim(RegexFirst(url, "([0-9]*-[0-9]_w).jpg"));
    return name;
}

std::string RemoveSlashes(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '/')
            out.push_back(c);
    return out;
}

int CodeForRead(const PageResult& read) {
    switch (read.refusal) {
        case ReadRefusal::TooLarge:
            return kImageTooLarge;
        case ReadRefusal::InternalAddress:
            return kImageInternalAddress;
        case ReadRefusal::Stopped:
            return kImageStopped;
        default:
            break;
    }
    switch (static_cast<CURLcode>(read.transportError)) {
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return kImageBadUrl;
        case CURLE_SEND_ERROR:
        case CURLE_OUT_OF_MEMORY:
            return kImageRequestFailed;
        default:
            // Host unknown, refused, timed out, or a transfer that broke off part-way.
            return kImageNoConnection;
    }
}

bool IsHttpUrl(const std::string& url) {
    CURLU* u = curl_url();
    if (!u)
        return false;
    bool ok = false;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
        char* scheme = nullptr;
        char* host = nullptr;
        if (curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(u, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
            std::string s = scheme;
            ok = (s == "http" || s == "https") && host[0] != '\0';
        }
        curl_free(scheme);
        curl_free(host);
    }
    curl_url_cleanup(u);
    return ok;
}

bool FileExists(const std::string& gbkPath) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(NativePath(gbkPath)), ec);
}

// The path a book's picture is saved to: the target, or when that already holds a
// picture, one told apart by the book's product code (or a number).
std::string FreePath(const ImageTarget& target) {
    if (!FileExists(target.path))
        return target.path;
    const std::string stem = target.path.substr(0, target.path.size() - 4);  // ".JPG"
    if (!target.distinction.empty())
        return stem + "_" + target.distinction + ".JPG";
    for (int n = 2;; ++n) {
        const std::string candidate = stem + "_" + std::to_string(n) + ".JPG";
        if (!FileExists(candidate))
            return candidate;
    }
}

}  // namespace

bool LooksLikePicture(std::string_view b) {
    const auto starts = [b](std::string_view magic) { return b.substr(0, magic.size()) == magic; };
    return starts("\xFF\xD8\xFF") || starts("\x89PNG\r\n\x1A\n") || starts("GIF87a") ||
           starts("GIF89a") || (starts("RIFF") && b.size() >= 12 && b.substr(8, 4) == "WEBP") ||
           (starts("BM") && b.size() >= 26);
}

ImageTarget ImageFilePath(AppContext& ctx, const O_BookInfo& book) {
    ImageTarget target;
    const std::string job = RemoveSlashes(ctx.job().CurrentFenlei());
    ctx.job().SetCurrentFenlei(job);
    // An empty job text keeps the pictures in the day folder itself, as before.
    const std::string jobFolder = job.empty() ? job : SafeName(job);

    std::string name;
    const std::string code = Trim(book.ProductId.empty() ? book.OuterCode : book.ProductId);
    if (ctx.config().CHKIsbnForPicName()) {
        // A page may list several ISBNs, or a text that is none: the first well-formed
        // one names the picture, else the product code.
        name = FirstIsbnOf(book.ISBN);
        if (name.empty())
            name = SafeName(code.empty() ? Trim(book.ISBN) : code);
    } else {
        // The ".jpg" test is exact and case-sensitive, unlike the name patterns.
        if (book.RemoteImageUrl.empty() || book.RemoteImageUrl.find(".jpg") == std::string::npos) {
            target.refusal = "图片不存在或图片不正确";
            return target;
        }
        name = PictureName(book.RemoteImageUrl);
        if (name.empty()) {
            target.refusal = "图片地址不正确";
            return target;
        }
        name = SafeName(name);
    }
    if (!code.empty())
        target.distinction = SafeName(code);

    const std::string dayFolder = ctx.ImagesDir() + "/" + DayFolderName();
    const std::string folder = dayFolder + "/" + jobFolder + "/";
    EnsureDirectory(dayFolder);
    EnsureDirectory(folder);
    target.path = folder + name + ".JPG";
    return target;
}

PicturePolicy PicturePolicyFor(AppContext& ctx) {
    PicturePolicy policy;
    policy.maxBytes = SizeLimitFromKb(ctx.config().MaxPictureKB(), kDefaultMaxPictureBytes);
    const std::string authority = ctx.hosts().Host(HostRole::SourceProduct);
    const std::string host = AuthorityHost(authority);
    std::string port;
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos)
        port = authority.substr(colon + 1);
    if (port.empty())
        port = ctx.hosts().Origin(HostRole::SourceProduct).rfind("https", 0) == 0 ? "443" : "80";
    // Only address literals (and "localhost") are taken: a name is not resolved here,
    // so what it points at later cannot widen the exception.
    unsigned char buf[16];
    char text[INET6_ADDRSTRLEN] = {};
    if (host == "localhost") {
        policy.allowedLocalEndpoints = {"127.0.0.1:" + port, "[::1]:" + port};
    } else if (inet_pton(AF_INET, host.c_str(), buf) == 1) {
        policy.allowedLocalEndpoints = {host + ":" + port};
    } else if (inet_pton(AF_INET6, host.c_str(), buf) == 1 &&
               inet_ntop(AF_INET6, buf, text, sizeof text)) {
        policy.allowedLocalEndpoints = {"[" + std::string(text) + "]:" + port};
    }
    return policy;
}

int DownloadImage(const std::string& url, const std::string& path, const HttpOptions& options,
                  const PicturePolicy& policy) {
    if (url.empty())
        return kImageNoUrl;
    if (path.empty())
        return kImageNoPath;
    InitCurlOnce();
    if (!IsHttpUrl(url))
        return kImageBadUrl;

    HttpOptions pictureOptions = options;
    pictureOptions.maxBodyBytes = policy.maxBytes;
    pictureOptions.publicAddressesOnly = true;
    pictureOptions.allowedLocalEndpoints = policy.allowedLocalEndpoints;
    const PageResult read = FetchPicture(url, pictureOptions);
    if (read.transportError != CURLE_OK || read.refusal != ReadRefusal::None)
        return CodeForRead(read);
    if (read.status != 200)
        return kImageRefused;
    // An error page or anything else served in a picture's place is never uploaded.
    if (!LooksLikePicture(read.text))
        return kImageNotPicture;
    return WriteBytesFile(path, read.text) ? kImageSaved : kImageFileError;
}

std::string DownloadMessage(int code) {
    switch (code) {
        case kImageSaved:
            return "图片成功下载";
        case kImageBadUrl:
            return "图片地址解析失败,Url不正确";
        case kImageNoConnection:
            return "网络连接失败";
        case kImageRequestFailed:
            return "发起GET请求失败";
        case kImageRefused:
            return "服务器不接受请求";
        case kImageNoUrl:
            return "图片地址为空";
        case kImageNoPath:
            return "保存地址为空";
        case kImageFileError:
            return "读写文件异常";
        case kImageTooLarge:
            return "图片过大，已拒绝";
        case kImageNotPicture:
            return "下载内容不是图片";
        case kImageInternalAddress:
            return "图片地址指向本机或内部网络，已拒绝";
        case kImageStopped:
            return "图片下载已停止";
        default:
            return {};
    }
}

int DownloadBookImage(AppContext& ctx, O_BookInfo& book, const ImageTarget& target) {
    std::timed_mutex& lock = ctx.job().ImageLock;
    // Two downloads never run at once: a bounded wait that runs out is simply tried again.
    while (!LockWithin(lock, kImageLockWaitMs)) {
    }
    std::lock_guard<std::timed_mutex> held(lock, std::adopt_lock);
    // Chosen under the lock, so two books of one name cannot both take it.
    const std::string path = target.path.empty() ? target.path : FreePath(target);
    const int code = DownloadImage(Trim(book.RemoteImageUrl), path, ctx.ReadOptions(Site::Store),
                                   PicturePolicyFor(ctx));
    book.LocalImageFileName = path;
    return code;
}

}  // namespace vt
