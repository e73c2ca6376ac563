// What the job commands share: logging the seller in as the multi-login panel would,
// and running a started job until its pipeline has drained, with a progress line, the
// summary and the report at the end, and an exit code that tells how it went.
#pragma once

#include <CLI/CLI.hpp>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "base/hosts.h"
#include "core/context.h"
#include "market/cookie_sources.h"

namespace vt::cli {

struct AccountOptions {
    std::string nick;
    std::string passwordFile;
    std::string cookieFile;

    bool Given() const { return !nick.empty() || !passwordFile.empty() || !cookieFile.empty(); }
};

void AddAccountOptions(CLI::App& command, AccountOptions& options);

// --pacing-ms: the time one upload takes at least, per account (-1: the product's own).
void AddPacingOption(CLI::App& command, int& pacingMs);
// Applies it to the context before the job starts.
void ApplyPacing(AppContext& ctx, int pacingMs);
// A headless run writes its data files at its end and never again: when the settings
// choose none (and no preview asks for the workbook), a handled book's record is let go.
void KeepRecordsOnlyForDataFiles(AppContext& ctx);

// The account options and their files, before any work: --nick and --password-file
// together, or --cookie-file; each file readable and of its kind. required: the command
// cannot run without an account. Empty when fine, else the message (UTF-8).
std::string CheckAccountOptions(const AccountOptions& options, bool required);

// The sites a job of this kind talks to, checked before it starts.
std::vector<HostRole> MarketRoles();

// The seller's account for a headless job: listed as "多开登录" does, and logged in again
// with the same name and password (or cookie file) when the login lapses mid-job, as a
// seller at the desktop would.
class SellerLogin {
public:
    // Without options nothing is listed. False, with the cause on standard error (wrong
    // name or password, marketplace unreachable, cookie not logged in), when the login
    // is not valid.
    bool List(AppContext& ctx, const AccountOptions& options);
    // The login dialog's confirmation with a fresh cookie; true when it is valid again.
    bool Renew(AppContext& ctx);

private:
    std::unique_ptr<CookieSource> source_;
};

// Before a job's work: every site it needs answers, the account logs in and the
// freight template of --set is loaded from it. kExitOk, or the exit code of the first
// failure after its cause went to standard error.
int ReachSitesAndLogIn(AppContext& ctx, std::initializer_list<HostRole> roles, SellerLogin& login,
                       const AccountOptions& account, const std::vector<std::string>& sets);

struct RunOptions {
    std::string command;     // "collect", "import-codes", "demo": named in the report
    std::string reportPath;  // UTF-8; empty: no report; "-": standard output
    int pollMs = 200;
    int plainProgressMs = 5000;  // a progress line this often when stderr is no terminal
    // A codes import: no crawler ever ends it (its list-thread count stays up).
    bool importJob = false;
    // Logs in again when the login lapses; null: the job waits, as the desktop does.
    SellerLogin* login = nullptr;
    // Checked again when books failed, to name a site that went away.
    std::vector<HostRole> roles;
};

// Waits until every to-collect row is processed, every collected book is published or
// failed and no crawler runs, or until SIGINT or SIGTERM; then stops the job as "停止采集"
// does. Shows progress, prints the summary, writes the report. Returns the exit code.
int RunJobToEnd(AppContext& ctx, const RunOptions& options);

}  // namespace vt::cli
