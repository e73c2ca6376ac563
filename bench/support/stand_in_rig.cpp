#include "bench/support/stand_in_rig.h"

#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/job_progress.h"
#include "app/panel_actions.h"
#include "app/results_panel.h"
#include "app/startup.h"
#include "base/files.h"
#include "base/hosts.h"
#include "base/text.h"
#include "detail/detail_thread.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"

namespace vt::bench {

namespace fs = std::filesystem;

namespace {

sim::CatalogOptions Catalog(int books) {
    sim::CatalogOptions c;
    c.books = books;
    return c;
}

}  // namespace

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

StandInRig::StandInRig(int books, int latencyMs) : store(Catalog(books)) {
    char pattern[] = "/tmp/vt-bench-XXXXXX";
    dir = mkdtemp(pattern);
    const fs::path installed = GbkToUtf8(AppDir());
    fs::copy(installed / "Data", fs::path(dir) / "Data", fs::copy_options::recursive);
    for (const char* sub : {"DataBase", "Log", "images"})
        fs::create_directories(fs::path(dir) / sub);
    sim::FaultSettings faults;
    faults.latencyMs = latencyMs;
    store.server().SetFaults(faults);
    market.server().SetFaults(faults);
    store.Start("127.0.0.1", 0);
    market.Start("127.0.0.1", 0);
    // The shipped Hosts.ini names the real sites; this tree names the stand-ins.
    {
        std::ofstream hosts(fs::path(dir) / "Data/Hosts.ini", std::ios::trunc);
        hosts << "[HOSTS]\n";
        for (std::size_t i = 0; i < kHostRoleCount; ++i) {
            auto role = static_cast<HostRole>(i);
            hosts << HostKey(role) << "="
                  << (role <= HostRole::SourcePromo ? store.origin() : market.origin()) << "\n";
        }
    }
    ctx = std::make_unique<AppContext>(Utf8ToGbk(dir));
    StartUp(*ctx);
    ctx->SetMessageSink([](const std::string&) {});
    ctx->publishing().SetPublishPacingMs(0);
    PasswordLogin login(ctx->hosts(), "vantrell_demo", "demo123");
    loggedIn = ConfirmMultiLogin(*ctx, login) == MultiLoginOutcome::Added;
}

StandInRig::~StandInRig() {
    ctx.reset();
    store.Stop();
    market.Stop();
    std::error_code ec;
    fs::remove_all(dir, ec);
}

bool StandInRig::ImportFirst(int n) {
    std::string codes;
    for (int i = 0; i < n && i < static_cast<int>(store.catalog().books().size()); ++i)
        codes += store.catalog().books()[static_cast<std::size_t>(i)].id + "\r\n";
    const std::string file = dir + "/codes.txt";
    if (!(std::ofstream(file, std::ios::binary) << codes))
        return false;
    ResultsPanel results(*ctx);
    AppContext& c = *ctx;
    return results.ImportCodes(Utf8ToGbk(file),
                               [&c] { StartDetailThread(c, DetailVariant::FromPage); });
}

double StandInRig::RunToEnd(bool importJob, double limitSeconds, bool clearRecords) {
    const auto start = Clock::now();
    while (!PipelineDrained(*ctx, importJob) && Seconds(start) < limitSeconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (clearRecords) {
            store.server().ClearRequests();
            market.server().ClearRequests();
        }
    }
    const double taken = Seconds(start);
    PressStop(*ctx);
    ctx->workers().JoinAll();
    return taken;
}

long StandInRig::Published() const {
    return ctx->counters().Number(CounterBox::Published);
}

}  // namespace vt::bench
