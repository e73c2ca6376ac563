// The cover picture of a collected book: where it goes on disk, the download itself and
// the words the collected list shows for its outcome. The publishing step downloads one
// picture at a time process-wide (ImageLock) and uploads only a picture saved whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/http_client.h"

namespace vt {

class AppContext;
struct O_BookInfo;

// Outcome codes of a picture download.
enum ImageDownloadCode : int {
    kImageSaved = 0,              // "图片成功下载"
    kImageBadUrl = -1,            // "图片地址解析失败,Url不正确"
    kImageNoConnection = -2,      // "网络连接失败" (also a transfer that broke off)
    kImageRequestFailed = -3,     // "发起GET请求失败"
    kImageRefused = -4,           // "服务器不接受请求": a status other than 200
    kImageNoUrl = -5,             // "图片地址为空"
    kImageNoPath = -6,            // "保存地址为空"
    kImageFileError = -7,         // "读写文件异常"
    kImageTooLarge = -8,          // "图片过大，已拒绝": over the picture size limit
    kImageNotPicture = -9,        // "下载内容不是图片": no JPEG, PNG, GIF, WebP or BMP
    kImageInternalAddress = -10,  // "图片地址指向本机或内部网络，已拒绝"
    kImageStopped = -11,          // "图片下载已停止": the job was stopped meanwhile
};

// Where a book's picture goes. `refusal` non-empty: no picture can be named for the book
// ("图片不存在或图片不正确", "图片地址不正确"); nothing is downloaded then.
struct ImageTarget {
    std::string path;
    std::string refusal;
    // The book's product code, cleaned for a file name: what tells two books' pictures
    // apart when they would share one name.
    std::string distinction;
};

// images/<day folder>/<job folder>/<name>.JPG below the program's folder. The job folder
// is the job's category text with every "/" removed (the job's value is changed too);
// the name is the ISBN when "采用ISBN作为图片文件名" is ticked, else the picture's own name
// from its address. Both are made safe: a "\", a control character or a character
// that file names cannot hold becomes "_", and "." or ".." (or a name left empty)
// becomes "_", so the path always stays inside images/<day folder>/. Creates the two
// folders; a missing "images" folder makes them fail, and the download then fails with
// kImageFileError.
ImageTarget ImageFilePath(AppContext& ctx, const O_BookInfo& book);

// What a picture download may reach and take. Picture addresses come from web pages, so
// only public addresses are fetched, apart from the listed local endpoints.
struct PicturePolicy {
    std::size_t maxBytes = kDefaultMaxPictureBytes;
    std::vector<std::string> allowedLocalEndpoints;  // "ip:port", "[ip6]:port"
};
// The settings' picture limit, and the bookstore's product host as the one local
// endpoint allowed when that host is itself a loopback or private address literal
// (the stand-ins on this machine).
PicturePolicy PicturePolicyFor(AppContext& ctx);

// Downloads one picture (plain GET, no cookie, no referrer, redirects followed, every
// connection checked against the policy) and saves it whole: the file is written only
// after the whole body came with status 200 and reads as an image, so a refused or
// broken download leaves no file behind. A broken transfer or a 5xx is tried again as
// the options allow.
int DownloadImage(const std::string& url, const std::string& path, const HttpOptions& options = {},
                  const PicturePolicy& policy = {});

// Whether the bytes begin as a JPEG, PNG, GIF, WebP or BMP file does.
bool LooksLikePicture(std::string_view bytes);

// The message of a code for the "图片下载状况" column; empty for an unknown code.
std::string DownloadMessage(int code);

// The download step of one book: under ImageLock, DownloadImage of the book's address
// (trimmed) into the target; the book's LocalImageFileName becomes the path. When the
// target already holds a picture (another book with the same ISBN, or an earlier job of
// the day), the book's picture goes to <name>_<product code>.JPG instead, so no book
// overwrites another's picture.
int DownloadBookImage(AppContext& ctx, O_BookInfo& book, const ImageTarget& target);

}  // namespace vt
