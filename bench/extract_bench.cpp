// Extraction against a scripting peer: 200 product pages and 20 search-result pages are
// saved from the stand-in bookstore into a temporary folder; this program and
// bench/peer_extract.py (Python, standard library `re`) read the same files with the same
// patterns, the values of both sides are compared, and each side's CPU microseconds per
// page are printed with their ratio. Without python3 the peer is skipped with a note.
#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/hosts.h"
#include "collect/list_parsers.h"
#include "core/book_types.h"
#include "core/context.h"
#include "detail/detail_page.h"
#include "sim/bookstore_sim.h"

#ifndef VT_BENCH_DIR
#define VT_BENCH_DIR "bench"
#endif

namespace {

constexpr std::size_t kProductPages = 200;
constexpr int kListPages = 20;
constexpr double kMinCpuSeconds = 2.0;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const vt::sim::BookstoreSim& store, const std::string& target) {
    vt::sim::HttpRequest request;
    request.method = "GET";
    request.target = target;
    request.path = target.substr(0, target.find('?'));
    if (target.find('?') != std::string::npos) {
        std::istringstream query(target.substr(target.find('?') + 1));
        for (std::string pair; std::getline(query, pair, '&');)
            request.query[pair.substr(0, pair.find('='))] =
                pair.find('=') == std::string::npos ? "" : pair.substr(pair.find('=') + 1);
    }
    return store.Handle(request).body;
}

// Every value the page variant reads, in a fixed order (the peer writes the same order).
std::vector<std::string> ProductValues(const vt::DetailPage& page) {
    using namespace vt;
    std::vector<std::string> v = {
        ExtractProductName(page),  ExtractMarketPrice(page),      ExtractSellPrice(page),
        ExtractAuthor(page),       ExtractPressName(page),        ExtractPressDate(page),
        ExtractIsbn(page),         ExtractHeadTitle(page),        ExtractBuyingNote(page),
        ExtractMainImageUrl(page), HasBuyButton(page) ? "1" : "0"};
    for (BookSection s :
         {BookSection::EditorRecommend, BookSection::Abstract, BookSection::AuthorRemark,
          BookSection::BookCatalog, BookSection::Preface, BookSection::MediaReview})
        v.push_back(ExtractSection(page, s));
    const BookParams p = ExtractBookParams(page);
    for (const std::string* s : {&p.WordCount, &p.PageCount, &p.Edition, &p.Binding, &p.BookFormat})
        v.push_back(*s);
    return v;
}

std::string Line(const std::string& name, const std::vector<std::string>& values) {
    std::string line = name;
    for (const std::string& value : values) line += "\t" + Hex(value);
    return line;
}

struct Files {
    std::vector<std::string> names;
    std::vector<std::string> texts;
};

Files Load(const std::filesystem::path& dir, const std::string& prefix, std::size_t count) {
    Files f;
    for (std::size_t i = 0; i < count; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "%s%03zu.html", prefix.c_str(), i);
        f.names.push_back(name);
        f.texts.push_back(ReadFile(dir / name));
    }
    return f;
}

// Runs every page until at least kMinCpuSeconds of CPU went by; CPU microseconds per page.
template <typename Work>
double MicrosPerPage(std::size_t pages, Work work) {
    const double start = ThreadCpuSeconds();
    std::size_t done = 0;
    do {
        for (std::size_t i = 0; i < pages; ++i) work(i);
        done += pages;
    } while (ThreadCpuSeconds() - start < kMinCpuSeconds);
    return (ThreadCpuSeconds() - start) * 1e6 / static_cast<double>(done);
}

}  // namespace

int main() {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/vt-extract-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const fs::path dir = made;
    fs::create_directories(dir / "app" / "Data" / "File");
    for (const char* sub : {"DataBase", "Log", "images"}) fs::create_directories(dir / "app" / sub);

    vt::sim::BookstoreSim store;
    if (!store.Start("127.0.0.1", 0)) {
        std::fprintf(stderr, "the stand-in did not start\n");
        return 1;
    }
    const std::size_t products = std::min(kProductPages, store.catalog().books().size());
    for (std::size_t i = 0; i < products; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "product%03zu.html", i);
        WriteFile(dir / name, Get(store, "/" + store.catalog().books()[i].id + ".html"));
    }
    for (int i = 0; i < kListPages; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "list%03d.html", i);
        WriteFile(dir / name, Get(store, "/?key=&category_path=01.00.00.00.00.00&page_index=" +
                                             std::to_string(i + 1)));
    }

    // This side, from the saved files.
    const Files productFiles = Load(dir, "product", products);
    const Files listFiles = Load(dir, "list", kListPages);
    std::vector<vt::DetailPage> pages;
    for (const std::string& text : productFiles.texts) pages.push_back(vt::DetailPage{text});

    std::vector<std::string> ours;
    for (std::size_t i = 0; i < pages.size(); ++i)
        ours.push_back(Line(productFiles.names[i], ProductValues(pages[i])));

    vt::AppContext ctx((dir / "app").string());
    // Every role on the loopback stand-in: nothing here may look up a public name.
    for (vt::HostRole role :
         {vt::HostRole::SourceSearch, vt::HostRole::SourceCategory, vt::HostRole::SourceProduct,
          vt::HostRole::SourcePromo, vt::HostRole::MarketLogin, vt::HostRole::MarketUpload,
          vt::HostRole::MarketSell, vt::HostRole::MarketTrade, vt::HostRole::MarketAdvertising,
          vt::HostRole::MarketMain, vt::HostRole::MarketImageCdn})
        ctx.hosts().Set(role, store.origin());
    const std::string productHost = ctx.hosts().Host(vt::HostRole::SourceProduct);
    std::size_t listItems = 0;
    for (std::size_t i = 0; i < listFiles.texts.size(); ++i) {
        ctx.toCollect().Clear();
        vt::ParseSearchPage(ctx, listFiles.texts[i]);
        for (int r = 0; r < ctx.toCollect().Count(); ++r) {
            const vt::ToCollectRow row = ctx.toCollect().RowAt(r);
            ours.push_back(Line(listFiles.names[i],
                                {row[vt::kMarkCol], row[vt::kTitleCol], row[vt::kListPriceCol],
                                 row[vt::kSellPriceCol], row[vt::kAuthorCol],
                                 row[vt::kPublisherCol], row[vt::kDateCol]}));
            ++listItems;
        }
    }

    std::size_t sink = 0;
    const double productUs = MicrosPerPage(pages.size(), [&](std::size_t i) {
        for (const std::string& v : ProductValues(pages[i])) sink += v.size();
    });
    const double listUs = MicrosPerPage(listFiles.texts.size(), [&](std::size_t i) {
        ctx.toCollect().Clear();
        vt::ParseSearchPage(ctx, listFiles.texts[i]);
        sink += static_cast<std::size_t>(ctx.toCollect().Count());
    });

    std::printf("saved pages: %zu product, %d list (%zu list items)\n", pages.size(), kListPages,
                listItems);
    std::printf("C++     product page: %8.1f us CPU\n", productUs);
    std::printf("C++     list page:    %8.1f us CPU\n", listUs);

    // The peer, as a child process over the same folder.
    const std::string peer = std::string(VT_BENCH_DIR) + "/peer_extract.py";
    int status = 1;
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) {
        std::printf("python3 not found: the peer comparison is skipped\n");
        status = 0;
    } else {
        const std::string command =
            "python3 '" + peer + "' '" + dir.string() + "' '" + productHost + "'";
        std::vector<std::string> theirs;
        double peerProductUs = 0, peerListUs = 0;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            std::string out;
            char buf[65536];
            for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
            const int rc = pclose(pipe);
            std::istringstream lines(out);
            for (std::string line; std::getline(lines, line);) {
                if (std::sscanf(line.c_str(), "peer product_us %lf", &peerProductUs) == 1 ||
                    std::sscanf(line.c_str(), "peer list_us %lf", &peerListUs) == 1)
                    continue;
                theirs.push_back(line);
            }
            if (rc != 0)
                std::printf("the peer failed (status %d)\n", rc);
        }
        std::size_t differ = 0;
        for (std::size_t i = 0; i < std::max(ours.size(), theirs.size()); ++i)
            if (i >= ours.size() || i >= theirs.size() || ours[i] != theirs[i]) {
                if (differ++ < 3)
                    std::printf("values differ at line %zu:\n  C++:    %.200s\n  Python: %.200s\n",
                                i, i < ours.size() ? ours[i].c_str() : "(none)",
                                i < theirs.size() ? theirs[i].c_str() : "(none)");
            }
        std::printf("values compared: %zu lines, %zu differ\n", ours.size(), differ);
        if (differ == 0 && peerProductUs > 0 && peerListUs > 0) {
            std::printf("Python  product page: %8.1f us CPU\n", peerProductUs);
            std::printf("Python  list page:    %8.1f us CPU\n", peerListUs);
            std::printf("ratio product page (Python / C++): %.2f (goal >= 5)\n",
                        peerProductUs / productUs);
            std::printf("ratio list page    (Python / C++): %.2f (goal >= 5)\n",
                        peerListUs / listUs);
            status = 0;
        } else {
            std::printf("no ratio: the two sides did not read the same values\n");
        }
    }
    std::printf("(checksum %zu)\n", sink);
    store.Stop();
    fs::remove_all(dir);
    return status;
}
