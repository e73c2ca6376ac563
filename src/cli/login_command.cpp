// "login": checks a seller login against the configured marketplace, as the login
// dialog's confirmation does, and prints the account state the title would show.
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/input_checks.h"
#include "cli/site_probe.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"

namespace vt::cli {

namespace {

struct LoginOptions {
    CommonOptions common;
    std::string nick;
    std::string passwordFile;
};

// The password is the file's first line; the line end an editor adds is not part of it.
bool ReadPassword(const std::string& path, std::string& password) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    password = text.substr(0, text.find_first_of("\r\n"));
    return true;
}

int RunLogin(const LoginOptions& options) {
    std::string password;
    const std::string problem = CheckPasswordFile(options.passwordFile);
    if (!problem.empty() || !ReadPassword(options.passwordFile, password))
        return Error(problem.empty() ? "the password file cannot be read" : problem, kExitUsage);
    int code = kExitOk;
    auto ctx = MakeContext(options.common, code);
    if (!ctx)
        return code;
    ctx->session().SetMessageHandler(
        [](const std::string& message) { std::cout << U8(message) << std::endl; });
    PasswordLogin source(ctx->hosts(), Gbk(options.nick), Gbk(password));
    const bool valid = ConfirmSingleLogin(*ctx, source);
    std::cout << U8(ctx->session().Title()) << std::endl;
    if (valid)
        return kExitOk;
    const std::string unreachable = FirstUnreachable(
        ctx->hosts(), {HostRole::MarketLogin, HostRole::MarketUpload, HostRole::MarketSell});
    return Error(
        unreachable.empty() ? "wrong member name or password for " + options.nick : unreachable,
        kExitFailure);
}

}  // namespace

void AddLoginCommand(CLI::App& app, Runner& run) {
    auto options = std::make_shared<LoginOptions>();
    auto* login = app.add_subcommand("login", "Check a seller login on the marketplace");
    login->add_option("--nick", options->nick, "The seller's member name")->required();
    login->add_option("--password-file", options->passwordFile, "File holding the password")
        ->required();
    AddCommonOptions(*login, options->common);
    login->callback([options, &run] { run = [options] { return RunLogin(*options); }; });
}

}  // namespace vt::cli
