#include "detail/image_download.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/files.h"
#include "core/context.h"
#include "sim/bookstore_sim.h"
#include "sim/pictures.h"
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
            EXPECT_TRUE(target.nameUsable);
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

TEST_F(ImageDownloadTest, IsbnThatIsNoPlainFileNameFailsAsAFileErrorWithoutAnyRequest) {
    ctx_.config().SetCHKIsbnForPicName(true);
    ctx_.job().SetCurrentFenlei("job");
    for (const std::string isbn : {"../../escaped", "a/b", "..", "97871\r\n", "x\\y"}) {
        SCOPED_TRACE(isbn);
        store_.server().ClearRequests();
        O_BookInfo book;
        book.ISBN = isbn;
        book.RemoteImageUrl = store_.origin() + book_->picture;
        ImageTarget target = ImageFilePath(ctx_, book);
        EXPECT_TRUE(target.refusal.empty());
        EXPECT_FALSE(target.nameUsable);
        int code = DownloadBookImage(ctx_, book, target);
        EXPECT_EQ(code, kImageFileError);
        EXPECT_EQ(U8(DownloadMessage(code)), U8("读写文件异常"));
        EXPECT_EQ(store_.server().RequestCount(), 0u);
    }
    // No picture was written anywhere in the program's tree.
    for (const auto& entry : fs::recursive_directory_iterator(dir_.native()))
        EXPECT_NE(entry.path().extension(), ".JPG") << entry.path();
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
    EXPECT_EQ(DownloadImage(store_.origin() + book_->picture, target.path), kImageSaved);
    EXPECT_EQ(ReadAll(Native(target.path)), sim::JpegBytes(book_->picture));
}

TEST_F(ImageDownloadTest, EveryFailureEndsAsItsCodeAndNoFile) {
    sim::HttpServer closed;
    ASSERT_TRUE(closed.Start("127.0.0.1", 0));
    const std::string closedOrigin = closed.origin();
    closed.Stop();

    const std::string target = dir_.path() + "/images/picture.JPG";
    const std::string picture = store_.origin() + book_->picture;
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
        EXPECT_EQ(DownloadImage(c.url, c.path), c.code);
        EXPECT_FALSE(fs::exists(Native(target)));
        EXPECT_FALSE(DownloadMessage(c.code).empty());
    }
}

TEST_F(ImageDownloadTest, TransferThatBreaksOffIsANetworkFailureWithItsMessage) {
    const std::string target = dir_.path() + "/images/picture.JPG";
    for (sim::FaultSettings faults :
         {sim::FaultSettings{.dropRate = 1.0}, sim::FaultSettings{.truncateRate = 1.0}}) {
        store_.server().SetFaults(faults);
        int code = DownloadImage(store_.origin() + book_->picture, target);
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
        {-8, ""},
        {1, ""},
    };
    for (const auto& [code, message] : table)
        EXPECT_EQ(U8(DownloadMessage(code)), U8(message)) << code;
}

}  // namespace
}  // namespace vt
