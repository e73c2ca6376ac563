// What the job commands share: logging the seller in as the multi-login panel would,
// and running a started job until its pipeline has drained, with a progress line on a
// terminal and the summary and report at the end.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "core/context.h"
#include "market/cookie_sources.h"

namespace vt::cli {

struct AccountOptions {
    std::string nick;
    std::string passwordFile;
    std::string cookieFile;
};

void AddAccountOptions(CLI::App& command, AccountOptions& options);

// The seller's account for a headless job: listed as "多开登录" does, and logged in again
// with the same name and password (or cookie file) when the login lapses mid-job, as a
// seller at the desktop would.
class SellerLogin {
public:
    // Without options nothing is listed, and the job start refuses as it does on the
    // desktop. False, with a message on standard error, when the login is not valid.
    bool List(AppContext& ctx, const AccountOptions& options);
    // The login dialog's confirmation with a fresh cookie; true when it is valid again.
    bool Renew(AppContext& ctx);

private:
    std::unique_ptr<CookieSource> source_;
};

struct RunOptions {
    std::string reportPath;  // UTF-8; empty: no report
    int pollMs = 200;
    // A codes import: no crawler ever ends it (its list-thread count stays up).
    bool importJob = false;
    // Logs in again when the login lapses; null: the job waits, as the desktop does.
    SellerLogin* login = nullptr;
};

// Waits until every to-collect row is processed, every collected book is published or
// failed and no crawler runs; then stops the job as "停止采集" does. Shows progress on a
// terminal, prints the summary, writes the report. Returns the exit code.
int RunJobToEnd(AppContext& ctx, const RunOptions& options);

}  // namespace vt::cli
