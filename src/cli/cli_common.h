// What every headless command shares: finding the installed tree, making the context,
// and printing GBK text to a UTF-8 terminal or JSON.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "core/context.h"

namespace vt::cli {

// Options every command takes.
struct CommonOptions {
    std::string appDir;  // UTF-8 as typed; empty: the folder of the executable
};

// Adds --app-dir to a subcommand.
void AddCommonOptions(CLI::App& command, CommonOptions& options);

// The installed tree the options name (UTF-8, no trailing slash).
std::string AppDirOf(const CommonOptions& options);

// The context over the chosen installed tree, with the settings loaded as at start-up.
// Null, with the cause on standard error and exitCode set, when the tree is unusable:
// a missing folder or data file, a folder that cannot be written, a Hosts.ini without a
// usable value for every role.
std::unique_ptr<AppContext> MakeContext(const CommonOptions& options, int& exitCode);
// The same where the caller only needs to know whether it worked.
std::unique_ptr<AppContext> MakeContext(const CommonOptions& options);

// GBK -> UTF-8 for terminal and JSON output.
std::string U8(const std::string& gbk);
// UTF-8 (arguments, file names typed by the user) -> GBK.
std::string Gbk(const std::string& utf8);

// Prints a JSON document (UTF-8) to standard output, indented.
void PrintJson(const nlohmann::json& doc);

// A validation or runtime error in the system's own words: printed (UTF-8) on standard
// error; the command exits non-zero.
int Fail(const std::string& gbkMessage, int code = 1);
// "error: " + a message already in UTF-8, on standard error; returns the code.
int Error(const std::string& utf8Message, int code);

}  // namespace vt::cli
