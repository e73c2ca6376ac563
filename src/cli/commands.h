// The subcommands of vantrell-cli. Each registers itself on the application and sets
// the function that runs it when chosen.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace vt::cli {

// The command chosen on the command line; returns the process exit code.
using Runner = std::function<int()>;

void AddInspectCommands(CLI::App& app, Runner& run);
void AddLoginCommand(CLI::App& app, Runner& run);
void AddPriceCommand(CLI::App& app, Runner& run);
void AddCollectCommand(CLI::App& app, Runner& run);
void AddImportCommand(CLI::App& app, Runner& run);
// "inspect item" (after AddInspectCommands) and "publish".
void AddItemCommands(CLI::App& app, Runner& run);

}  // namespace vt::cli
