// Extraction speed of the detail stage: every field read from product pages of the
// stand-in bookstore, on one thread, pages taken in memory so that only reading counts.
// Prints pages per second and CPU microseconds per page.
#include <time.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "detail/detail_page.h"
#include "sim/bookstore_sim.h"

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Everything the page variant reads from one page; the sizes keep the work observable.
std::size_t ReadEverything(const vt::DetailPage& page) {
    using namespace vt;
    std::size_t bytes = ExtractProductName(page).size() + ExtractMarketPrice(page).size() +
                        ExtractSellPrice(page).size() + ExtractAuthor(page).size() +
                        ExtractPressName(page).size() + ExtractPressDate(page).size() +
                        ExtractIsbn(page).size() + ExtractHeadTitle(page).size() +
                        ExtractBuyingNote(page).size() + ExtractMainImageUrl(page).size() +
                        (HasBuyButton(page) ? 1 : 0);
    for (BookSection s :
         {BookSection::EditorRecommend, BookSection::Abstract, BookSection::AuthorRemark,
          BookSection::BookCatalog, BookSection::Preface, BookSection::MediaReview})
        bytes += ExtractSection(page, s).size();
    const BookParams v = ExtractBookParams(page);
    return bytes + v.WordCount.size() + v.PageCount.size() + v.Edition.size() + v.Binding.size() +
           v.BookFormat.size();
}

}  // namespace

int main() {
    vt::sim::BookstoreSim store;
    std::vector<vt::DetailPage> pages;
    std::size_t pageBytes = 0;
    for (std::size_t i = 0; i < 64 && i < store.catalog().books().size(); ++i) {
        vt::sim::HttpRequest request;
        request.method = "GET";
        request.path = request.target = "/" + store.catalog().books()[i].id + ".html";
        pages.push_back(vt::DetailPage{store.Handle(request).body});
        pageBytes += pages.back().text.size();
    }

    for (const auto& page : pages) ReadEverything(page);  // warm-up

    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    std::size_t done = 0, sink = 0;
    while (CpuSeconds() - cpuStart < 3.0) {
        for (const auto& page : pages) sink += ReadEverything(page);
        done += pages.size();
    }
    const double cpu = CpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

    std::printf("product pages: %zu distinct, %.1f KB on average\n", pages.size(),
                static_cast<double>(pageBytes) / pages.size() / 1024.0);
    std::printf("extracted %zu pages in %.2f s CPU (%.2f s wall), one thread\n", done, cpu, wall);
    std::printf("pages per second (one core): %.0f\n", done / cpu);
    std::printf("CPU microseconds per page: %.1f\n", cpu * 1e6 / done);
    std::printf("(checksum %zu)\n", sink);
    return 0;
}
