// Growth of the shop: the same codes import run against a product database that already
// holds 1k, 20k and 100k published records. Prints CPU and memory per book and the time of
// one "already published?" lookup at each size, the ratios against the smallest size, and
// the peak memory of a 20,000-code import, all measured in this one run. The stand-ins
// run in this process, so their CPU and memory are part of every figure.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
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
using vt::bench::PeakRssKb;
using vt::bench::ProcessCpuSeconds;
using vt::bench::Seconds;

namespace {

constexpr int kJobBooks = 400;
constexpr int kImportBooks = 20000;
constexpr int kLookups = 2000;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

long CurrentRssKb() {
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The shared rig, with the shop's earlier publications filled in.
struct Rig : vt::bench::StandInRig {
    explicit Rig(int books) : StandInRig(books, 0) {}
    // Records `count` earlier publications under codes the catalogue does not use.
    bool Prefill(int count) {
        auto db = ctx->db().ProductDb();
        if (!db)
            return false;
        return db->Exec(
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            std::to_string(count) +
            ") INSERT INTO ProductData (VT, TB) SELECT 'old' || x, 'tb' || x FROM n;");
    }
    double RunToEnd(double limitSeconds) { return StandInRig::RunToEnd(true, limitSeconds, true); }
};

struct Growth {
    int records = 0;
    bool ok = false;
    long published = 0;
    double cpuMsPerBook = 0;
    double kbPerBook = 0;
    double lookupUs = 0;
};

Growth MeasureAt(int records) {
    Growth g;
    g.records = records;
    Rig rig(kJobBooks);
    if (!rig.loggedIn || !rig.Prefill(records))
        return g;
    // One lookup alone: a code that is not there, the common case of a new book.
    const double lookup0 = ThreadCpuSeconds();
    int found = 0;
    for (int i = 0; i < kLookups; ++i)
        found += rig.ctx->db().IsPublished("new" + std::to_string(i));
    g.lookupUs = (ThreadCpuSeconds() - lookup0) * 1e6 / kLookups;

    const long rss0 = CurrentRssKb();
    const double cpu0 = ProcessCpuSeconds();
    if (!rig.ImportFirst(kJobBooks))
        return g;
    rig.RunToEnd(120);
    const double cpu = ProcessCpuSeconds() - cpu0;
    g.published = rig.Published();
    g.ok = found == 0 && g.published > 0;
    g.cpuMsPerBook = g.published > 0 ? cpu * 1e3 / g.published : 0;
    g.kbPerBook = static_cast<double>(CurrentRssKb() - rss0) / kJobBooks;
    return g;
}

void ImportPeak() {
    const long before = PeakRssKb();
    Rig rig(kImportBooks);
    const long ready = CurrentRssKb();
    if (!rig.loggedIn || !rig.ImportFirst(kImportBooks)) {
        std::printf("import: no job\n");
        return;
    }
    const double cpu0 = ProcessCpuSeconds();
    const double wall = rig.RunToEnd(600);
    const double cpu = ProcessCpuSeconds() - cpu0;
    const long peak = PeakRssKb();
    std::printf("== import of %d codes, no latency, pacing 0 ms\n", kImportBooks);
    std::printf("published %ld in %.1f s, %.2f ms CPU per book\n", rig.Published(), wall,
                rig.Published() > 0 ? cpu * 1e3 / rig.Published() : 0);
    std::printf(
        "peak resident memory: %.1f MB (%.1f MB before the stand-ins, %.1f MB with them "
        "ready; goal < 80 MB)\n",
        peak / 1024.0, before / 1024.0, ready / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    // "import" or "growth" runs one half only.
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "import")
        ImportPeak();
    if (!only.empty() && only != "growth")
        return 0;
    std::printf("== codes import of %d books over a product database of N published records\n",
                kJobBooks);
    Growth base;
    for (int records : {1000, 20000, 100000}) {
        const Growth g = MeasureAt(records);
        if (!g.ok) {
            std::printf("N = %6d: the job did not run\n", records);
            continue;
        }
        if (base.records == 0)
            base = g;
        std::printf(
            "N = %6d: published %ld, CPU %.3f ms/book (x%.2f), memory %.1f KB/book, "
            "lookup %.1f us (x%.1f)\n",
            records, g.published, g.cpuMsPerBook, g.cpuMsPerBook / base.cpuMsPerBook, g.kbPerBook,
            g.lookupUs, g.lookupUs / base.lookupUs);
    }
    std::printf("goal: CPU per book at 100k within 10 %% of that at 1k (ratio <= 1.10)\n");
    return 0;
}
