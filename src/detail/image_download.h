// The cover picture of a collected book: where it goes on disk, the download itself and
// the words the collected list shows for its outcome. The publishing step downloads one
// picture at a time process-wide (ImageLock) and uploads only a picture saved whole.
#pragma once

#include <string>

#include "base/http_client.h"

namespace vt {

class AppContext;
struct O_BookInfo;

// Outcome codes of a picture download.
enum ImageDownloadCode : int {
    kImageSaved = 0,           // "图片成功下载"
    kImageBadUrl = -1,         // "图片地址解析失败,Url不正确"
    kImageNoConnection = -2,   // "网络连接失败" (also a transfer that broke off)
    kImageRequestFailed = -3,  // "发起GET请求失败"
    kImageRefused = -4,        // "服务器不接受请求": a status other than 200
    kImageNoUrl = -5,          // "图片地址为空"
    kImageNoPath = -6,         // "保存地址为空"
    kImageFileError = -7,      // "读写文件异常"
};

// Where a book's picture goes. `refusal` non-empty: no picture can be named for the book
// ("图片不存在或图片不正确", "图片地址不正确"); nothing is downloaded then.
struct ImageTarget {
    std::string path;
    std::string refusal;
    // False when the name (an ISBN, taken as it stands) is no plain file name: it holds a
    // path separator, is "." or "..", or holds control characters. Writing it could land
    // outside the job folder, so the download fails with kImageFileError instead.
    bool nameUsable = true;
};

// images/<day folder>/<job folder>/<name>.JPG below the program's folder. The job folder
// is the job's category text with every "/" removed (the job's value is changed too);
// the name is the ISBN when "采用ISBN作为图片文件名" is ticked, else the picture's own name
// from its address. Creates the two folders; a missing "images" folder makes them fail,
// and the download then fails with kImageFileError.
ImageTarget ImageFilePath(AppContext& ctx, const O_BookInfo& book);

// Downloads one picture (plain GET, no cookie, no referrer, redirects followed) and saves
// it whole: the file is written only after the whole body came with status 200, so a
// refused or broken download leaves no file behind. A broken transfer or a 5xx is tried
// again as the options allow.
int DownloadImage(const std::string& url, const std::string& path, const HttpOptions& options = {});

// The message of a code for the "图片下载状况" column; empty for an unknown code.
std::string DownloadMessage(int code);

// The download step of one book: under ImageLock, DownloadImage of the book's address
// (trimmed) into the target; the book's LocalImageFileName becomes the path.
int DownloadBookImage(AppContext& ctx, O_BookInfo& book, const ImageTarget& target);

}  // namespace vt
