// Reads that fail for the network or the server are tried again, a bounded number of
// times; what must never be sent twice is sent once; a site's run of failures is noticed.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "base/hosts.h"
#include "base/http_client.h"
#include "base/site_health.h"
#include "sim/http_server.h"

using namespace vt;

namespace {

// A page that answers with the given statuses in turn, then 200 "done" for ever.
class ScriptedPage {
public:
    explicit ScriptedPage(std::vector<int> statuses = {}) : statuses_(std::move(statuses)) {
        server_.SetHandler([this](const sim::HttpRequest&) {
            std::lock_guard<std::mutex> lock(mutex_);
            sim::HttpResponse res;
            const std::size_t turn = served_++;
            res.status = turn < statuses_.size() ? statuses_[turn] : 200;
            res.body = res.status == 200 ? "done" : "status " + std::to_string(res.status);
            return res;
        });
        started_ = server_.Start("127.0.0.1", 0);
    }
    bool started() const { return started_; }
    sim::HttpServer& server() { return server_; }
    std::string Url() const { return server_.origin() + "/page"; }
    std::size_t Requests() const { return server_.RequestCount(); }

private:
    std::vector<int> statuses_;
    std::mutex mutex_;
    std::size_t served_ = 0;
    sim::HttpServer server_;
    bool started_ = false;
};

HttpOptions Retrying(int retries) {
    HttpOptions options;
    options.retries = retries;
    options.retryDelayMs = 1;
    return options;
}

TEST(ReadRetries, ARepeatableFailureIsTriedAgainUpToTheBoundAndNothingElseIs) {
    struct Case {
        const char* name;
        std::vector<int> statuses;  // answered in turn before 200
        sim::FaultSettings faults;
        int retries;
        std::size_t sent;
        bool failed;
        std::string text;
    };
    const Case cases[] = {
        {"server errors, then the page", {500, 503}, {}, 3, 3, false, "done"},
        {"server errors beyond the bound", {500, 502, 503, 504}, {}, 2, 3, true, "status 503"},
        {"no repeat when none is allowed", {500}, {}, 0, 1, true, "status 500"},
        {"a 4xx is the page's own answer", {404}, {}, 3, 1, false, "status 404"},
        {"dropped connections", {}, sim::FaultSettings{.dropRate = 1.0}, 2, 3, true, ""},
        {"truncated bodies", {}, sim::FaultSettings{.truncateRate = 1.0}, 1, 2, true, "do"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPage page(c.statuses);
        ASSERT_TRUE(page.started());
        page.server().SetFaults(c.faults);
        SiteHealth health;
        HttpOptions options = Retrying(c.retries);
        options.health = &health;
        const PageResult read = HttpHelper::ReadPage(page.Url(), options);
        EXPECT_EQ(page.Requests(), c.sent);
        EXPECT_EQ(read.attempts, static_cast<int>(c.sent));
        EXPECT_EQ(health.Retries(), static_cast<int>(c.sent) - 1);
        EXPECT_EQ(read.Failed(), c.failed) << read.error;
        EXPECT_EQ(read.text, c.text);
        // The text-only read sends the same and returns the same text.
        ScriptedPage again(c.statuses);
        again.server().SetFaults(c.faults);
        EXPECT_EQ(HttpHelper::GetPage(again.Url(), Retrying(c.retries)), c.text);
        EXPECT_EQ(again.Requests(), c.sent);
    }
}

TEST(ReadRetries, TheCausesReadAsTheSellerSeesThem) {
    ScriptedPage failing({500, 500});
    const PageResult server = HttpHelper::ReadPage(failing.Url(), Retrying(1));
    EXPECT_EQ(server.status, 500);
    EXPECT_EQ(server.error, "服务器错误（HTTP 500）");

    std::string closed;
    {
        ScriptedPage gone;
        closed = gone.Url();
    }
    const PageResult refused = HttpHelper::ReadPage(closed, Retrying(1));
    EXPECT_EQ(refused.attempts, 2);
    EXPECT_EQ(refused.error.rfind("网络连接失败（7 ", 0), 0u) << refused.error;

    // An address libcurl refuses is not worth a second try.
    const PageResult bad = HttpHelper::ReadPage("ftp://127.0.0.1/x", Retrying(3));
    EXPECT_EQ(bad.attempts, 1);
    EXPECT_TRUE(bad.Failed());
}

TEST(ReadRetries, AStoppedJobGivesUpItsRemainingAttempts) {
    ScriptedPage failing({500, 500, 500, 500});
    HttpOptions options = Retrying(3);
    options.retryDelayMs = 60000;  // only the stop can end this wait
    // The job stops once the first attempt has gone out.
    options.cancelled = [&failing] { return failing.Requests() >= 1; };
    const PageResult read = HttpHelper::ReadPage(failing.Url(), options);
    EXPECT_EQ(failing.Requests(), 1u);
    EXPECT_TRUE(read.Failed());
}

TEST(ReadRetries, AFormThatMayPublishIsSentOnceWhateverTheOptions) {
    ScriptedPage failing({500, 500, 500});
    Hosts hosts;
    ASSERT_TRUE(hosts.Set(HostRole::MarketUpload, failing.server().origin()));
    std::string answer;
    EXPECT_EQ(MarketPostPublish("form", "b", answer, "", hosts, Retrying(3)), kPostDone);
    EXPECT_EQ(failing.Requests(), 1u);

    // A read-only query may be repeated when its caller asks.
    ScriptedPage query({500});
    MarketPostRequest request{query.Url(), "", "text/plain", {}, "q", ""};
    EXPECT_EQ(MarketPost(request, answer, Retrying(2)), kPostDone);
    EXPECT_EQ(answer, "done");
    EXPECT_EQ(query.Requests(), 2u);
}

// A stop ends a read that is under way, but a form already on its way is let finish:
// broken off, whether it published would be unknown.
TEST(ReadRetries, AStopEndsAReadUnderWayButNotAForm) {
    ScriptedPage slow;
    sim::FaultSettings latency;
    latency.latencyMs = 1500;
    slow.server().SetFaults(latency);
    HttpOptions stopped;
    stopped.cancelled = [] { return true; };
    const PageResult read = HttpHelper::ReadPage(slow.Url(), stopped);
    EXPECT_EQ(read.refusal, ReadRefusal::Stopped);
    EXPECT_TRUE(read.Failed());

    Hosts hosts;
    ASSERT_TRUE(hosts.Set(HostRole::MarketUpload, slow.server().origin()));
    std::string answer;
    EXPECT_EQ(MarketPostPublish("form", "b", answer, "", hosts, stopped), kPostDone);
    EXPECT_EQ(answer, "done");
}

TEST(SiteHealthRecord, ARunOfFailuresMakesTheSiteDownOnceAndAnAnswerEndsTheRun) {
    SiteHealth health;
    health.SetLimit(3);
    std::vector<std::string> downs;
    health.SetOnDown([&downs](const std::string& error) { downs.push_back(error); });
    health.RecordFailure("a");
    health.RecordFailure("b");
    health.RecordAnswer();
    health.RecordFailure("c");
    health.RecordFailure("d");
    EXPECT_FALSE(health.Down());
    health.RecordFailure("e");
    health.RecordFailure("f");
    EXPECT_TRUE(health.Down());
    EXPECT_EQ(downs, std::vector<std::string>{"e"});

    health.Reset();
    EXPECT_FALSE(health.Down());
    health.SetLimit(0);  // never
    for (int i = 0; i < 100; ++i) health.RecordFailure("x");
    EXPECT_FALSE(health.Down());
}

}  // namespace
