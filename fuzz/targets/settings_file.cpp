// The private-profile reader and writer on any file a seller (or a broken disk) leaves
// as Data/Setting.ini, and the settings checks behind it: every numeric value that
// survives the checks must not be refused again, a written value must read back, and writing
// one key must not change what another key reads.
#include <cctype>

#include "base/files.h"
#include "base/ini_file.h"
#include "core/context.h"
#include "core/setting_checks.h"
#include "core/settings_store.h"
#include "core/sys_config.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

namespace {

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

int FuzzSettingsFile(const std::uint8_t* data, std::size_t size) {
    AppContext& ctx = FuzzContext();
    // file contents, key written, value written, key read beside it
    const auto parts = SplitInput(data, size, 4);
    const std::string path = ctx.SettingsPath();
    Require(WriteBytesFile(path, parts[0]), "the settings file can be written");

    SysConfig config;
    LoadSettingKeys(config, path);
    CheckNumericSettings(config, SettingsFileReadable(path));
    for (const SettingProblem& p : CheckNumericSettings(config))
        Require(!p.replaced, "values the checks put in pass them again");

    ReadProfileString(path, kSettingsSection, "PriceDazheP", "d");
    ReadProfileInt(path, kSettingsSection, "PageFrom", 1);

    const std::string& key = parts[1];
    const std::string& value = parts[2];
    const std::string& other = parts[3];
    // Keys are names without blanks, control bytes, '=' or brackets; such a key is all the
    // program ever writes.
    if (key.empty() || HasZeroByte(value))
        return 0;
    for (char c : key)
        if (static_cast<unsigned char>(c) <= ' ' || c == '=' || c == '[' || c == ']' || c == ';')
            return 0;
    const std::string before = ReadProfileString(path, kSettingsSection, other, "\x01missing");
    if (!WriteProfileString(path, kSettingsSection, key, value))
        return 0;
    if (!HasLineBreak(value))
        Require(ReadProfileString(path, kSettingsSection, key, "\x01missing") == value,
                "a written value reads back");
    bool sameKey = other.size() == key.size();
    for (std::size_t i = 0; sameKey && i < key.size(); ++i)
        sameKey = std::tolower(static_cast<unsigned char>(key[i])) ==
                  std::tolower(static_cast<unsigned char>(other[i]));
    if (!sameKey)
        Require(ReadProfileString(path, kSettingsSection, other, "\x01missing") == before,
                "writing one key leaves the others as they read");
    return 0;
}

}  // namespace vt::fuzz
