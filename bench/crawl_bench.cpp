// A keyword job over 20 list pages of the stand-in bookstore with 20 ms added to every
// answer. Three crawlers share the pages, so the crawl should take about a third of 20
// single page times; the figure printed last is the crawl time over that bound.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/collect_job_start.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "collect/list_url.h"
#include "core/context.h"
#include "sim/bookstore_sim.h"
#include "sim/market_sim.h"

using namespace vt;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPages = 20;
constexpr int kLatencyMs = 20;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A throwaway installed tree (ASCII path, so GBK and UTF-8 agree).
std::string MakeAppDir() {
    char pattern[] = "/tmp/vt-crawl-bench-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir)
        return {};
    for (const char* sub : {"/Data", "/Data/File", "/DataBase", "/Log", "/images"})
        std::filesystem::create_directories(std::string(dir) + sub);
    return dir;
}

}  // namespace

int main() {
    sim::BookstoreSim store;
    sim::MarketSim market;
    if (!store.Start("127.0.0.1", 0) || !market.Start("127.0.0.1", 0)) {
        std::fprintf(stderr, "the stand-ins did not start\n");
        return 1;
    }
    const std::string appDir = MakeAppDir();
    double crawlMs = 0, pageMs = 0;
    int pagesFetched = 0, rows = 0;
    {
        AppContext ctx(appDir);
        for (HostRole role : {HostRole::SourceSearch, HostRole::SourceCategory,
                              HostRole::SourceProduct, HostRole::SourcePromo})
            ctx.hosts().Set(role, store.origin());
        for (HostRole role : {HostRole::MarketLogin, HostRole::MarketUpload, HostRole::MarketSell,
                              HostRole::MarketTrade, HostRole::MarketAdvertising,
                              HostRole::MarketMain, HostRole::MarketImageCdn})
            ctx.hosts().Set(role, market.origin());
        ctx.config().SetStartPageFrom("1");
        ctx.config().SetCaiJiYeShu(std::to_string(kPages));
        ctx.config().SetCHKFiltData(true);

        sim::FaultSettings slow;
        slow.latencyMs = kLatencyMs;
        store.server().SetFaults(slow);

        // The single page time, measured on the same pages the crawl reads.
        const std::string list =
            ctx.hosts().Url(HostRole::SourceSearch, "/?key=&category_path=01.00.00.00.00.00");
        constexpr int kSamples = 5;
        const auto sampleStart = Clock::now();
        for (int i = 1; i <= kSamples; ++i)
            HttpHelper::GetPage(list + "&page_index=" + std::to_string(i));
        pageMs = MsSince(sampleStart) / kSamples;

        store.server().ClearRequests();
        ctx.panel().SetRunning();
        if (!StartSearchJob(ctx, "", SortLabels()[0])) {
            std::fprintf(stderr, "the job did not start\n");
            return 1;
        }
        const auto crawlStart = Clock::now();
        while (ctx.job().RunningListThreads > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        crawlMs = MsSince(crawlStart);
        ctx.panel().PressStop();
        ctx.workers().JoinAll();
        for (const auto& r : store.server().Requests())
            pagesFetched += r.target.find("page_index=") != std::string::npos;
        rows = ctx.toCollect().Count();
    }
    store.Stop();
    market.Stop();
    std::filesystem::remove_all(appDir);

    const double bound = kPages * pageMs / kKeywordCrawlers;
    std::printf("list pages fetched:   %d (rows %d)\n", pagesFetched, rows);
    std::printf("single page time:     %.1f ms\n", pageMs);
    std::printf("crawl time:           %.1f ms\n", crawlMs);
    std::printf("bound %d x page / %d: %.1f ms\n", kPages, kKeywordCrawlers, bound);
    std::printf("ratio:                %.2f (target <= 1.2)\n", crawlMs / bound);
    return 0;
}
