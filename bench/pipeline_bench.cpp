// The whole pipeline on the in-process stand-ins: throughput against the bound that
// latency and thread counts set, CPU time per book, the CPU an idle job burns while its
// login has lapsed, and peak memory over a 5,000-book job. Prints every figure of one run.
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "app/job_progress.h"
#include "app/panel_actions.h"
#include "app/results_panel.h"
#include "app/startup.h"
#include "base/files.h"
#include "base/text.h"
#include "bench/support/stand_in_rig.h"
#include "core/context.h"
#include "detail/detail_thread.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"
#include "sim/bookstore_sim.h"
#include "sim/market_sim.h"

namespace fs = std::filesystem;
using Clock = vt::bench::Clock;

namespace {

using Rig = vt::bench::StandInRig;
using vt::bench::PeakRssKb;
using vt::bench::ProcessCpuSeconds;
using vt::bench::Seconds;

std::size_t CountRequests(vt::sim::HttpServer& server, const std::string& pathPart) {
    std::size_t n = 0;
    for (const auto& r : server.Requests()) n += r.path.find(pathPart) != std::string::npos;
    return n;
}

void Throughput() {
    constexpr int kLatencyMs = 20;
    Rig rig(1200, kLatencyMs);
    if (!rig.loggedIn) {
        std::printf("throughput: login failed\n");
        return;
    }
    rig.ctx->config().SetStartPageFrom("1");
    rig.ctx->config().SetCaiJiYeShu("3");
    vt::ChooseMode(*rig.ctx, vt::CollectMode::Promo);
    const auto& promo = rig.store.catalog().promotions().front();
    rig.ctx->panel().SetInput(vt::CollectInput::PromoAddress, rig.store.origin() + promo.path);
    rig.store.server().ClearRequests();
    rig.market.server().ClearRequests();

    const double cpu0 = ProcessCpuSeconds();
    if (!vt::PressStart(*rig.ctx)) {
        std::printf("throughput: the job did not start\n");
        return;
    }
    const double wall = rig.RunToEnd(false, 90);
    const double cpu = ProcessCpuSeconds() - cpu0;
    const long published = rig.Published();
    const int collected = rig.ctx->collected().Count();
    const int listed = rig.ctx->toCollect().Count();

    // Requests per book on each stage, as the stand-ins saw them.
    const double productGets = static_cast<double>(CountRequests(rig.store.server(), ".html") -
                                                   CountRequests(rig.store.server(), "/subject/"));
    const double pictureGets = static_cast<double>(CountRequests(rig.store.server(), "/images/"));
    const double marketRequests = static_cast<double>(rig.market.server().RequestCount());
    const double detailPerBook = listed > 0 ? productGets / listed : 0;
    const double publishPerBook =
        published > 0 ? (marketRequests + pictureGets) / static_cast<double>(published) : 0;
    const int publishers = 1, detailThreads = 1;  // a promotion job: one of each
    const double latency = kLatencyMs / 1000.0;
    const double detailBound = detailThreads / (detailPerBook * latency);
    const double publishBound = publishers / (publishPerBook * latency);
    const double bound = std::min(detailBound, publishBound);
    const double rate = published / wall;

    std::printf("== throughput: promotion job, %d ms latency on both stand-ins, pacing 0 ms\n",
                kLatencyMs);
    std::printf("listed %d, collected %d, published %ld in %.2f s\n", listed, collected, published,
                wall);
    std::printf(
        "requests per book: detail %.2f (product page), publishing %.2f "
        "(marketplace + picture)\n",
        detailPerBook, publishPerBook);
    std::printf(
        "bound = min(detail threads / (detail requests x latency), publishing threads "
        "/ (publishing requests x latency))\n"
        "      = min(%d / (%.2f x %.3f s), %d / (%.2f x %.3f s)) = %.2f books/s\n",
        detailThreads, detailPerBook, latency, publishers, publishPerBook, latency, bound);
    std::printf("published books per second: %.2f = %.0f %% of the bound\n", rate,
                bound > 0 ? 100.0 * rate / bound : 0);
    std::printf("CPU seconds per published book (whole process, stand-ins included): %.4f\n",
                published > 0 ? cpu / published : 0);
}

void IdleCpu() {
    Rig rig(400, 0);
    if (!rig.loggedIn || !rig.ImportFirst(50)) {
        std::printf("idle: no job\n");
        return;
    }
    // The login lapses before anything is taken: every worker waits for a new login.
    rig.ctx->session().MarkLoginLapsed();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double cpu0 = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double wall = Seconds(start);
    std::printf("== idle: codes import with the login lapsed, %zu workers waiting\n",
                rig.ctx->workers().Launched());
    std::printf("CPU seconds per wall second while idle: %.4f (%.2f %% of one core)\n", cpu / wall,
                100.0 * cpu / wall);
    std::printf("published while idle: %ld\n", rig.Published());
    vt::PressStop(*rig.ctx);
    rig.ctx->workers().JoinAll();
}

void PeakMemory() {
    constexpr int kBooks = 5000;
    const long before = PeakRssKb();
    Rig rig(kBooks, 0);
    if (!rig.loggedIn || !rig.ImportFirst(kBooks)) {
        std::printf("memory: no job\n");
        return;
    }
    const double cpu0 = ProcessCpuSeconds();
    const double wall = rig.RunToEnd(true, 100, true);
    const double cpu = ProcessCpuSeconds() - cpu0;
    const long after = PeakRssKb();
    std::printf("== memory: import of %d codes, no latency, pacing 0 ms\n", kBooks);
    std::printf("listed %d, collected %d, published %ld in %.2f s (%.1f books/s)\n",
                rig.ctx->toCollect().Count(), rig.ctx->collected().Count(), rig.Published(), wall,
                rig.Published() / wall);
    std::printf("CPU seconds per published book (no latency): %.4f\n",
                rig.Published() > 0 ? cpu / rig.Published() : 0);
    std::printf(
        "peak resident memory: %.1f MB before the job, %.1f MB after it "
        "(stand-ins, their shop and uploaded pictures included)\n",
        before / 1024.0, after / 1024.0);
    std::printf("peak growth per listed book: %.1f KB\n",
                static_cast<double>(after - before) / std::max(1, rig.ctx->toCollect().Count()));
}

}  // namespace

int main() {
    Throughput();
    IdleCpu();
    PeakMemory();
    return 0;
}
