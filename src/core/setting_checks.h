// The numbers a seller keeps in Data/Setting.ini, checked when they are loaded: a value
// that is missing, not a plain number or outside its sound range would otherwise price
// every item at 0.00 or at an absurd amount, or crawl thousands of pages. Such a value
// is replaced by the key's default (the value the shipped file carries) and reported.
#pragma once

#include <string>
#include <vector>

#include "core/sys_config.h"

namespace vt {

// What the settings file reader gives for a key the file does not hold.
inline constexpr const char* kMissingSetting = "d";

struct SettingProblem {
    std::string key;
    std::string value;     // as loaded ("d" for a missing key)
    std::string fallback;  // the default used instead
    bool operator==(const SettingProblem&) const = default;
};

// Checks every numeric key of the record and puts the default in place of each value
// it refuses. Returns the refused values in key order.
std::vector<SettingProblem> CheckNumericSettings(SysConfig& config);

// True for the keys checked above (the settings pages give them number-only boxes).
bool IsNumericSetting(const std::string& key);

// "设置项 KEY 的值 "VALUE" 无效，已改用默认值 FALLBACK": one line per problem.
std::string DescribeSettingProblem(const SettingProblem& problem);

}  // namespace vt
