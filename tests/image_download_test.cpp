#include "detail/image_download.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "core/context.h"
#include "sim/bookstore_sim.h"
#include "sim/pictures.h"
#include "support/drip_server.h"
#include "support/stand_in_hosts.h"
#include "support/temp_app_dir.h"

namespace fs = std::filesystem;
using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::U8;

namespace vt {
namespace {

class ImageDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(store_.Start("127.0.0.1", 0));
        book_ = store_.catalog().FirstPlain();
        ASSERT_NE(book_, nullptr);
        // The stand-in serves the pictures from the product host, as the bookstore does.
        vt::testing::PointBookstoreAt(ctx_.hosts(), store_.origin());
        policy_ = PicturePolicyFor(ctx_);
    }

    // The picture folder of today's job folder, as the file system names it.
    std::string JobFolder(const std::string& job) const {
        return dir_.native() + "/images/" + U8(DayFolderName()) + "/" + U8(job);
    }

    std::string Native(const std::string& gbkPath) const { return U8(gbkPath); }

    sim::BookstoreSim store_{sim::CatalogOptions{7, 200, 60}};
    TempAppDir dir_;
    AppContext ctx_{dir_.path()};
    const sim::Book* book_ = nullptr;
    PicturePolicy policy_;
};

TEST_F(ImageDownloadTest, NamesThePictureFromItsAddressOrItsIsbn) {
    struct Case {
        bool isbnName;
        std::string isbn;
        std::string url;
        std::string name;     // expected file name without ".JPG"
        std::string refusal;  // expected refusal instead
    };
    const std::vector<Case> cases = {
        {false, "", "http://img.example/a/1234567-1_w_2.jpg", "1234567-1_w_2", ""},
        {false, "", "http://img.example/a/1234567-1_w.jpg", "1234567-1_w", ""},
        {false, "", "http://img.example/a/1234567-1_w_2.png", "", "图片不存在或图片不正确"},
        // The ".jpg" test is exact, although the name patterns ignore case.
        {false, "", "http://img.example/a/1234567-1_w_2.JPG", "", "图片不存在或图片不正确"},
        {false, "", "", "", "图片不存在或图片不正确"},
        {false, "", "http://img.example/a/cover.jpg", "", "图片地址不正确"},
        {true, "9787111213826", "", "9787111213826", ""},
        {true, "9787111213826", "http://img.example/a/1234567-1_w_2.jpg", "9787111213826", ""},
    };
    ctx_.job().SetCurrentFenlei("小说");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url + " / " + c.isbn);
        ctx_.config().SetCHKIsbnForPicName(c.isbnName);
        O_BookInfo book;
        book.ISBN = c.isbn;
        book.RemoteImageUrl = c.url;
        ImageTarget target = ImageFilePath(ctx_, book);
        EXPECT_EQ(U8(target.refusal), U8(c.refusal));
        if (c.refusal.empty()) {
            EXPECT_EQ(U8(target.path),
                      U8(dir_.path() + "/images/" + DayFolderName() + "/小说/" + c.name + ".JPG"));
        } else {
            EXPECT_EQ(target.path, "");
        }
    }
    EXPECT_TRUE(fs::is_directory(JobFolder("小说")));
}

TEST_F(ImageDownloadTest, JobFolderLosesItsSlashesForGood) {
    ctx_.job().SetCurrentFenlei("文学/小说/");
    O_BookInfo book;
    book.RemoteImageUrl = "http://img.example/1234567-1_w_2.jpg";
    ImageTarget target = ImageFilePath(ctx_, book);
    EXPECT_EQ(U8(ctx_.job().CurrentFenlei()), U8("文学小说"));
    EXPECT_TRUE(fs::is_directory(JobFolder("文学小说")));
    EXPECT_EQ(U8(target.path), JobFolder("文学小说") + "/1234567-1_w_2.JPG");
}

// A name or job folder that a page or the seller made unsafe is replaced, never
// refused and never able to leave the day folder.
TEST_F(ImageDownloadTest, UnsafeNamesAndFoldersAreReplacedAndStayInTheDayFolder) {
    ctx_.config().SetCHKIsbnForPicName(true);
    struct Case {
        std::string job;
        std::string isbn;
        std::string folder;  // expected below the day folder ("" : the day folder itself)
        std::string name;
    };
    const std::vector<Case> cases = {
        {"..", "9787111213826", "_", "9787111213826"},
        {".", "9787111213826", "_", "9787111213826"},
        {"a\\..\\b", "9787111213826", "a_.._b", "9787111213826"},
        {"job", "../../escaped", "job", ".._.._escaped"},
        {"job", "a/b", "job", "a_b"},
        {"job", "..", "job", "_"},
        {"job", "97871\r\n", "job", "97871"},
        {"job", "x\\y:z", "job", "x_y_z"},
        {"job", "", "job", "_"},
        {"../", "9787111213826", "_", "9787111213826"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.job + " / " + c.isbn);
        ctx_.job().SetCurrentFenlei(c.job);
        O_BookInfo book;
        book.ISBN = c.isbn;
        book.RemoteImageUrl = store_.origin() + book_->picture;
        ImageTarget target = ImageFilePath(ctx_, book);
        ASSERT_TRUE(target.refusal.empty());
        const std::string dayFolder = dir_.path() + "/images/" + DayFolderName();
        EXPECT_EQ(U8(target.path), U8(dayFolder + "/" + c.folder + "/" + c.name + ".JPG"));
        EXPECT_EQ(DownloadBookImage(ctx_, book, target), kImageSaved);
        const fs::path saved = fs::weakly_canonical(Native(book.LocalImageFileName));
        EXPECT_EQ(saved.parent_path().parent_path(), fs::weakly_canonical(U8(dayFolder))) << saved;
        EXPECT_TRUE(fs::exists(saved)) << saved;
    }
    // Nothing was written outside the day folder.
    for (const auto& entry : fs::recursive_directory_iterator(dir_.native())) {
        if (entry.path().extension() == ".JPG") {
            EXPECT_NE(entry.path().string().find(U8(DayFolderName())), std::string::npos)
                << entry.path();
        }
    }
}

TEST_F(ImageDownloadTest, APictureIsNamedByTheFirstWellFormedIsbnElseTheProductCode) {
    ctx_.config().SetCHKIsbnForPicName(true);
    ctx_.job().SetCurrentFenlei("job");
    const struct {
        const char* isbn;
        const char* code;
        const char* name;
    } cases[] = {
        {"9787111213826", "1001", "9787111213826"},
        // A set lists the ISBNs of its volumes.
        {"9787111213826\r\n9787111213833", "1002", "9787111213826"},
        {"97871 / 7111213821", "1003", "7111213821"},
        {"978711\"; name=\"primary", "1004", "1004"},
        {"", "1005", "1005"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.isbn);
        O_BookInfo book;
        book.ISBN = c.isbn;
        book.ProductId = c.code;
        book.RemoteImageUrl = store_.origin() + book_->picture;
        const ImageTarget target = ImageFilePath(ctx_, book);
        ASSERT_TRUE(target.refusal.empty());
        EXPECT_EQ(fs::path(Native(target.path)).filename().string(), std::string(c.name) + ".JPG");
    }
}

TEST_F(ImageDownloadTest, TwoBooksWithOneIsbnKeepTwoPictures) {
    ctx_.config().SetCHKIsbnForPicName(true);
    ctx_.job().SetCurrentFenlei("job");
    std::vector<const sim::Book*> books;
    for (const sim::Book& b : store_.catalog().books())
        if (!b.picture.empty() && books.size() < 2)
            books.push_back(&b);
    ASSERT_EQ(books.size(), 2u);
    std::vector<std::string> paths;
    for (const sim::Book* b : books) {
        O_BookInfo book;
        book.ISBN = "9787111213826";
        book.ProductId = b->id;
        book.RemoteImageUrl = store_.origin() + b->picture;
        ImageTarget target = ImageFilePath(ctx_, book);
        ASSERT_EQ(DownloadBookImage(ctx_, book, target), kImageSaved);
        paths.push_back(book.LocalImageFileName);
        EXPECT_EQ(ReadAll(Native(book.LocalImageFileName)), sim::JpegBytes(b->picture));
    }
    // The first keeps the plain name sellers know; the second is told apart by its code.
    EXPECT_EQ(U8(paths[0]), JobFolder("job") + "/9787111213826.JPG");
    EXPECT_EQ(U8(paths[1]), JobFolder("job") + "/9787111213826_" + books[1]->id + ".JPG");
    EXPECT_EQ(ReadAll(Native(paths[0])), sim::JpegBytes(books[0]->picture));
}

TEST_F(ImageDownloadTest, SavesThePictureWholeAndRecordsItsPath) {
    ctx_.job().SetCurrentFenlei("job");
    O_BookInfo book;
    book.RemoteImageUrl = "  " + store_.origin() + book_->picture + "\r\n";
    ImageTarget target = ImageFilePath(ctx_, book);
    ASSERT_TRUE(target.refusal.empty()) << U8(target.refusal);
    EXPECT_EQ(DownloadBookImage(ctx_, book, target), kImageSaved);
    EXPECT_EQ(book.LocalImageFileName, target.path);
    EXPECT_EQ(ReadAll(Native(target.path)), sim::JpegBytes(book_->picture));

    // The same name again overwrites the file.
    vt::testing::WriteAll(Native(target.path), "stale");
    EXPECT_EQ(DownloadImage(store_.origin() + book_->picture, target.path, {}, policy_),
              kImageSaved);
    EXPECT_EQ(ReadAll(Native(target.path)), sim::JpegBytes(book_->picture));
}

TEST_F(ImageDownloadTest, EveryFailureEndsAsItsCodeAndNoFile) {
    sim::HttpServer closed;
    ASSERT_TRUE(closed.Start("127.0.0.1", 0));
    const std::string closedOrigin = closed.origin();
    closed.Stop();

    const std::string target = dir_.path() + "/images/picture.JPG";
    const std::string picture = store_.origin() + book_->picture;
    PicturePolicy policy = policy_;
    policy.allowedLocalEndpoints.push_back(closedOrigin.substr(std::string("http://").size()));
    struct Case {
        std::string url;
        std::string path;
        int code;
    };
    const std::vector<Case> cases = {
        {"", target, kImageNoUrl},
        {picture, "", kImageNoPath},
        {"no address at all", target, kImageBadUrl},
        {"ftp://127.0.0.1/a.jpg", target, kImageBadUrl},
        {"file:///etc/hostname", target, kImageBadUrl},
        {store_.origin() + "/images/none-1_w_1.jpg", target, kImageRefused},
        {closedOrigin + "/images/a.jpg", target, kImageNoConnection},
        {picture, dir_.path() + "/images/missing/picture.JPG", kImageFileError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url + " -> " + c.path);
        EXPECT_EQ(DownloadImage(c.url, c.path, {}, policy), c.code);
        EXPECT_FALSE(fs::exists(Native(target)));
        EXPECT_FALSE(DownloadMessage(c.code).empty());
    }
}

TEST_F(ImageDownloadTest, TransferThatBreaksOffIsANetworkFailureWithItsMessage) {
    const std::string target = dir_.path() + "/images/picture.JPG";
    for (sim::FaultSettings faults :
         {sim::FaultSettings{.dropRate = 1.0}, sim::FaultSettings{.truncateRate = 1.0}}) {
        store_.server().SetFaults(faults);
        int code = DownloadImage(store_.origin() + book_->picture, target, {}, policy_);
        EXPECT_EQ(code, kImageNoConnection);
        EXPECT_EQ(U8(DownloadMessage(code)), U8("网络连接失败"));
        EXPECT_FALSE(fs::exists(Native(target)));
    }
}

TEST_F(ImageDownloadTest, MissingImagesFolderFailsTheDownloadAsAFileError) {
    fs::remove_all(dir_.native() + "/images");
    ctx_.job().SetCurrentFenlei("job");
    O_BookInfo book;
    book.RemoteImageUrl = store_.origin() + book_->picture;
    ImageTarget target = ImageFilePath(ctx_, book);
    ASSERT_TRUE(target.refusal.empty());
    EXPECT_EQ(DownloadBookImage(ctx_, book, target), kImageFileError);
}

// What a server serves in a picture's place is refused with its reason and leaves no file.
TEST_F(ImageDownloadTest, OversizedOrNonImagePicturesAreRefused) {
    const std::string target = dir_.path() + "/images/picture.JPG";
    const std::string jpegStart = sim::JpegBytes("big").substr(0, 16);
    sim::HttpServer site;
    site.SetHandler([&](const sim::HttpRequest& req) {
        sim::HttpResponse res;
        res.contentType = "image/jpeg";
        if (req.path == "/big.jpg")
            res.body = jpegStart + std::string(80 * 1024, 'x');
        else if (req.path == "/page.jpg")
            res.body = "<html><body>not found</body></html>";
        else
            res.body = sim::PngBytes("small");
        return res;
    });
    ASSERT_TRUE(site.Start("127.0.0.1", 0));
    PicturePolicy policy;
    policy.maxBytes = 64 * 1024;
    policy.allowedLocalEndpoints = {"127.0.0.1:" + std::to_string(site.port())};
    // The same oversized body without a length: the limit holds while it streams in.
    vt::testing::DripServer unannounced("HTTP/1.1 200 OK\r\nConnection: close",
                                        jpegStart + std::string(80 * 1024, 'x'), false);
    PicturePolicy unannouncedPolicy = policy;
    unannouncedPolicy.allowedLocalEndpoints.push_back(
        unannounced.Url("").substr(std::string("http://").size()));
    const struct {
        std::string url;
        const PicturePolicy& policy;
        int code;
    } cases[] = {
        {site.origin() + "/big.jpg", policy, kImageTooLarge},
        {unannounced.Url("/big.jpg"), unannouncedPolicy, kImageTooLarge},
        {site.origin() + "/page.jpg", policy, kImageNotPicture},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(DownloadImage(c.url, target, {}, c.policy), c.code);
        EXPECT_FALSE(fs::exists(Native(target)));
    }
    // A PNG under the limit is a picture.
    EXPECT_EQ(DownloadImage(site.origin() + "/small.png", target, {}, policy), kImageSaved);
    EXPECT_EQ(ReadAll(Native(target)), sim::PngBytes("small"));
}

TEST(PictureMagic, KnowsTheImageKindsAndNothingElse) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {sim::JpegBytes("a"), true},
        {sim::PngBytes("a"), true},
        {sim::GifBytes(), true},
        {std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), true},
        {"BM" + std::string(40, '\0'), true},
        {"", false},
        {"<html>", false},
        {"RIFF\x10\0\0\0WAVEfmt ", false},
        {"\xFF\xD8", false},
        {"GIF90a", false},
    };
    for (const auto& [bytes, picture] : cases)
        EXPECT_EQ(LooksLikePicture(bytes), picture) << bytes.substr(0, 8);
}

// A picture that drips a byte a second would hold the job for minutes; the job's stop
// ends it within a second or two, and the book says why.
TEST_F(ImageDownloadTest, AStopEndsAStalledPictureWithItsReason) {
    vt::testing::DripServer drip("HTTP/1.1 200 OK\r\nContent-Length: 100000",
                                 sim::JpegBytes("slow").substr(0, 8), true);
    PicturePolicy policy;
    policy.allowedLocalEndpoints = {drip.Url("").substr(std::string("http://").size())};
    const std::string target = dir_.path() + "/images/picture.JPG";
    std::atomic<bool> stopped{false};
    HttpOptions options;
    options.retries = 3;
    options.cancelled = [&] { return stopped.load(); };
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        stopped = true;
    });
    const int code = DownloadImage(drip.Url("/slow.jpg"), target, options, policy);
    stopper.join();
    EXPECT_EQ(code, kImageStopped);
    EXPECT_EQ(U8(DownloadMessage(code)), U8("图片下载已停止"));
    EXPECT_EQ(drip.connections(), 1);  // a stop is not retried
    EXPECT_FALSE(fs::exists(Native(target)));
}

// A page can name any address as its picture: only public hosts are fetched, checked on
// the address a name resolves to and on every redirect, before any connection is made.
TEST_F(ImageDownloadTest, InternalAddressesAreNeverRequested) {
    sim::HttpServer internal;  // an internal service on this machine
    internal.SetHandler([](const sim::HttpRequest&) {
        sim::HttpResponse res;
        res.contentType = "image/jpeg";
        res.body = sim::JpegBytes("secret");
        return res;
    });
    ASSERT_TRUE(internal.Start("127.0.0.1", 0));
    const std::string port = std::to_string(internal.port());
    // The configured picture host redirects to it.
    sim::HttpServer pictures;
    pictures.SetHandler([&](const sim::HttpRequest& req) {
        sim::HttpResponse res;
        res.status = 302;
        res.headers = {{"Location", req.query.count("to") ? req.query.at("to") : ""}};
        return res;
    });
    ASSERT_TRUE(pictures.Start("127.0.0.1", 0));
    PicturePolicy policy;
    policy.allowedLocalEndpoints = {"127.0.0.1:" + std::to_string(pictures.port())};

    const std::string target = dir_.path() + "/images/picture.JPG";
    const std::vector<std::string> addresses = {
        "http://127.0.0.1:" + port + "/a.jpg",
        "http://localhost:" + port + "/a.jpg",
        "http://[::1]:" + port + "/a.jpg",
        "http://[::ffff:127.0.0.1]:" + port + "/a.jpg",
        "http://0.0.0.0:" + port + "/a.jpg",
        "http://10.1.2.3/a.jpg",
        "http://172.16.0.9/a.jpg",
        "http://192.168.1.1/a.jpg",
        "http://169.254.169.254/latest/meta-data",
        "https://[fe80::1]/a.jpg",
        "http://[fc00::1]/a.jpg",
        pictures.origin() + "/r?to=http://127.0.0.1:" + port + "/a.jpg",
        pictures.origin() + "/r?to=http://10.1.2.3/a.jpg",
    };
    for (const std::string& url : addresses) {
        SCOPED_TRACE(url);
        const int code = DownloadImage(url, target, {}, policy);
        EXPECT_EQ(code, kImageInternalAddress);
        EXPECT_EQ(U8(DownloadMessage(code)), U8("图片地址指向本机或内部网络，已拒绝"));
        EXPECT_FALSE(fs::exists(Native(target)));
    }
    EXPECT_EQ(internal.RequestCount(), 0u);
    // The stand-in picture host itself is reached, as a seller's job needs.
    EXPECT_EQ(DownloadImage(store_.origin() + book_->picture, target, {}, policy_), kImageSaved);
}

TEST(DownloadMessage, SaysWhatEachCodeMeans) {
    const std::vector<std::pair<int, std::string>> table = {
        {0, "图片成功下载"},
        {-1, "图片地址解析失败,Url不正确"},
        {-2, "网络连接失败"},
        {-3, "发起GET请求失败"},
        {-4, "服务器不接受请求"},
        {-5, "图片地址为空"},
        {-6, "保存地址为空"},
        {-7, "读写文件异常"},
        {-8, "图片过大，已拒绝"},
        {-9, "下载内容不是图片"},
        {-10, "图片地址指向本机或内部网络，已拒绝"},
        {-11, "图片下载已停止"},
        {-12, ""},
        {1, ""},
    };
    for (const auto& [code, message] : table)
        EXPECT_EQ(U8(DownloadMessage(code)), U8(message)) << code;
}

}  // namespace
}  // namespace vt
