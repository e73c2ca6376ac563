#include "cli/cli_common.h"

#include <cstdio>
#include <iostream>

#include "app/data_folder.h"
#include "app/startup.h"
#include "base/files.h"
#include "base/text.h"

namespace vt::cli {

void AddCommonOptions(CLI::App& command, CommonOptions& options) {
    command.add_option(
        "--app-dir", options.appDir,
        "Folder holding Data, DataBase, Log and images (default: beside the executable when it "
        "holds them, else the per-user folder under $XDG_DATA_HOME)");
}

std::unique_ptr<AppContext> MakeContext(const CommonOptions& options) {
    const DataFolderChoice folder =
        ChooseDataFolder(DataFolderInputsFromEnvironment(options.appDir));
    if (!folder.error.empty())
        std::cerr << "data folder: " << U8(folder.error) << std::endl;
    auto ctx = std::make_unique<AppContext>(folder.dir);
    StartUp(*ctx);
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
