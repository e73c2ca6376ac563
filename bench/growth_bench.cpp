// Growth of the shop, measured on the program as the seller runs it: vantrell-cli
// import-codes as a process of its own against vantrell-sim as another, so that every
// figure is the program's alone (its own CPU and peak memory, taken by wait4), not the
// stand-ins'. Both executables are taken from the folder given as the second argument
// (another build can be measured), else from beside this one.
//
// import: the peak memory of a 20,000-code import.
// growth: the same import of a smaller job against an account whose product database
// already holds 1k, 20k and 100k published records. Prints CPU and memory per book at
// each size and the ratios against the smallest, and the time of one "already
// published?" lookup (in this process). Each size is measured in several rounds, the
// sizes taking turns, and the medians are compared, so that a burst of load on the
// machine moves one round, not the figure.
// Without an argument both halves run.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/hosts.h"
#include "base/text.h"
#include "bench/support/child_process.h"
#include "bench/support/stand_in_rig.h"
#include "core/databases.h"
#include "sim/catalog.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kNick = "vantrell_demo";
constexpr const char* kPassword = "demo123";
constexpr std::uint64_t kSeed = 20240601;
constexpr int kImportBooks = 20000;
constexpr int kJobBooks = 2000;
constexpr int kWarmUpBooks = 200;
constexpr int kRounds = 5;
constexpr int kLookups = 20000;
constexpr int kSizes[] = {1000, 20000, 100000};

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::string OwnFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

// An installed tree of the program in a temporary folder, removed with the object.
struct AppTree {
    explicit AppTree(const std::string& binDir) {
        char pattern[] = "/tmp/vt-growth-bench-XXXXXX";
        if (const char* made = mkdtemp(pattern))
            dir = made;
        else
            return;
        fs::create_directories(app());
        fs::copy(fs::path(binDir) / "Data", app() / "Data", fs::copy_options::recursive);
        for (const char* sub : {"DataBase", "Log", "images"}) fs::create_directories(app() / sub);
    }
    ~AppTree() {
        std::error_code ec;
        if (!dir.empty())
            fs::remove_all(dir, ec);
    }
    AppTree(const AppTree&) = delete;
    AppTree& operator=(const AppTree&) = delete;
    fs::path app() const { return dir / "app"; }
    fs::path dir;
};

// Records `count` earlier publications of the account under codes the catalogue does not
// use, in the product database the program will open for it.
bool Prefill(const AppTree& tree, int count) {
    vt::Databases dbs(vt::Utf8ToGbk((tree.app() / "DataBase").string()));
    if (!dbs.OpenProductDb(kNick))
        return false;
    return dbs.ProductDb()->Exec(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
        std::to_string(count) +
        ") INSERT INTO ProductData (VT, TB) SELECT 'old' || x, 'tb' || x FROM n;");
}

int ProductRows(const AppTree& tree) {
    vt::Databases dbs(vt::Utf8ToGbk((tree.app() / "DataBase").string()));
    return dbs.OpenProductDb(kNick) ? vt::CountRows(dbs.ProductDb(), "SELECT ID FROM ProductData")
                                    : 0;
}

struct ImportRun {
    bool ok = false;
    int exitCode = -1;
    int published = 0;  // records the job added
    double cpuSeconds = 0;
    double userSeconds = 0;
    double wallSeconds = 0;
    long peakRssKb = 0;
    long standInsPeakRssKb = 0;
    double standInsCpuSeconds = 0;
    std::string lastLine;  // the program's closing line
};

// One import of the catalogue's first `books` codes by vantrell-cli against a fresh
// vantrell-sim, over a product database holding `records` earlier publications.
ImportRun RunImport(const std::string& binDir, int books, int records) {
    ImportRun run;
    AppTree tree(binDir);
    if (tree.dir.empty() || (records > 0 && !Prefill(tree, records)))
        return run;
    vt::bench::Child sim =
        vt::bench::StartChild({binDir + "/vantrell-sim", "--source-port", "0", "--market-port", "0",
                               "--books", std::to_string(books), "--seed", std::to_string(kSeed)},
                              "");
    std::string store, market;
    for (const std::string& line :
         vt::bench::ReadLinesUntil(sim, "ready", 120).value_or(std::vector<std::string>{})) {
        if (line.rfind("source ", 0) == 0)
            store = line.substr(7);
        if (line.rfind("market ", 0) == 0)
            market = line.substr(7);
    }
    if (store.empty() || market.empty()) {
        vt::bench::StopChild(sim);
        return run;
    }
    // The shipped Hosts.ini names the real sites; this tree names the stand-ins.
    {
        std::ofstream hosts(tree.app() / "Data/Hosts.ini", std::ios::trunc);
        hosts << "[HOSTS]\n";
        for (std::size_t i = 0; i < vt::kHostRoleCount; ++i) {
            const auto role = static_cast<vt::HostRole>(i);
            hosts << vt::HostKey(role) << "="
                  << (role <= vt::HostRole::SourcePromo ? store : market) << "\n";
        }
    }
    // The stand-in's catalogue, generated here from the same seed, gives the codes.
    {
        vt::sim::CatalogOptions options;
        options.seed = kSeed;
        options.books = books;
        const vt::sim::Catalog catalog(options);
        std::ofstream codes(tree.dir / "codes.txt", std::ios::binary);
        for (const vt::sim::Book& book : catalog.books()) codes << book.id << "\r\n";
    }
    std::ofstream(tree.dir / "password.txt") << kPassword << "\n";

    const auto start = vt::bench::Clock::now();
    vt::bench::Child cli = vt::bench::StartChild(
        {binDir + "/vantrell-cli", "import-codes", (tree.dir / "codes.txt").string(), "--app-dir",
         tree.app().string(), "--nick", kNick, "--password-file",
         (tree.dir / "password.txt").string(), "--pacing-ms", "0"},
        (tree.dir / "cli.out").string());
    const vt::bench::ChildResult done = vt::bench::WaitChild(cli);
    run.wallSeconds = vt::bench::Seconds(start);
    const vt::bench::ChildResult standIns = vt::bench::StopChild(sim);
    run.standInsPeakRssKb = standIns.peakRssKb;
    run.standInsCpuSeconds = standIns.cpuSeconds;
    run.exitCode = done.exitCode;
    run.cpuSeconds = done.cpuSeconds;
    run.userSeconds = done.userSeconds;
    run.peakRssKb = done.peakRssKb;
    run.published = ProductRows(tree) - records;
    {
        std::ifstream out(tree.dir / "cli.out");
        for (std::string line; std::getline(out, line);)
            if (!line.empty())
                run.lastLine = line;
    }
    // Exit code 4: the stand-in refuses a few books on purpose.
    run.ok = (run.exitCode == 0 || run.exitCode == 4) && run.published > 0;
    return run;
}

void ImportPeak(const std::string& binDir) {
    std::printf(
        "== import of %d codes: vantrell-cli import-codes (pacing 0 ms) against "
        "vantrell-sim, each a process of its own (%s)\n",
        kImportBooks, binDir.c_str());
    const ImportRun run = RunImport(binDir, kImportBooks, 0);
    if (!run.ok) {
        std::printf("the import did not run (exit code %d: %s)\n", run.exitCode,
                    run.lastLine.c_str());
        return;
    }
    std::printf("exit code %d (\"%s\"), published %d in %.1f s, %.2f ms CPU per book\n",
                run.exitCode, run.lastLine.c_str(), run.published, run.wallSeconds,
                run.cpuSeconds * 1e3 / run.published);
    std::printf(
        "peak resident memory of vantrell-cli: %.1f MB (goal < 80 MB); the stand-ins "
        "apart: %.1f MB, %.2f ms CPU per book\n",
        run.peakRssKb / 1024.0, run.standInsPeakRssKb / 1024.0,
        run.standInsCpuSeconds * 1e3 / run.published);
}

// One "already published?" lookup of a code that is not there, the common case of a new
// book, over a product database of `records` records; microseconds.
std::optional<double> LookupMicros(const std::string& binDir, int records) {
    AppTree tree(binDir);
    if (tree.dir.empty() || !Prefill(tree, records))
        return std::nullopt;
    vt::Databases dbs(vt::Utf8ToGbk((tree.app() / "DataBase").string()));
    if (!dbs.OpenProductDb(kNick))
        return std::nullopt;
    int found = 0;
    const double start = ThreadCpuSeconds();
    for (int i = 0; i < kLookups; ++i) found += dbs.IsPublished("new" + std::to_string(i));
    const double us = (ThreadCpuSeconds() - start) * 1e6 / kLookups;
    return found == 0 ? std::optional<double>(us) : std::nullopt;
}

void Growths(const std::string& binDir) {
    std::printf(
        "== import of %d codes over a product database of N published records, %d "
        "rounds, the sizes taking turns (%s)\n",
        kJobBooks, kRounds, binDir.c_str());
    constexpr std::size_t kSizeCount = std::size(kSizes);
    std::vector<double> cpu[kSizeCount], user[kSizeCount], memory[kSizeCount], lookup[kSizeCount];
    // A first, unmeasured job brings the programs and their files into the page cache.
    RunImport(binDir, kWarmUpBooks, kSizes[0]);
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t s = 0; s < kSizeCount; ++s) {
            const ImportRun run = RunImport(binDir, kJobBooks, kSizes[s]);
            const std::optional<double> us = LookupMicros(binDir, kSizes[s]);
            if (!run.ok || !us) {
                std::printf("N = %6d: the job did not run (exit code %d: %s)\n", kSizes[s],
                            run.exitCode, run.lastLine.c_str());
                return;
            }
            cpu[s].push_back(run.cpuSeconds * 1e3 / run.published);
            user[s].push_back(run.userSeconds * 1e3 / run.published);
            memory[s].push_back(static_cast<double>(run.peakRssKb) / kJobBooks);
            lookup[s].push_back(*us);
            std::printf(
                "  round %d, N = %6d: published %d in %.1f s, CPU %.3f ms/book (user "
                "%.3f), peak memory %.1f MB (%.1f KB/book), lookup %.1f us\n",
                round + 1, kSizes[s], run.published, run.wallSeconds, cpu[s].back(), user[s].back(),
                run.peakRssKb / 1024.0, memory[s].back(), *us);
        }
    }
    for (std::size_t s = 0; s < kSizeCount; ++s)
        std::printf(
            "N = %6d (median): CPU %.3f ms/book (x%.2f; user %.3f, x%.2f), peak memory "
            "%.1f KB/book (x%.2f), lookup %.1f us (x%.2f)\n",
            kSizes[s], Median(cpu[s]), Median(cpu[s]) / Median(cpu[0]), Median(user[s]),
            Median(user[s]) / Median(user[0]), Median(memory[s]),
            Median(memory[s]) / Median(memory[0]), Median(lookup[s]),
            Median(lookup[s]) / Median(lookup[0]));
    std::printf("goal: CPU per book at 100k within 10 %% of that at 1k (ratio <= 1.10)\n");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    const std::string binDir = argc > 2 ? argv[2] : OwnFolder();
    if (only.empty() || only == "import")
        ImportPeak(binDir);
    if (only.empty() || only == "growth")
        Growths(binDir);
    return 0;
}
