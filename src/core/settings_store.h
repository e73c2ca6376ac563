// Loading and saving the settings: the keys of Data/Setting.ini (section SYSCONFIG) and
// the lists the settings pages keep in Data/File.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/setting_checks.h"
#include "core/sys_config.h"

namespace vt {

class AppContext;
class Log;

inline constexpr const char* kSettingsSection = "SYSCONFIG";

// What the front end shows after "保存": on success the message is "保存成功"; otherwise
// it names the step that failed, and nothing after that step was written.
struct SaveResult {
    bool ok = false;
    std::string message;
};

// Start-up loading, as the settings dialog does it while its pages are created: the
// data files of the pages (default content, category mapping, regions, prefix, suffix,
// filter keywords, forbidden books), then the keys of the settings file. Missing files
// read as empty; each missing file but the mapping leaves a "[不存在]" log entry.
// Then the numeric keys are checked: each refused value is replaced by its default;
// refused values and those read as a number they do not spell plainly are logged and
// returned for the front end to show.
std::vector<SettingProblem> LoadSettings(SysConfig& config, const AppContext& paths, Log& log);
std::vector<SettingProblem> LoadSettings(AppContext& context);

// "保存": the category mapping file, every key of Data/Setting.ini (check boxes, radio
// groups, texts), the five text lists and the region list, in that order.
SaveResult SaveSettings(const SysConfig& config, const AppContext& paths);
SaveResult SaveSettings(AppContext& context);

// Only the keys of the settings file. Radio groups: missing = 0, a value other than
// 0 or 1 = kNoChoice; the price sign: anything but 1 = kPlus. Check boxes and texts: a
// missing key reads as "d"; a check box takes only "true" or "false" (any other value
// leaves it as it is).
void LoadSettingKeys(SysConfig& config, const std::string& settingsPath);

// "地区.txt": one "code,name,TRUE|FALSE" match per row, found anywhere within a line
// (a row needs a code of digits). A malformed line is skipped alone.
std::vector<Region> ParseRegions(std::string_view text);
// The exact bytes of "地区.txt": code, ",", name, ",TRUE\r\n" or ",FALSE\r\n" per row.
std::string FormatRegions(const std::vector<Region>& regions);

// "Vantrell淘宝分类对应.txt": "source,shop" per line. Each line goes to the top of the
// list, so the result (top row first) is the file's lines in reverse order. Empty lines
// are skipped; a line without a comma has an empty shop; pieces after a second comma
// are ignored.
std::vector<CategoryMapping> ParseCategoryMapping(std::string_view text);
// The file's bytes: the rows top to bottom, each "source,shop\r\n".
std::string FormatCategoryMapping(const std::vector<CategoryMapping>& rows);

}  // namespace vt
