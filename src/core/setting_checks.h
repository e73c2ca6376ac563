// The numbers a seller keeps in Data/Setting.ini. Every consumer reads a settings text as
// the number it starts with (0 when it starts with none), as the seller's files have
// always been read: "8.5折" is 8.5, an empty box is 0. The checks at load time change
// nothing a seller can mean; they only refuse what would do harm (a discount above 100
// tenths, a negative amount or count, a page past 10000, bytes that are no text, a file
// that cannot be read), putting the key's default in its place. A value that is not a
// plain number but is used as read is reported too, so the seller sees what it counts as.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/sys_config.h"

namespace vt {

// What the settings file reader gives for a key the file does not hold.
inline constexpr const char* kMissingSetting = "d";

// The decimal number a text starts with (blanks first are skipped, then an optional sign,
// digits and one decimal point); 0 when the text starts with none. Exponents, "inf",
// "nan" and hexadecimal are not numbers here.
double SettingDecimal(std::string_view text);
// The whole number a text starts with (blanks, optional sign, digits; 0 when none),
// clamped to the range of long instead of overflowing.
long SettingInteger(std::string_view text);

struct SettingProblem {
    std::string key;
    std::string value;      // as loaded ("d" for a missing key)
    std::string used;       // the default put in its place, or the number it counts as
    bool replaced = false;  // true: refused and replaced by the default
    bool operator==(const SettingProblem&) const = default;
};

// Checks every numeric key of the record: a refused value is replaced by the default, a
// value that is not a plain number is left as it is. fileReadable false (the file is
// missing, unreadable, empty or binary) refuses every value that is not a plain number,
// since none of them was typed by the seller. Returns the problems in key order.
std::vector<SettingProblem> CheckNumericSettings(SysConfig& config, bool fileReadable = true);

// The problem one value of a numeric key gives, if any (nothing else for other keys).
std::optional<SettingProblem> CheckNumericSetting(const std::string& key, const std::string& value);

// True when the settings file can serve as the seller's settings: it exists, can be read,
// holds more than blanks and no zero byte.
bool SettingsFileReadable(const std::string& path);

// True for the keys checked above (the settings pages give them number-only boxes).
bool IsNumericSetting(const std::string& key);

// One line per problem: "设置项 KEY 的值 "VALUE" 无效，已改用默认值 DEFAULT", or
// "设置项 KEY 的值 "VALUE" 不是纯数字，按 NUMBER 使用".
std::string DescribeSettingProblem(const SettingProblem& problem);

}  // namespace vt
