// A whole collection job on the in-process stand-ins: the installed tree started up as
// the desktop starts it, the demo account logged in from the multi-login panel, the
// seller's title and forbidden-word rules set, and the finished job read back from the
// shop, the work lists and the account's product database.
#pragma once

#include <string>
#include <vector>

#include "sim/catalog.h"
#include "support/local_sites.h"

namespace vt::testing {

// The title rule of the seller's settings, worked out on whole GBK characters from the
// bookstore's title: "?" removed; a title over the limit is cut and gets nothing added;
// otherwise prefix and suffix are added each while the title stays shorter than the limit.
std::string ExpectedItemTitle(const std::string& bookTitle, const std::string& prefix,
                              const std::string& suffix, int limit);

// The category the stand-in's category service hands out first for a new book's ISBN.
std::string FirstOfferedCategory(const std::string& isbn);

struct E2eOptions {
    int books = 400;
    int latencyMs = 0;                      // added to every answer of both stand-ins
    int pacingMs = 10;                      // publishing pacing per upload and thread
    StoreOverride storeOverride = nullptr;  // answers some bookstore requests instead
};

class E2eJob {
public:
    explicit E2eJob(E2eOptions options = {});

    LocalSites& sites() { return sites_; }
    AppContext& ctx() { return sites_.ctx(); }
    sim::MarketSim& market() { return sites_.market(); }
    const sim::Catalog& catalog() { return sites_.store().catalog(); }
    const std::vector<std::string>& messages() const { return messages_; }

    // The title settings every job here runs with.
    static constexpr const char* kPrefix = "正版 ";
    static constexpr const char* kSuffix = " 包邮";
    static constexpr int kTitleLimit = 24;

    // "多开登录" with the demo account's password; true when the row was added.
    bool LogIn();
    // Waits (bounded) until the pipeline has drained, then presses stop and joins every
    // worker. False when the job did not drain in time (it is stopped all the same).
    bool RunToEnd(bool importJob = false, int timeoutMs = 60000);
    // Where the pipeline stands (cursors, counts, running crawlers), for failure messages.
    std::string Describe();
    // Presses stop and joins the workers.
    void StopAndJoin();

    // The keyword of a field (title character, author, publisher) that the most books of
    // the catalogue share, found from the catalogue itself.
    std::string CommonTitleCharacter();
    std::string CommonAuthor();
    std::string CommonPublisher();

    // Outer codes of the shop's items, of the collected rows reading "上传成功" and of the
    // account's ProductData records; each sorted, duplicates kept.
    std::vector<std::string> ShopCodes();
    std::vector<std::string> SucceededRowCodes();
    std::vector<std::string> RecordedCodes();

private:
    LocalSites sites_;
    std::vector<std::string> messages_;
};

}  // namespace vt::testing
