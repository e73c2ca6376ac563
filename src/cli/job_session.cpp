#include "cli/job_session.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <iostream>
#include <thread>

#include "app/job_progress.h"
#include "app/panel_actions.h"
#include "cli/cli_common.h"
#include "cli/job_report.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"

namespace vt::cli {
namespace {

std::atomic<bool> gInterrupted{false};
constexpr int kMaxRenewals = 3;

void OnInterrupt(int) {
    gInterrupted = true;
}

bool ReadFirstLine(const std::string& path, std::string& line) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

}  // namespace

void AddAccountOptions(CLI::App& command, AccountOptions& options) {
    command.add_option("--nick", options.nick, "The seller's member name (with --password-file)");
    command.add_option("--password-file", options.passwordFile,
                       "File whose first line is the password");
    command.add_option("--cookie-file", options.cookieFile,
                       "File holding a logged-in cookie string");
}

bool SellerLogin::List(AppContext& ctx, const AccountOptions& options) {
    if (!options.cookieFile.empty()) {
        source_ = std::make_unique<FileCookieSource>(Gbk(options.cookieFile));
    } else if (!options.nick.empty() || !options.passwordFile.empty()) {
        std::string password;
        if (options.nick.empty() || !ReadFirstLine(options.passwordFile, password)) {
            Fail("无法读取密码文件：" + Gbk(options.passwordFile));
            return false;
        }
        source_ = std::make_unique<PasswordLogin>(ctx.hosts(), Gbk(options.nick), Gbk(password));
    } else {
        return true;  // no account: the job start says what is missing
    }
    if (ConfirmMultiLogin(ctx, *source_) != MultiLoginOutcome::Added) {
        Fail("登陆失败");
        return false;
    }
    return true;
}

bool SellerLogin::Renew(AppContext& ctx) {
    return source_ && ConfirmSingleLogin(ctx, *source_);
}

int RunJobToEnd(AppContext& ctx, const RunOptions& options) {
    gInterrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    const bool terminal = isatty(STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    int renewals = 0;
    bool gaveUp = false;
    while (!gInterrupted && !ctx.panel().JobStopped() && !PipelineDrained(ctx, options.importJob)) {
        if (terminal)
            std::cerr << "\r" << ProgressLine(ReadFigures(ctx), elapsed()) << "   " << std::flush;
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
    // As the stop button: every worker leaves after its current page or row.
    PressStop(ctx);
    ctx.workers().JoinAll();
    std::signal(SIGINT, previous);
    if (terminal)
        std::cerr << "\r" << ProgressLine(ReadFigures(ctx), elapsed()) << "   " << std::endl;

    std::cout << Summary(ctx, elapsed());
    if (!options.reportPath.empty()) {
        std::ofstream out(options.reportPath, std::ios::binary | std::ios::trunc);
        out << BuildReport(ctx, ctx.session().Title())
                   .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
        if (!out)
            return Fail("报告写入失败：" + Gbk(options.reportPath));
        std::cout << "report: " << options.reportPath << std::endl;
    }
    if (gaveUp)
        return Fail("登陆失效，请重新登录", 3);
    return gInterrupted ? 130 : 0;
}

}  // namespace vt::cli
