#include "detail/image_download.h"

#include <curl/curl.h>

#include <mutex>

#include "base/bounded_lock.h"
#include "base/files.h"
#include "base/http_client.h"
#include "base/regex_ops.h"
#include "base/text.h"
#include "core/context.h"

namespace vt {
namespace {

constexpr long kConnectTimeoutSeconds = 15;
// A picture is a few tens of kilobytes; a transfer that stalls this long is broken.
constexpr long kStallSeconds = 60;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsPlainFileName(const std::string& name) {
    if (name == "." || name == "..")
        return false;
    for (unsigned char c : name)
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F)
            return false;
    return true;
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

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

int CodeForTransportError(CURLcode rc) {
    switch (rc) {
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

}  // namespace

ImageTarget ImageFilePath(AppContext& ctx, const O_BookInfo& book) {
    ImageTarget target;
    const std::string jobFolder = RemoveSlashes(ctx.job().CurrentFenlei());
    ctx.job().SetCurrentFenlei(jobFolder);

    std::string name;
    if (ctx.config().CHKIsbnForPicName()) {
        name = book.ISBN;
        target.nameUsable = IsPlainFileName(name);
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
    }

    const std::string dayFolder = ctx.ImagesDir() + "/" + DayFolderName();
    const std::string folder = dayFolder + "/" + jobFolder + "/";
    EnsureDirectory(dayFolder);
    EnsureDirectory(folder);
    target.path = folder + name + ".JPG";
    return target;
}

int DownloadImage(const std::string& url, const std::string& path, const HttpOptions& options) {
    if (url.empty())
        return kImageNoUrl;
    if (path.empty())
        return kImageNoPath;
    InitCurlOnce();
    if (!IsHttpUrl(url))
        return kImageBadUrl;

    bool noHandle = false;
    const PageResult read = ReadWithRetries(options, [&](PageResult& result) {
        CURL* curl = curl_easy_init();
        if (!curl) {
            noHandle = true;
            return;
        }
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_USERAGENT, kAppAgent);
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
        // A picture address comes from a web page: never let it reach a local file or
        // another protocol, not even through a redirect.
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.text);

        const CURLcode rc = curl_easy_perform(curl);
        long status = 0;
        if (rc == CURLE_OK)
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_cleanup(curl);
        NoteExchangeOutcome(static_cast<int>(rc), status, result);
    });
    if (noHandle)
        return kImageNoConnection;
    if (read.transportError != CURLE_OK)
        return CodeForTransportError(static_cast<CURLcode>(read.transportError));
    if (read.status != 200)
        return kImageRefused;
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
    int code = target.nameUsable ? DownloadImage(Trim(book.RemoteImageUrl), target.path,
                                                 ctx.ReadOptions(Site::Store))
                                 : kImageFileError;
    book.LocalImageFileName = target.path;
    return code;
}

}  // namespace vt
