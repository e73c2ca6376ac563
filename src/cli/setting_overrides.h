// "--set KEY=VALUE": any key of Data/Setting.ini, and the settings the window keeps only
// in memory (the price adjustment's sign, the collection price range and its basis, the
// stock check and its region rule, the on-sale check by outer code, the freight
// template), for this run only; nothing is saved.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "core/context.h"

namespace vt::cli {

// Adds --set (repeatable) with the list of keys in its help.
void AddSetOption(CLI::App& command, std::vector<std::string>& pairs);

// Every pair names a known key with a value of its kind; empty when fine, else the
// message (UTF-8). accountGiven: FreightTemplate needs the seller's account.
std::string CheckSettingOverrides(const std::vector<std::string>& pairs, bool accountGiven);

// Applies the pairs to the loaded settings (FreightTemplate aside).
void ApplySettingOverrides(AppContext& ctx, const std::vector<std::string>& pairs);
// MakeContext, then the --set pairs of this run applied; null with exitCode as there.
std::unique_ptr<AppContext> MakeContextWithSettings(const CommonOptions& options,
                                                    const std::vector<std::string>& pairs,
                                                    int& exitCode);

// With a FreightTemplate pair: loads the logged-in seller's templates and selects the one
// named by its text or value. Empty when fine (or not asked), else the message (UTF-8).
std::string ApplyFreightOverride(AppContext& ctx, const std::vector<std::string>& pairs);

}  // namespace vt::cli
