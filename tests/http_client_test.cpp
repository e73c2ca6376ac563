#include "base/http_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "base/hosts.h"
#include "sim/http_server.h"
#include "support/drip_server.h"
#include "support/temp_app_dir.h"

using namespace vt;

extern char** environ;

namespace {

const char kCookie[] = "cookie2=1a2b; tracknick=book_seller; _tb_token_=e3f";

// A stand-in that answers "answer:" + method + " " + target unless a page is set up.
class Peer {
public:
    Peer() {
        server_.SetHandler([this](const sim::HttpRequest& req) {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = pages_.find(req.path);
            if (it != pages_.end())
                return it->second;
            sim::HttpResponse res;
            res.body = "answer:" + req.method + " " + req.target;
            return res;
        });
        started_ = server_.Start("127.0.0.1", 0);
    }
    bool started() const { return started_; }
    void Page(const std::string& path, const std::string& body, int status = 200,
              sim::HeaderList headers = {}) {
        std::lock_guard<std::mutex> lock(mutex_);
        sim::HttpResponse res;
        res.status = status;
        res.body = body;
        res.headers = std::move(headers);
        pages_[path] = res;
    }
    std::string Url(const std::string& pathAndQuery) const {
        return server_.origin() + pathAndQuery;
    }
    std::string HostLine() const { return "Host: 127.0.0.1:" + std::to_string(server_.port()); }
    sim::HttpServer& server() { return server_; }
    std::vector<sim::HttpRequest> Requests() const { return server_.Requests(); }

private:
    std::mutex mutex_;
    std::map<std::string, sim::HttpResponse> pages_;
    bool started_ = false;
    sim::HttpServer server_;  // last: stopped before the pages its threads read go away
};

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.started());
        for (HostRole role : {HostRole::MarketUpload, HostRole::MarketSell, HostRole::MarketMain})
            ASSERT_TRUE(hosts_.Set(role, peer_.Url("")));
        // Named in a Referer only; never contacted.
        ASSERT_TRUE(hosts_.Set(HostRole::MarketTrade, "http://127.0.0.1:1"));
    }

    Peer peer_;
    Hosts hosts_;
};

}  // namespace

TEST_F(HttpClientTest, MarketPostsSendTheirFixedShape) {
    const std::vector<std::string> browserLines{
        "User-Agent: Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0",
        "Accept:\ttext/html, application/xhtml+xml, */*",
        "Accept-Language:\tzh-CN",
        "Accept-Charset: GBK",
        "Keep-Alive: 115",
        "DNT: 1",
        "Connection:Keep-Alive",
    };
    const std::string form = "Content-Type:\tapplication/x-www-form-urlencoded";
    const std::string multipart =
        "Content-Type:\tmultipart/form-data; boundary=---------------------------7e0e2e250716";
    const std::string publishBody =
        "-----------------------------7e0e2e250716\r\n"
        "Content-Disposition: form-data; name=\"title\"\r\n\r\n"
        "算法导论\r\n"
        "-----------------------------7e0e2e250716--";

    struct Case {
        std::string name;
        std::function<int(std::string&)> call;
        std::string target;
        std::vector<std::string> lines;  // between the browser set and Cookie
        std::string body;
    };
    const std::vector<Case> cases = {
        {"keyword",
         [&](std::string& r) {
             return MarketPostKeyword(peer_.Url("/auction/json/get_category.htm"), "978-7-111 中&x",
                                      r, "  tok123 \r\n", kCookie, hosts_);
         },
         "/auction/json/get_category.htm",
         {"Referer:\t" + peer_.Url("/auction/sell.jhtml?spm=a313o.7775905.a1zvx.d48.5Bhm2H"
                                   "&mytmenu=wym&utkn=tok123"),
          form, "X-Requested-With: XMLHttpRequest"},
         // The keyword percent-encoded (GBK), so that "&" cannot start a field.
         "0=0&keyword=978-7-111%20%D6%D0%26x"},
        {"publish",
         [&](std::string& r) {
             // Only the text before a zero byte is the form.
             return MarketPostPublish(publishBody + std::string(1, '\0') + "tail",
                                      "---------------------------7e0e2e250716", r, kCookie,
                                      hosts_);
         },
         "/auction/publish/publish.htm",
         {"Referer:\t" + peer_.Url("/auction/publish/publish.htm"), multipart},
         publishBody},
        {"goods query",
         [&](std::string& r) {
             return MarketPostGoodsQuery("_tb_token_=e3f&outerId=9787111213826", r, kCookie,
                                         hosts_);
         },
         "/auction/merchandise/auction_list.htm?type=11",
         {"Referer:\thttp://127.0.0.1:1/trade/itemlist/list_sold_items.htm"
          "?spm=a1z09.1.a1zvx.d28.LTAJ5R&mytmenu=ymbb",
          form, "X-Requested-With: XMLHttpRequest"},
         "_tb_token_=e3f&outerId=9787111213826"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        peer_.server().ClearRequests();
        std::string response = "stale";
        EXPECT_EQ(c.call(response), kPostDone);
        EXPECT_EQ(response, "answer:POST " + c.target);

        auto requests = peer_.Requests();
        ASSERT_EQ(requests.size(), 1u);
        const sim::HttpRequest& req = requests[0];
        EXPECT_EQ(req.method, "POST");
        EXPECT_EQ(req.target, c.target);
        EXPECT_EQ(req.body, c.body);
        std::vector<std::string> expected{peer_.HostLine()};
        expected.insert(expected.end(), browserLines.begin(), browserLines.end());
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        expected.push_back(std::string("Cookie: ") + kCookie);
        expected.push_back("Content-Length: " + std::to_string(c.body.size()));
        EXPECT_EQ(req.headerLines, expected);
    }
}

TEST_F(HttpClientTest, PostHeaderLineIsAddedOnlyWhenItsNameIsNew) {
    MarketPostRequest request{
        peer_.Url("/auction/publish/uploadSingleImage.do"),
        "http://127.0.0.1/first",
        "image/x-test",
        {"referer: second", "X-Requested-With: a", "x-requested-with: b", "Host: elsewhere",
         "Content-Length: 1", "a line without a colon", "Cookie: from-extra-line"},
        std::string_view("ab\0c", 4),  // bytes, zero included
        "seller=1",
    };
    std::string response;
    EXPECT_EQ(MarketPost(request, response, HttpOptions::ForUpload()), kPostDone);
    auto requests = peer_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, std::string("ab\0c", 4));
    // The first Referer and X-Requested-With win, Host and Content-Length stay libcurl's,
    // the line without a colon is no header, and the seller's cookie yields to the
    // Cookie line already carried.
    const std::vector<std::string> expected{
        peer_.HostLine(),
        "User-Agent: Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0",
        "Accept:\ttext/html, application/xhtml+xml, */*",
        "Accept-Language:\tzh-CN",
        "Accept-Charset: GBK",
        "Keep-Alive: 115",
        "DNT: 1",
        "Connection:Keep-Alive",
        "Referer:\thttp://127.0.0.1/first",
        "Content-Type:\timage/x-test",
        "X-Requested-With: a",
        "Cookie: from-extra-line",
        "Content-Length: 4",
    };
    EXPECT_EQ(requests[0].headerLines, expected);
}

TEST_F(HttpClientTest, NoValueCanAddAHeaderLine) {
    const std::string evilCookie = "a=1\r\nX-Evil: cookie";
    std::string response;
    EXPECT_EQ(MarketPostKeyword(peer_.Url("/auction/json/get_category.htm"), "9787111213826",
                                response, "tok\r\nX-Evil: token", evilCookie, hosts_),
              kPostDone);
    MarketGetWithCookie(peer_.Url("/auction/sell.jhtml"), evilCookie);
    auto requests = peer_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& req : requests) {
        EXPECT_FALSE(req.HasHeader("X-Evil")) << req.method;
        EXPECT_EQ(req.Header("Cookie"), "a=1X-Evil: cookie") << req.method;
    }
    EXPECT_EQ(requests[0].Header("Referer"),
              hosts_.Url(HostRole::MarketUpload,
                         "/auction/sell.jhtml?spm=a313o.7775905.a1zvx.d48.5Bhm2H&mytmenu=wym&"
                         "utkn=tokX-Evil: token"));
}

TEST_F(HttpClientTest, GetsSendOnlyAgentAndCookie) {
    struct Case {
        std::string name;
        std::function<std::string(const std::string&)> get;
        std::vector<std::string> lines;  // after Host
    };
    const std::string market = "User-Agent: OrnikVantrell";
    const std::string cookie = std::string("Cookie: ") + kCookie;
    const std::vector<Case> cases = {
        {"page",
         [](const std::string& u) { return HttpHelper::GetPage(u); },
         {"User-Agent: serverassistant"}},
        {"market", [](const std::string& u) { return MarketGet(u, kCookie); }, {market, cookie}},
        {"with cookie",
         [](const std::string& u) { return MarketGetWithCookie(u, kCookie); },
         {market, cookie}},
        {"utf-8", [](const std::string& u) { return MarketGetUtf8(u, kCookie); }, {market, cookie}},
        {"no cookie", [](const std::string& u) { return MarketGet(u, ""); }, {market}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        peer_.server().ClearRequests();
        std::string text = c.get(peer_.Url("/auction/sell.jhtml?x=1"));
        EXPECT_NE(text.find("answer:GET /auction/sell.jhtml?x=1"), std::string::npos);
        auto requests = peer_.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "GET");
        std::vector<std::string> expected{peer_.HostLine()};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(requests[0].headerLines, expected);
    }
}

TEST_F(HttpClientTest, MarketTextEndsEveryLineWithCrLfAndPageTextIsUntouched) {
    struct Case {
        std::string body;
        std::string market;
    };
    const Case cases[] = {
        {"one\ntwo\nthree", "one\r\ntwo\r\nthree\r\n"},
        {"one\r\ntwo\r\nthree\r\n", "one\r\ntwo\r\nthree\r\n"},
        {"卖家中心\n\nend\n", "卖家中心\r\n\r\nend\r\n"},
        {"", ""},
    };
    for (const Case& c : cases) {
        peer_.Page("/p", c.body);
        EXPECT_EQ(MarketGet(peer_.Url("/p"), kCookie), c.market) << vt::testing::U8(c.body);
        EXPECT_EQ(HttpHelper::GetPage(peer_.Url("/p")), c.body) << vt::testing::U8(c.body);
    }
}

TEST_F(HttpClientTest, Utf8PageComesBackAsGbk) {
    // "中文" and a character GBK lacks, in UTF-8.
    peer_.Page("/auction/merchandise/auction_list.htm",
               "\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80\n<input name=\"_tb_token_\">");
    EXPECT_EQ(MarketGetUtf8(peer_.Url("/auction/merchandise/auction_list.htm?type=1"), kCookie),
              "中文 ?\r\n<input name=\"_tb_token_\">\r\n");
}

TEST_F(HttpClientTest, EmptyAddressFetchesNothing) {
    EXPECT_EQ(MarketGet("", kCookie), "");
    EXPECT_EQ(MarketGetWithCookie("", kCookie), "");
    EXPECT_EQ(MarketGetUtf8("", kCookie), "");
    EXPECT_EQ(HttpHelper::GetPage(""), "");
    EXPECT_EQ(peer_.server().RequestCount(), 0u);
}

TEST_F(HttpClientTest, RedirectsAreFollowedAndTheCookieStaysWithItsHost) {
    Peer other;
    ASSERT_TRUE(other.started());
    other.Page("/landing", "elsewhere");
    peer_.Page("/new", "moved here");
    peer_.Page("/old", "", 302, {{"Location", "/new"}});
    peer_.Page("/away", "", 302, {{"Location", other.Url("/landing")}});

    EXPECT_EQ(HttpHelper::GetPage(peer_.Url("/old")), "moved here");
    std::string response;
    EXPECT_EQ(MarketPost({peer_.Url("/old"), "r", "text/plain", {}, "x", kCookie}, response),
              kPostDone);
    EXPECT_EQ(response, "moved here");

    EXPECT_EQ(MarketGet(peer_.Url("/away"), kCookie), "elsewhere\r\n");
    auto there = other.Requests();
    ASSERT_EQ(there.size(), 1u);
    EXPECT_FALSE(there[0].HasHeader("Cookie"));
}

TEST_F(HttpClientTest, PostResultCodes) {
    const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort());
    struct Case {
        std::string name;
        std::string url;
        sim::FaultSettings faults;
        int code;
        std::string response;
    };
    sim::FaultSettings none;
    sim::FaultSettings error500;
    error500.errorRate = 1;
    sim::FaultSettings drop;
    drop.dropRate = 1;
    sim::FaultSettings slow;
    slow.latencyMs = 800;
    const std::vector<Case> cases = {
        {"answered", peer_.Url("/ok"), none, kPostDone, "answer:POST /ok"},
        {"status 404", peer_.Url("/missing"), none, kPostDone, ""},
        {"status 500", peer_.Url("/ok"), error500, kPostDone, ""},
        {"connection dropped", peer_.Url("/ok"), drop, kPostFailed, "dwError = 52"},
        {"time-out", peer_.Url("/ok"), slow, kPostTimedOut, "dwError = 28"},
        {"closed port", closed + "/ok", none, kPostFailed, "dwError = 7"},
        {"ftp", "ftp://127.0.0.1/ok", none, kPostFailed, ""},
        {"unknown scheme", "vantrell://127.0.0.1/ok", none, kPostFailed, ""},
        {"no scheme", "127.0.0.1/ok", none, kPostBadUrl, ""},
        {"broken address", "http://[127.0.0.1/ok", none, kPostBadUrl, ""},
        {"empty", "", none, kPostBadUrl, ""},
    };
    peer_.Page("/missing", "not found page", 404);
    // Only the time-out row runs short of time, so a busy machine cannot fail the others.
    HttpOptions quick;
    quick.totalTimeoutMs = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        peer_.server().SetFaults(c.faults);
        std::string response = "stale";
        const HttpOptions options = c.faults.latencyMs > 0 ? quick : HttpOptions{};
        EXPECT_EQ(MarketPost({c.url, "r", "text/plain", {}, "body", kCookie}, response, options),
                  c.code);
        EXPECT_EQ(response, c.response);
    }
}

TEST_F(HttpClientTest, GetsReturnWhatArrivedBeforeAFault) {
    const std::string body(1024, 'a');
    const std::string half = body.substr(0, 512);
    peer_.Page("/p", body);
    peer_.Page("/missing", "not found page", 404);
    const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/p";

    sim::FaultSettings truncate;
    truncate.truncateRate = 1;
    sim::FaultSettings drop;
    drop.dropRate = 1;
    sim::FaultSettings late;
    late.latencyMs = 800;
    struct Case {
        std::string name;
        std::string url;
        sim::FaultSettings faults;
        std::string page;
    };
    const std::vector<Case> cases = {
        {"truncated", peer_.Url("/p"), truncate, half},
        {"dropped", peer_.Url("/p"), drop, ""},
        {"no answer in time", peer_.Url("/p"), late, ""},
        {"closed port", closed, {}, ""},
        {"status 404 keeps the body", peer_.Url("/missing"), {}, "not found page"},
        {"local file refused", "file:///etc/hostname", {}, ""},
    };
    HttpOptions quick;
    quick.totalTimeoutMs = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        peer_.server().SetFaults(c.faults);
        const HttpOptions options = c.faults.latencyMs > 0 ? quick : HttpOptions{};
        EXPECT_EQ(HttpHelper::GetPage(c.url, options), c.page);
        std::string market = c.page.empty() ? "" : c.page + "\r\n";
        EXPECT_EQ(MarketGet(c.url, kCookie, options), market);
    }
}

TEST_F(HttpClientTest, TimeOutInTheMiddleOfABodyKeepsWhatCame) {
    const std::string body(2048, 'b');
    peer_.Page("/p", body);
    sim::FaultSettings slow;
    slow.slowRate = 1;
    slow.slowPauseMs = 300;  // 256 bytes per pause: about four pieces before the end
    peer_.server().SetFaults(slow);
    HttpOptions quick;
    quick.totalTimeoutMs = 1000;
    std::string page = HttpHelper::GetPage(peer_.Url("/p"), quick);
    EXPECT_FALSE(page.empty());
    EXPECT_LT(page.size(), body.size());
    EXPECT_EQ(page, body.substr(0, page.size()));
}

// A page over the limit is refused whole with its cause, announced or not, and is not
// asked for again; a stop ends a page that stalls.
TEST_F(HttpClientTest, OversizedPagesAreRefusedWholeAndAStopEndsAStalledOne) {
    peer_.Page("/big", std::string(4096, 'p'));
    vt::testing::DripServer unannounced("HTTP/1.1 200 OK\r\nConnection: close",
                                        std::string(4096, 'p'), false);
    HttpOptions small;
    small.maxBodyBytes = 1024;
    small.retries = 2;
    small.retryDelayMs = 1;
    for (const std::string& url : {peer_.Url("/big"), unannounced.Url("/big")}) {
        SCOPED_TRACE(url);
        const PageResult read = HttpHelper::ReadPage(url, small);
        EXPECT_TRUE(read.Failed());
        EXPECT_EQ(read.refusal, ReadRefusal::TooLarge);
        EXPECT_EQ(read.text, "");
        EXPECT_EQ(read.attempts, 1);
        EXPECT_NE(read.error.find("内容过大（超过 1 KB）"), std::string::npos);
        EXPECT_EQ(MarketGet(url, kCookie, small), "");
    }
    // At the limit it is a page like any other.
    small.maxBodyBytes = 4096;
    EXPECT_EQ(HttpHelper::GetPage(peer_.Url("/big"), small), std::string(4096, 'p'));

    vt::testing::DripServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 100000", "<html>", true);
    std::atomic<bool> stop{false};
    HttpOptions options;
    options.retries = 3;
    options.cancelled = [&] { return stop.load(); };
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        stop = true;
    });
    const PageResult read = MarketRead(stalled.Url("/slow"), kCookie, options);
    stopper.join();
    EXPECT_EQ(read.refusal, ReadRefusal::Stopped);
    EXPECT_TRUE(read.Failed());
    EXPECT_EQ(stalled.connections(), 1);
}

// The seller's cookie and password go only over https, or to a stand-in on this
// machine; the rule is decided on the address alone, before anything is sent.
TEST(SecretTransport, CookiesGoOnlyOverHttpsOrToThisMachine) {
    const std::pair<std::string, bool> cases[] = {
        {"https://upload.example.com/auction/sell.jhtml", true},
        {"HTTPS://Upload.Example.com:8443/x", true},
        {"http://127.0.0.1:18081/x", true},
        {"http://localhost:18081/x", true},
        {"http://[::1]:18081/x", true},
        {"http://upload.example.com/auction/sell.jhtml", false},
        {"http://10.0.0.1/x", false},
        {"http://0.0.0.0:1/x", false},
        {"http://127.0.0.1.example.com/x", false},
        {"ftp://127.0.0.1/x", false},
        {"no address", false},
    };
    for (const auto& [url, allowed] : cases) EXPECT_EQ(SecretMayGoTo(url), allowed) << url;

    // Refused before any connection: nothing listens there, and no transport error came.
    const PageResult read = MarketRead("http://0.0.0.0:1/x", kCookie);
    EXPECT_EQ(read.refusal, ReadRefusal::ClearTextSecret);
    EXPECT_EQ(read.transportError, 0);
    EXPECT_TRUE(read.Failed());
    std::string response;
    MarketPostRequest post{"http://0.0.0.0:1/x", "", "text/plain", {}, "body", kCookie};
    EXPECT_EQ(MarketPost(post, response), kPostFailed);
    EXPECT_NE(response.find("https"), std::string::npos);
}

TEST(SecretTransport, OriginsAreComparedWholeWithTheirPorts) {
    EXPECT_EQ(OriginOf("HTTPS://Login.Example.com/member?x=1"), "https://login.example.com:443");
    EXPECT_EQ(OriginOf("http://127.0.0.1:8080"), "http://127.0.0.1:8080");
    EXPECT_EQ(OriginOf("http://[::1]/"), "http://[::1]:80");
    EXPECT_EQ(OriginOf("not an address"), "");
}

TEST(CookieMerge, LaterValuesReplaceEmptyOnesRemoveAndBrokenLinesAreDropped) {
    EXPECT_EQ(
        MergeCookies("a=1; t=old; x=1", {"t=new; Path=/", "x=; Max-Age=0", "uc1=k=v; HttpOnly"}),
        "a=1; t=new; uc1=k=v");
    // A CR, LF or zero byte inside a cookie would split the next request's header: the
    // cookie is dropped and the value kept before stays.
    EXPECT_EQ(MergeCookies("a=1", {"a=2\r\nX-Evil: 1", std::string("b=2\0c", 5), "c=3\nd"}), "a=1");
    EXPECT_EQ(MergeCookies("", {"a=1\r"}), "a=1");  // a line end around it is no part of it
}

TEST_F(HttpClientTest, BrokenUtf8TransferIsStillConverted) {
    // Half of "中文中文" arrives: two whole characters.
    peer_.Page("/u", "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87");
    sim::FaultSettings truncate;
    truncate.truncateRate = 1;
    peer_.server().SetFaults(truncate);
    EXPECT_EQ(MarketGetUtf8(peer_.Url("/u"), kCookie), "中文\r\n");
}

TEST_F(HttpClientTest, ManyThreadsFetchAtOnce) {
    const int threads = 6, rounds = 8;
    std::vector<std::thread> workers;
    std::vector<int> wrong(threads, 0);
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                std::string id = std::to_string(t) + "-" + std::to_string(i);
                if (HttpHelper::GetPage(peer_.Url("/list?id=" + id)) != "answer:GET /list?id=" + id)
                    ++wrong[t];
                if (MarketGet(peer_.Url("/sell?id=" + id), kCookie) !=
                    "answer:GET /sell?id=" + id + "\r\n")
                    ++wrong[t];
                std::string response;
                MarketPostKeyword(peer_.Url("/cat?id=" + id), id, response, id, kCookie, hosts_);
                if (response != "answer:POST /cat?id=" + id)
                    ++wrong[t];
            }
        });
    for (auto& w : workers) w.join();
    for (int t = 0; t < threads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
    auto requests = peer_.Requests();
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(threads * rounds * 3));
    for (const auto& req : requests) {
        if (req.path == "/cat") {
            EXPECT_EQ(req.body, "0=0&keyword=" + req.query.at("id"));
        }
    }
}

namespace {

// Runs the openssl tool with these arguments, its output discarded; the pid, or -1.
pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool RunToEnd(const std::vector<std::string>& args) {
    pid_t pid = Spawn(args);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// An https peer on 127.0.0.1: the openssl tool's test server with a fresh self-signed
// certificate for the given subjectAltName. Its certificate file can be trusted
// through HttpOptions::caFile.
class TlsPeer {
public:
    TlsPeer(const std::string& dir, const std::string& name, const std::string& altName)
        : cert_(dir + "/" + name + ".crt") {
        const std::string key = dir + "/" + name + ".key";
        if (!RunToEnd({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                       "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert_,
                       "-days", "2", "-subj", "/CN=" + name, "-addext",
                       "subjectAltName=" + altName}))
            return;
        port_ = ClosedPort();
        pid_ = Spawn({"openssl", "s_server", "-accept", "127.0.0.1:" + std::to_string(port_),
                      "-cert", cert_, "-key", key, "-www", "-quiet"});
        for (int i = 0; pid_ > 0 && i < 250 && !ready_; ++i) {
            int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addr.sin_port = htons(static_cast<uint16_t>(port_));
            ready_ = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            close(fd);
            if (!ready_)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~TlsPeer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const { return ready_; }
    const std::string& cert() const { return cert_; }
    std::string Url(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    std::string cert_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace

// The marketplace is reached over https with the seller's cookie: a certificate that is
// not trusted, or that names another host, ends the exchange before anything is sent.
TEST(HttpClientTls, CertificatesAndHostNamesAreVerified) {
    if (!RunToEnd({"openssl", "version"}))
        GTEST_SKIP() << "the openssl tool is not installed";
    vt::testing::TempAppDir dir(false);
    TlsPeer right(dir.native(), "loopback", "IP:127.0.0.1");
    TlsPeer wrong(dir.native(), "wrong.example", "DNS:wrong.example");
    ASSERT_TRUE(right.ready());
    ASSERT_TRUE(wrong.ready());

    HttpOptions trustRight;
    trustRight.caFile = right.cert();
    HttpOptions trustWrong;
    trustWrong.caFile = wrong.cert();

    // Trusted and naming 127.0.0.1: the exchange takes place.
    EXPECT_NE(MarketGetWithCookie(right.Url("/"), kCookie, trustRight).find("<pre>"),
              std::string::npos);

    struct Case {
        std::string name;
        std::string url;
        HttpOptions options;
    };
    const std::vector<Case> refused = {
        {"self-signed, not trusted", right.Url("/auction/publish/publish.htm"), HttpOptions{}},
        {"trusted but for another host", wrong.Url("/auction/publish/publish.htm"), trustWrong},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        std::string response;
        EXPECT_EQ(
            MarketPost({c.url, c.url, "text/plain", {}, "form", kCookie}, response, c.options),
            kPostFailed);
        EXPECT_EQ(response, "dwError = 60");  // the peer's certificate failed verification
        EXPECT_EQ(MarketGetWithCookie(c.url, kCookie, c.options), "");
    }
}
