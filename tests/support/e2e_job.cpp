#include "support/e2e_job.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

#include "app/job_progress.h"
#include "app/panel_actions.h"
#include "app/startup.h"
#include "base/text.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"
#include "sim/market_categories.h"

namespace vt::testing {
namespace {

sim::CatalogOptions CatalogOf(const E2eOptions& o) {
    sim::CatalogOptions c;
    c.books = o.books;
    return c;
}

// Byte length of the longest run of whole characters of the text within limit bytes.
std::size_t WholeCharsWithin(const std::string& text, std::size_t limit) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t step =
            IsGbkLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
        if (at + step > limit)
            break;
        at += step;
    }
    return at;
}

template <typename Key>
std::string MostCommon(const std::map<Key, int>& counts) {
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

}  // namespace

std::string ExpectedItemTitle(const std::string& bookTitle, const std::string& prefix,
                              const std::string& suffix, int limit) {
    std::string title;
    for (char c : bookTitle)
        if (c != '?')
            title += c;
    const std::size_t max = static_cast<std::size_t>(limit);
    if (title.size() > max)
        return title.substr(0, WholeCharsWithin(title, max));
    if (prefix.size() + title.size() < max)
        title = prefix + title;
    if (title.size() + suffix.size() < max)
        title += suffix;
    return title;
}

std::string FirstOfferedCategory(const std::string& isbn) {
    const std::string answer = sim::CategoryAnswerText(sim::CategoryAnswer::NewBook, isbn);
    const std::string key = "\"sid\":\"";
    const std::size_t at = answer.find(key);
    if (at == std::string::npos)
        return {};
    const std::size_t from = at + key.size();
    return answer.substr(from, answer.find('"', from) - from);
}

E2eJob::E2eJob(E2eOptions options) : sites_(CatalogOf(options), options.storeOverride) {
    if (options.latencyMs > 0) {
        sim::FaultSettings slow;
        slow.latencyMs = options.latencyMs;
        sites_.store().server().SetFaults(slow);
        sites_.market().server().SetFaults(slow);
    }
    AppContext& c = ctx();
    StartUp(c);
    c.SetMessageSink([this](const std::string& m) { messages_.push_back(m); });
    c.publishing().SetPublishPacingMs(options.pacingMs);
    SysConfig& cfg = c.config();
    cfg.SetTitleQianzhuiP(kPrefix);
    cfg.SetTitleHouzhuiP(kSuffix);
    cfg.SetTitleLengthP(std::to_string(kTitleLimit));
    cfg.SetDiyTitleCheckP(false);
    cfg.SetStartPageFrom("1");
    cfg.SetCaiJiYeShu("2");
    // The bookstore's forbidden-word books are dropped; nothing is masked in the
    // descriptions, so each one shows the book's own fields.
    std::string forbidden;
    for (const std::string& word : sim::ForbiddenWordSamples())
        forbidden += (forbidden.empty() ? "" : ",") + word;
    cfg.SetForbiddenBooksText(forbidden);
    cfg.SetForbiddenWordsText("");
    // Every ISBN gets a new-book category, so each item's category is known in advance.
    for (const sim::Book& book : catalog().books())
        if (!book.isbn.empty())
            market().SetCategoryAnswer(book.isbn, sim::CategoryAnswer::NewBook);
}

bool E2eJob::LogIn() {
    PasswordLogin login(ctx().hosts(), "vantrell_demo", "demo123");
    return ConfirmMultiLogin(ctx(), login) == MultiLoginOutcome::Added;
}

bool E2eJob::RunToEnd(bool importJob, int timeoutMs) {
    const bool drained = WaitUntil([&] { return PipelineDrained(ctx(), importJob); }, timeoutMs);
    StopAndJoin();
    return drained;
}

std::string E2eJob::Describe() {
    CollectJob& job = ctx().job();
    std::lock_guard<std::timed_mutex> held(job.WorkerCursorLock);
    return "crawlers " + std::to_string(job.RunningListThreads.load()) + ", to-collect " +
           std::to_string(ctx().toCollect().Count()) + " (detail cursor " +
           std::to_string(job.DetailCursor) + ", busy " + std::to_string(job.DetailBusy) +
           "), collected " + std::to_string(ctx().collected().Count()) + " (processing cursor " +
           std::to_string(job.ProcessingCursor) + ", busy " + std::to_string(job.PublishBusy) +
           "), shop " + std::to_string(market().Items().size());
}

void E2eJob::StopAndJoin() {
    PressStop(ctx());
    ctx().workers().JoinAll();
}

std::string E2eJob::CommonTitleCharacter() {
    std::map<std::string, int> counts;
    for (const sim::Book& book : catalog().books()) {
        std::vector<std::string> seen;
        const std::string& t = book.title;
        for (std::size_t i = 0; i + 1 < t.size();) {
            if (!IsGbkLeadByte(static_cast<unsigned char>(t[i]))) {
                ++i;
                continue;
            }
            std::string ch = t.substr(i, 2);
            if (std::find(seen.begin(), seen.end(), ch) == seen.end()) {
                seen.push_back(ch);
                ++counts[ch];
            }
            i += 2;
        }
    }
    return MostCommon(counts);
}

std::string E2eJob::CommonAuthor() {
    std::map<std::string, int> counts;
    for (const sim::Book& book : catalog().books())
        if (!book.author.empty())
            ++counts[book.author];
    return MostCommon(counts);
}

std::string E2eJob::CommonPublisher() {
    std::map<std::string, int> counts;
    for (const sim::Book& book : catalog().books()) ++counts[book.publisher];
    return MostCommon(counts);
}

std::vector<std::string> E2eJob::ShopCodes() {
    std::vector<std::string> codes;
    for (const sim::ShopItem& item : market().Items()) codes.push_back(item.outerCode);
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::vector<std::string> E2eJob::SucceededRowCodes() {
    std::vector<std::string> codes;
    CollectedList& list = ctx().collected();
    for (int row = 0; row < list.Count(); ++row)
        if (list.Cell(row, kMarketStateCol) == "上传成功")
            codes.push_back(Trim(list.Cell(row, kOuterCodeCol)));
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::vector<std::string> E2eJob::RecordedCodes() {
    std::vector<std::string> codes;
    if (auto db = ctx().db().ProductDb())
        codes = db->QueryColumn("select VT from ProductData");
    std::sort(codes.begin(), codes.end());
    return codes;
}

}  // namespace vt::testing
