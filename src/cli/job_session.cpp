#include "cli/job_session.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <iostream>
#include <thread>

#include "app/data_files.h"
#include "app/job_progress.h"
#include "app/panel_actions.h"
#include "cli/cli_common.h"
#include "cli/exit_codes.h"
#include "cli/input_checks.h"
#include "cli/job_report.h"
#include "cli/setting_overrides.h"
#include "cli/site_probe.h"
#include "core/publish_state.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"

namespace vt::cli {
namespace {

// The signal that asked the job to stop (0: none). A handler may only set a flag.
volatile std::sig_atomic_t gStopSignal = 0;
constexpr int kMaxRenewals = 3;

void OnStopSignal(int signal) {
    gStopSignal = signal;
}

// SIGINT and SIGTERM both stop the job after the current items, with its summary and
// report; the previous handlers come back at the end.
class StopSignals {
public:
    StopSignals() {
        gStopSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

bool ReadFirstLine(const std::string& path, std::string& line) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

std::size_t TerminalWidth() {
    struct winsize size {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// One line redrawn in place on a terminal, cut to its width.
void DrawProgress(const std::string& line) {
    const std::size_t width = TerminalWidth();
    std::string shown = line.substr(0, width > 1 ? width - 1 : width);
    std::cerr << "\r" << shown << "\033[K" << std::flush;
}

}  // namespace

void AddAccountOptions(CLI::App& command, AccountOptions& options) {
    command.add_option("--nick", options.nick, "The seller's member name (with --password-file)");
    command.add_option("--password-file", options.passwordFile,
                       "File whose first line is the password (with --nick)");
    command.add_option("--cookie-file", options.cookieFile,
                       "File holding a logged-in cookie string (instead of --nick)");
}

void AddPacingOption(CLI::App& command, int& pacingMs) {
    command
        .add_option("--pacing-ms", pacingMs,
                    "Least time per upload and account in ms (default 3000, as the marketplace "
                    "expects; a shorter one is for the stand-ins)")
        ->check(CLI::Range(0, 60000));
}

void KeepRecordsOnlyForDataFiles(AppContext& ctx) {
    const bool filesWanted =
        DataFileChoices::FromSettings(ctx.config()).Any() || ctx.panel().PreviewOnly();
    ctx.collected().SetKeepHandledRecords(filesWanted);
}

void ApplyPacing(AppContext& ctx, int pacingMs) {
    if (pacingMs >= 0)
        ctx.publishing().SetPublishPacingMs(pacingMs);
}

std::string CheckAccountOptions(const AccountOptions& o, bool required) {
    if (!o.cookieFile.empty()) {
        if (!o.nick.empty() || !o.passwordFile.empty())
            return "give either --cookie-file or --nick with --password-file, not both";
        return CheckCookieFile(o.cookieFile);
    }
    if (!o.nick.empty() && o.passwordFile.empty())
        return "--nick needs --password-file (a file whose first line is the password)";
    if (o.nick.empty() && !o.passwordFile.empty())
        return "--password-file needs --nick (the seller's member name)";
    if (!o.nick.empty())
        return CheckPasswordFile(o.passwordFile);
    if (required)
        return "this command publishes to the shop and needs the seller's account: give "
               "--nick NAME --password-file FILE, or --cookie-file FILE";
    return {};
}

std::vector<HostRole> MarketRoles() {
    return {HostRole::MarketLogin, HostRole::MarketUpload, HostRole::MarketSell};
}

bool SellerLogin::List(AppContext& ctx, const AccountOptions& options) {
    if (!options.cookieFile.empty()) {
        source_ = std::make_unique<FileCookieSource>(Gbk(options.cookieFile));
    } else if (!options.nick.empty()) {
        std::string password;
        if (!ReadFirstLine(options.passwordFile, password)) {
            Fail("无法读取密码文件：" + Gbk(options.passwordFile));
            return false;
        }
        source_ = std::make_unique<PasswordLogin>(ctx.hosts(), Gbk(options.nick), Gbk(password));
    } else {
        return true;
    }
    if (ConfirmMultiLogin(ctx, *source_) == MultiLoginOutcome::Added)
        return true;
    const std::string unreachable = FirstUnreachable(
        ctx.hosts(), {HostRole::MarketLogin, HostRole::MarketUpload, HostRole::MarketSell});
    if (!unreachable.empty())
        std::cerr << "error: login failed: " << unreachable << std::endl;
    else if (!options.cookieFile.empty())
        std::cerr << "login failed: the cookie in " << options.cookieFile
                  << " is not logged in on the marketplace (expired or of another site)"
                  << std::endl;
    else
        std::cerr << "login failed: wrong member name or password for " << options.nick
                  << std::endl;
    return false;
}

bool SellerLogin::Renew(AppContext& ctx) {
    return source_ && ConfirmSingleLogin(ctx, *source_);
}

int RunJobToEnd(AppContext& ctx, const RunOptions& options) {
    StopSignals signals;
    CollectedNotes notes(ctx);
    const bool terminal = isatty(STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double lastPlain = 0;
    int renewals = 0;
    bool gaveUp = false;
    while (!gStopSignal && !ctx.panel().JobStopped() && !PipelineDrained(ctx, options.importJob)) {
        if (terminal) {
            DrawProgress(ProgressLine(ctx, elapsed()));
        } else if ((elapsed() - lastPlain) * 1000 >= options.plainProgressMs) {
            lastPlain = elapsed();
            std::cerr << ProgressLine(ctx, lastPlain) << std::endl;
        }
        if (!ctx.session().LoginValid() && options.login) {
            // The workers idle until a login succeeds: a few attempts, then the job ends.
            std::cerr << (terminal ? "\n" : "") << U8("登陆失效，请重新登录") << std::endl;
            if (renewals++ == kMaxRenewals) {
                gaveUp = true;
                break;
            }
            if (options.login->Renew(ctx))
                std::cerr << U8(ctx.session().Title()) << std::endl;
            else
                std::this_thread::sleep_for(std::chrono::seconds(2));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(options.pollMs));
    }
    const int stopSignal = gStopSignal;
    if (stopSignal)
        std::cerr << (terminal ? "\n" : "") << "stopping ("
                  << (stopSignal == SIGTERM ? "SIGTERM" : "SIGINT")
                  << "): the current items finish first" << std::endl;
    // As the stop button: every worker leaves after its current page or row.
    PressStop(ctx);
    ctx.workers().JoinAll();
    if (terminal)
        DrawProgress(ProgressLine(ctx, elapsed())), std::cerr << std::endl;

    const JobOutcome outcome = ClassifyBooks(ctx, &notes);
    ReportInfo info;
    info.command = options.command;
    info.interrupted = stopSignal != 0;
    info.elapsedSeconds = elapsed();
    if (stopSignal) {
        info.exitCode = kExitSignalBase + stopSignal;
        info.cause = "interrupted";
    } else if (gaveUp) {
        info.exitCode = kExitLoginLapsed;
    } else if (outcome.failed > 0 || outcome.unprocessed > 0 || ctx.network().LostListPages() > 0) {
        info.exitCode = kExitPartial;
    }
    if (!stopSignal) {
        // A site that went away mid-job looks like many failed or dropped books (a product
        // page that did not come reads as one without an ISBN); say which one.
        std::vector<HostRole> roles = options.roles;
        std::string unreachable;
        for (HostRole role : roles) {
            unreachable = FirstUnreachable(ctx.hosts(), {role});
            if (!unreachable.empty())
                break;
        }
        const std::string stopReason = ctx.network().StopReason();
        if (!unreachable.empty() || !stopReason.empty()) {
            // The probe names the Hosts.ini entry; the stop says what the job saw.
            info.cause = unreachable;
            if (!stopReason.empty())
                info.cause += (unreachable.empty() ? "" : "; ") + U8(stopReason);
            info.exitCode = kExitFailure;
        } else if (gaveUp) {
            info.cause = "the login lapsed and logging in again failed " +
                         std::to_string(kMaxRenewals) + " times";
        } else if (info.exitCode != kExitOk) {
            info.cause = std::to_string(outcome.failed) + " books failed, " +
                         std::to_string(outcome.unprocessed) + " left unprocessed";
            if (ctx.network().LostListPages() > 0)
                info.cause += ", " + std::to_string(ctx.network().LostListPages()) +
                              " list pages could not be read";
        }
    }

    const bool reportToStdout = options.reportPath == "-";
    std::ostream& summaryOut = reportToStdout ? std::cerr : std::cout;
    summaryOut << Summary(ctx, outcome, info.elapsedSeconds, info.interrupted) << std::flush;
    if (!options.reportPath.empty()) {
        const std::string text =
            BuildReport(ctx, outcome, info)
                .dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
            "\n";
        if (reportToStdout) {
            std::cout << text << std::flush;
        } else {
            std::ofstream out(options.reportPath, std::ios::binary | std::ios::trunc);
            out << text;
            out.close();
            if (!out) {
                std::cerr << "error: the report could not be written to " << options.reportPath
                          << std::endl;
                return kExitFailure;
            }
            std::cout << "report:    " << options.reportPath << std::endl;
        }
    }
    if (!info.cause.empty() && info.exitCode != kExitOk)
        std::cerr << "error: " << info.cause << std::endl;
    return info.exitCode;
}

int ReachSitesAndLogIn(AppContext& ctx, std::initializer_list<HostRole> roles, SellerLogin& login,
                       const AccountOptions& account, const std::vector<std::string>& sets) {
    // An unreachable site is named here rather than showing as a job that found nothing.
    const std::string unreachable = FirstUnreachable(ctx.hosts(), roles);
    if (!unreachable.empty())
        return Error(unreachable, kExitFailure);
    if (!login.List(ctx, account))
        return kExitFailure;
    const std::string freight = ApplyFreightOverride(ctx, sets);
    if (!freight.empty())
        return Error(freight, kExitUsage);
    return kExitOk;
}

}  // namespace vt::cli
