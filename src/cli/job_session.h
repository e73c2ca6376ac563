// What the job commands share: logging the seller in as the multi-login panel would,
// and running a started job until its pipeline has drained, with a progress line on a
// terminal and the summary and report at the end.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "app/context.h"

namespace vt::cli {

struct AccountOptions {
    std::string nick;
    std::string passwordFile;
    std::string cookieFile;
};

void AddAccountOptions(CLI::App& command, AccountOptions& options);

// Lists the seller's account as "多开登录" does (the cookie from the login form or from
// the file). Without options nothing is listed, and the job start refuses as it does on
// the desktop. False, with a message on standard error, when the login is not valid.
bool ListSellerAccount(AppContext& ctx, const AccountOptions& options);

struct RunOptions {
    std::string reportPath;  // UTF-8; empty: no report
    int pollMs = 200;
    // A codes import: no crawler ever ends it (its list-thread count stays up).
    bool importJob = false;
};

// Waits until every to-collect row is processed, every collected book is published or
// failed and no crawler runs; then stops the job as "停止采集" does. Shows progress on a
// terminal, prints the summary, writes the report. Returns the exit code.
int RunJobToEnd(AppContext& ctx, const RunOptions& options);

}  // namespace vt::cli
