#include "cli/cli_common.h"

#include <cstdio>
#include <iostream>

#include "app/startup.h"
#include "base/files.h"
#include "base/text.h"

namespace vt::cli {

void AddCommonOptions(CLI::App& command, CommonOptions& options) {
    command.add_option(
        "--app-dir", options.appDir,
        "Folder holding Data, DataBase, Log and images (default: beside the executable)");
}

std::unique_ptr<AppContext> MakeContext(const CommonOptions& options) {
    std::string dir = options.appDir.empty() ? AppDir() : Gbk(options.appDir);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    auto ctx = std::make_unique<AppContext>(dir);
    // A refused setting is already in the log; the seller running a command sees it too.
    for (const SettingProblem& problem : StartUp(*ctx))
        std::cerr << U8(DescribeSettingProblem(problem)) << '\n';
    return ctx;
}

std::string U8(const std::string& gbk) {
    return GbkToUtf8(gbk);
}
std::string Gbk(const std::string& utf8) {
    return Utf8ToGbk(utf8);
}

void PrintJson(const nlohmann::json& doc) {
    std::cout << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
}

int Fail(const std::string& gbkMessage, int code) {
    std::cerr << U8(gbkMessage) << std::endl;
    return code;
}

}  // namespace vt::cli
