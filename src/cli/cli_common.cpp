#include "cli/cli_common.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/data_folder.h"
#include "app/startup.h"
#include "base/files.h"
#include "base/text.h"
#include "cli/exit_codes.h"
#include "cli/input_checks.h"
#include "core/setting_checks.h"

namespace vt::cli {

void AddCommonOptions(CLI::App& command, CommonOptions& options) {
    command.add_option(
        "--app-dir", options.appDir,
        "Folder holding Data, DataBase, Log and images (default: beside the executable when it "
        "holds them, else the per-user folder under $XDG_DATA_HOME)");
}

std::string AppDirOf(const CommonOptions& options) {
    std::string dir = options.appDir;
    if (dir.empty()) {
        // Beside the executable when it holds the tree, else the per-user folder (made
        // from the installed tree on first start).
        const DataFolderChoice folder = ChooseDataFolder(DataFolderInputsFromEnvironment(""));
        if (!folder.error.empty())
            std::cerr << "data folder: " << U8(folder.error) << std::endl;
        dir = U8(folder.dir);
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    // Absolute, so that the summary says where the files of the job went.
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(dir, ec).lexically_normal().string();
    if (!ec && !absolute.empty())
        dir = absolute;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::unique_ptr<AppContext> MakeContext(const CommonOptions& options, int& exitCode) {
    const std::string dir = AppDirOf(options);
    bool notFound = false;
    const std::string problem = CheckAppDir(dir, notFound);
    if (!problem.empty()) {
        exitCode = Error(problem, notFound ? kExitUsage : kExitFailure);
        return nullptr;
    }
    auto ctx = std::make_unique<AppContext>(Gbk(dir));
    if (!ctx->hosts().LoadProblem().empty()) {
        exitCode = Error(U8(ctx->hosts().LoadProblem()), kExitFailure);
        return nullptr;
    }
    // What the settings file holds that is refused, or read as a number it does not spell
    // plainly, is already in the log; the seller running a command sees it too.
    for (const SettingProblem& problem : StartUp(*ctx))
        std::cerr << U8(DescribeSettingProblem(problem)) << '\n';
    exitCode = kExitOk;
    return ctx;
}

std::unique_ptr<AppContext> MakeContext(const CommonOptions& options) {
    int exitCode = kExitOk;
    return MakeContext(options, exitCode);
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

int Error(const std::string& utf8Message, int code) {
    std::cerr << "error: " << utf8Message << std::endl;
    return code;
}

}  // namespace vt::cli
