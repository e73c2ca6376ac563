// The exit codes of vantrell-cli, one per kind of outcome, so that a script can tell a
// job that did everything from one that did part of it or nothing.
#pragma once

namespace vt::cli {

enum ExitCode : int {
    kExitOk = 0,           // every book found was published or skipped with a reason
    kExitFailure = 1,      // nothing could be done: a site, the account, the app folder
    kExitUsage = 2,        // the command line or an input file is wrong; nothing was done
    kExitLoginLapsed = 3,  // the login lapsed mid-job and logging in again failed
    kExitPartial = 4,      // some books failed or were left unprocessed
};

// An interrupted job exits 128 + the signal (130 for SIGINT, 143 for SIGTERM).
inline constexpr int kExitSignalBase = 128;

// The table shown by --help and the README.
inline constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0    done: every book found was published or skipped with a recorded reason\n"
    "  1    failure: a site cannot be reached, the login failed, the app folder is unusable\n"
    "  2    usage error: a wrong option, value or input file; nothing was done\n"
    "  3    the login lapsed during the job and logging in again failed\n"
    "  4    partial: some books failed or were left unprocessed (see the summary)\n"
    "  130  interrupted by SIGINT (Ctrl-C); 143 by SIGTERM; a re-run continues\n";

}  // namespace vt::cli
