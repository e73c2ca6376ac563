#include "market/image_upload.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/http_client.h"
#include "base/text.h"
#include "core/context.h"
#include "market/publish_form.h"
#include "sim/form_parsing.h"
#include "sim/market_sim.h"
#include "sim/pictures.h"
#include "support/stand_in_hosts.h"
#include "support/temp_app_dir.h"

using vt::testing::TempAppDir;
using vt::testing::WriteAll;

using vt::testing::PointMarketAt;

namespace vt {
namespace {

class ImageUploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(market_.Start("127.0.0.1", 0));
        PointMarketAt(ctx_.hosts(), market_.origin());
        cookie_ = market_.CookieFor("vantrell_demo");
        // The keys of a fresh publish page, as the publish attempt has them.
        const std::string page = MarketGetWithCookie(
            ctx_.hosts().Url(HostRole::MarketUpload, "/auction/sell.jhtml"), cookie_);
        std::string token, beginTime, itemNumber;
        ASSERT_FALSE(ScrapePublishKeys(page, token, beginTime, itemNumber).empty());
        item_.TbToken = Trim(token);
        item_.ItemNumber = Trim(itemNumber);
        item_.CategoryId = "50000001";
    }

    const sim::HttpRequest& LastRequest() {
        requests_ = market_.server().Requests();
        return requests_.back();
    }

    sim::MarketSim market_;
    TempAppDir dir_;
    AppContext ctx_{dir_.path()};
    std::string cookie_;
    PublishItem item_;
    std::vector<sim::HttpRequest> requests_;
};

TEST_F(ImageUploadTest, SendsTheFileAndTheFormFieldsByteForByte) {
    // A picture with zero bytes inside: the body must carry every byte.
    const std::string picture = sim::JpegBytes("cover") + std::string("\0\0tail", 6);
    WriteAll(dir_.native() + "/images/9787111213826.JPG", picture);
    item_.LocalImageFileName = dir_.path() + "/images/9787111213826.JPG";
    item_.CategoryId = "";

    std::string response;
    ASSERT_EQ(MarketUploadImage(response, item_, cookie_, ctx_.hosts()), kPostDone);
    EXPECT_NE(response.find("{\"result\":true,\"url\":\"" + market_.origin() + "/imgextra/"),
              std::string::npos)
        << response;

    const sim::HttpRequest& req = LastRequest();
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.target, "/auction/publish/uploadSingleImage.do");
    // A boundary of the browser's shape, drawn for this body.
    const std::string b = sim::BoundaryOf(req.Header("Content-Type"));
    ASSERT_EQ(b.size(), 43u) << req.Header("Content-Type");
    ASSERT_EQ(b.find_first_not_of('-'), 27u);
    const std::string expected =
        "--" + b + "\r\nContent-Disposition: form-data; name=\"multimagefile\";" +
        "filename=\"9787111213826.JPG\"\r\nContent-Type: image/pjpeg\r\n\r\n" + picture +
        "\r\n"
        "--" +
        b + "\r\nContent-Disposition: form-data; name=\"primary\"\r\n\r\ntrue\r\n" + "--" + b +
        "\r\nContent-Disposition: form-data; name=\"_tb_token_\"\r\n\r\n" + item_.TbToken + "\r\n" +
        "--" + b + "\r\nContent-Disposition: form-data; name=\"itemId\"\r\n\r\n" +
        item_.ItemNumber + "\r\n" + "--" + b +
        "\r\nContent-Disposition: form-data; name=\"cateid\"\r\n\r\n\r\n" + "--" + b + "--";
    EXPECT_EQ(req.body, expected);
    EXPECT_EQ(req.Header("Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(req.Header("Referer"), market_.origin() + "/auction/publish/publish.htm");
    EXPECT_EQ(req.Header("Content-Type"), "multipart/form-data; boundary=" + b);
    EXPECT_EQ(req.Header("Cookie"), cookie_);
    EXPECT_FALSE(req.HasHeader("X-Requested-With"));
}

TEST_F(ImageUploadTest, FileNameIsWhatFollowsTheLastFolderSeparator) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"C:\\Vantrell\\images\\day\\job\\cover.jpg", "cover.jpg"},
        {"/opt/vantrell/images/day/job/cover.jpg", "cover.jpg"},
        {"cover.jpg", "cover.jpg"},
        {"images/", ""},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(UploadFileName(path), name) << path;
}

TEST_F(ImageUploadTest, PartFileNameNeverCarriesAHostileIsbnOrAQuote) {
    struct Case {
        const char* what;
        std::string isbn, path, name;
    };
    const std::vector<Case> cases = {
        {"named after its ISBN", "9787111213826", "/p/9787111213826.JPG", "9787111213826.JPG"},
        {"ISBN-10 ending in X", "753560013X", "/p/753560013X.JPG", "753560013X.JPG"},
        {"named after the page's picture", "9787111213826", "/p/23456-1_w_2.JPG",
         "23456-1_w_2.JPG"},
        {"a quote renames the part", "97871\"; name=\"primary", "/p/97871\"; name=\"primary.JPG",
         "image.JPG"},
        {"a text that is no ISBN", "97871;x", "/p/97871;x.JPG", "image.JPG"},
        {"a line break", "", "/p/a\r\nContent-Type: image.JPG", "image.JPG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PublishItem item;
        item.ISBN = c.isbn;
        item.LocalImageFileName = c.path;
        EXPECT_EQ(UploadPartFileName(item), c.name);
    }

    // Sent: the part keeps its one name and the fields stay the four.
    WriteAll(dir_.native() + "/images/q.JPG", sim::JpegBytes("q"));
    item_.ISBN = "97871\"x";
    item_.LocalImageFileName = dir_.path() + "/images/q.JPG";
    std::string response;
    ASSERT_EQ(MarketUploadImage(response, item_, cookie_, ctx_.hosts()), kPostDone);
    const sim::HttpRequest& req = LastRequest();
    std::vector<sim::MultipartPart> parts;
    ASSERT_TRUE(sim::ParseMultipart(req.body, sim::BoundaryOf(req.Header("Content-Type")), parts));
    ASSERT_EQ(parts.size(), 5u);
    EXPECT_EQ(parts[0].name, "multimagefile");
    EXPECT_EQ(parts[0].fileName, "q.JPG");
}

TEST_F(ImageUploadTest, AFieldThatCouldCutTheBodyIsNotSent) {
    WriteAll(dir_.native() + "/images/a.JPG", sim::JpegBytes("a"));
    item_.LocalImageFileName = dir_.path() + "/images/a.JPG";
    item_.TbToken = std::string("tok\0en", 6);
    const std::size_t before = market_.server().Requests().size();
    std::string response;
    EXPECT_EQ(MarketUploadImage(response, item_, cookie_, ctx_.hosts()), kPostCannotOpen);
    EXPECT_FALSE(response.empty());
    EXPECT_EQ(market_.server().Requests().size(), before);
}

TEST_F(ImageUploadTest, UnreadablePictureGoesOutAsAnEmptyFilePart) {
    item_.LocalImageFileName = dir_.path() + "/images/missing.JPG";
    std::string response;
    ASSERT_EQ(MarketUploadImage(response, item_, cookie_, ctx_.hosts()), kPostDone);
    // The marketplace's answer decides: a refusal without any picture address.
    EXPECT_NE(response.find("\"result\":false"), std::string::npos) << response;
    const std::string body = LastRequest().body;
    EXPECT_NE(body.find("filename=\"missing.JPG\"\r\nContent-Type: image/pjpeg\r\n\r\n\r\n--"),
              std::string::npos)
        << body;
}

TEST_F(ImageUploadTest, TransportFailureLeavesTheErrorNumberAsResponse) {
    WriteAll(dir_.native() + "/images/a.JPG", sim::JpegBytes("a"));
    item_.LocalImageFileName = dir_.path() + "/images/a.JPG";
    market_.Stop();
    std::string response;
    EXPECT_NE(MarketUploadImage(response, item_, cookie_, ctx_.hosts()), kPostDone);
    EXPECT_EQ(response.rfind("dwError = ", 0), 0u) << response;
}

}  // namespace
}  // namespace vt
