// "login": checks a seller login against the configured marketplace, as the login
// dialog's confirmation does, and prints the account state the title would show.
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/cli_common.h"
#include "cli/commands.h"
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
    if (!ReadPassword(options.passwordFile, password))
        return Fail("无法读取密码文件：" + Gbk(options.passwordFile), 2);
    auto ctx = MakeContext(options.common);
    ctx->session().SetMessageHandler(
        [](const std::string& message) { std::cout << U8(message) << std::endl; });
    PasswordLogin source(ctx->hosts(), Gbk(options.nick), Gbk(password));
    const bool valid = ConfirmSingleLogin(*ctx, source);
    std::cout << U8(ctx->session().Title()) << std::endl;
    return valid ? 0 : 1;
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
