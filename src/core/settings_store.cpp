#include "core/settings_store.h"

#include <cstdio>
#include <iterator>

#include "base/files.h"
#include "base/ini_file.h"
#include "base/log.h"
#include "core/context.h"

namespace vt {

namespace {

constexpr const char* kMappingFile = "Vantrell淘宝分类对应.txt";
constexpr const char* kRegionFile = "地区.txt";
constexpr const char* kSaved = "保存成功";

struct TextList {
    const char* file;
    std::string (SysConfig::*get)() const;
    void (SysConfig::*set)(std::string);
};

// In save order.
const TextList kTextLists[] = {
    {"前缀.txt", &SysConfig::PrefixText, &SysConfig::SetPrefixText},
    {"后缀.txt", &SysConfig::SuffixText, &SysConfig::SetSuffixText},
    {"违禁字.txt", &SysConfig::ForbiddenWordsText, &SysConfig::SetForbiddenWordsText},
    {"违规书籍.txt", &SysConfig::ForbiddenBooksText, &SysConfig::SetForbiddenBooksText},
    {"默认内容.txt", &SysConfig::DefaultContentText, &SysConfig::SetDefaultContentText},
};
#define VT_COUNT_ONE(name) +1
static_assert(std::size(kTextLists) == 0 VT_SYSCONFIG_TEXT_LISTS(VT_COUNT_ONE),
              "every text list needs its file");
#undef VT_COUNT_ONE

const TextList& TextListFor(void (SysConfig::*set)(std::string)) {
    for (const TextList& t : kTextLists)
        if (t.set == set)
            return t;
    return kTextLists[0];
}

int RadioFromFile(const std::string& path, const char* key) {
    int n = ReadProfileInt(path, kSettingsSection, key, 0);
    return (n == 0 || n == 1) ? n : kNoChoice;
}

std::string RadioToFile(int index) {
    return (index == 0 || index == 1) ? std::to_string(index) : std::string("-1");
}

// A missing mapping file is not worth a log entry (the list simply starts empty).
std::string ReadMappingFile(const std::string& path) {
    return DecodeTextFile(ReadFileBytes(path).value_or(std::string())).text;
}

// The line end an editor puts after the last word would otherwise become part of that
// word, which then matches no title.
bool IsWordList(void (SysConfig::*set)(std::string)) {
    return set == &SysConfig::SetForbiddenWordsText || set == &SysConfig::SetForbiddenBooksText;
}

std::string WithoutFinalLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Scans one line for "([0-9]*?),(.*?),(TRUE|FALSE)" match after match, leftmost first.
void ScanRegionLine(std::string_view line, std::vector<Region>& out) {
    std::size_t pos = 0;
    while (pos < line.size()) {
        // Leftmost start: a run of digits (maybe empty) that ends at a comma.
        std::size_t start = pos, comma = std::string_view::npos;
        while (start < line.size()) {
            std::size_t c = start;
            while (c < line.size() && IsDigit(line[c])) ++c;
            if (c < line.size() && line[c] == ',') {
                comma = c;
                break;
            }
            start = (c > start) ? c : start + 1;
        }
        if (comma == std::string_view::npos)
            return;
        // The shortest name up to ",TRUE" or ",FALSE".
        std::size_t j = comma + 1;
        std::size_t flagLen = 0;
        bool ticked = false;
        for (; j < line.size(); ++j) {
            if (line[j] != ',')
                continue;
            std::string_view rest = line.substr(j + 1);
            if (rest.starts_with("TRUE")) {
                flagLen = 4;
                ticked = true;
                break;
            }
            if (rest.starts_with("FALSE")) {
                flagLen = 5;
                break;
            }
        }
        if (flagLen == 0)
            return;  // no later start can find a flag either
        std::string_view code = line.substr(start, comma - start);
        if (!code.empty())  // a match without a code makes no row
            out.push_back(
                {std::string(code), std::string(line.substr(comma + 1, j - comma - 1)), ticked});
        pos = j + 1 + flagLen;
    }
}

}  // namespace

std::vector<Region> ParseRegions(std::string_view text) {
    std::vector<Region> regions;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        ScanRegionLine(text.substr(start, end - start), regions);
        start = end + 1;
    }
    return regions;
}

std::string FormatRegions(const std::vector<Region>& regions) {
    std::string bytes;
    for (const Region& r : regions)
        bytes += r.code + "," + r.name + (r.ticked ? ",TRUE\r\n" : ",FALSE\r\n");
    return bytes;
}

std::vector<CategoryMapping> ParseCategoryMapping(std::string_view text) {
    std::vector<CategoryMapping> rows;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        CategoryMapping row;
        std::size_t comma = line.find(',');
        row.source = std::string(line.substr(0, comma));
        if (comma != std::string_view::npos) {
            std::string_view rest = line.substr(comma + 1);
            row.shop = std::string(rest.substr(0, rest.find(',')));
        }
        rows.insert(rows.begin(), std::move(row));
    }
    return rows;
}

std::string FormatCategoryMapping(const std::vector<CategoryMapping>& rows) {
    std::string bytes;
    for (const CategoryMapping& r : rows) bytes += r.source + "," + r.shop + "\r\n";
    return bytes;
}

void LoadSettingKeys(SysConfig& config, const std::string& path) {
#define VT_SKIP(name)
#define VT_LOAD_RADIO(name) config.Set##name(RadioFromFile(path, #name));
    VT_SYSCONFIG_KEYS(VT_SKIP, VT_SKIP, VT_LOAD_RADIO)
#undef VT_LOAD_RADIO
    // The sign is a two-entry drop-down that always shows one entry: a file from before
    // the sign was saved, or any odd value, means "+".
    if (config.JiaJianSign() != kMinus)
        config.SetJiaJianSign(kPlus);

#define VT_LOAD_BOOL(name)                                                                 \
    {                                                                                      \
        std::string v = ReadProfileString(path, kSettingsSection, #name, kMissingSetting); \
        if (v == "false")                                                                  \
            config.Set##name(false);                                                       \
        else if (v == "true")                                                              \
            config.Set##name(true);                                                        \
    }
#define VT_LOAD_TEXT(name) \
    config.Set##name(ReadProfileString(path, kSettingsSection, #name, kMissingSetting));
    VT_SYSCONFIG_KEYS(VT_LOAD_BOOL, VT_LOAD_TEXT, VT_SKIP)
#undef VT_LOAD_BOOL
#undef VT_LOAD_TEXT
#undef VT_SKIP
}

std::vector<SettingProblem> LoadSettings(SysConfig& config, const AppContext& paths, Log& log) {
    // The files in the order the pages that show them are created.
    auto loadText = [&](void (SysConfig::*set)(std::string)) {
        std::string text = ReadTextFile(paths.DataFilePath(TextListFor(set).file), log);
        (config.*set)(IsWordList(set) ? WithoutFinalLineEnds(std::move(text)) : std::move(text));
    };
    loadText(&SysConfig::SetDefaultContentText);
    config.SetCategoryMappings(
        ParseCategoryMapping(ReadMappingFile(paths.DataFilePath(kMappingFile))));
    config.SetRegions(ParseRegions(ReadTextFile(paths.DataFilePath(kRegionFile), log)));
    loadText(&SysConfig::SetPrefixText);
    loadText(&SysConfig::SetSuffixText);
    loadText(&SysConfig::SetForbiddenWordsText);
    loadText(&SysConfig::SetForbiddenBooksText);

    LoadSettingKeys(config, paths.SettingsPath());
    std::vector<SettingProblem> problems =
        CheckNumericSettings(config, SettingsFileReadable(paths.SettingsPath()));
    for (const SettingProblem& p : problems) log.WriteLog(DescribeSettingProblem(p));
    return problems;
}

std::vector<SettingProblem> LoadSettings(AppContext& context) {
    return LoadSettings(context.config(), context, context.log());
}

namespace {

// A failed save names the file (the pages show this text as it is).
SaveResult SaveFailure(const std::string& message) {
    return {false, message};
}

}  // namespace

SaveResult SaveSettings(const SysConfig& config, const AppContext& paths) {
    const std::string mappingPath = paths.DataFilePath(kMappingFile);
    if (!WriteBytesFile(mappingPath, FormatCategoryMapping(config.CategoryMappings())))
        return SaveFailure("保存文件失败：" + mappingPath);

    const std::string path = paths.SettingsPath();
    const std::string keyFailure = "保存设置文件失败：" + path;
    auto put = [&](const char* key, const std::string& value) {
        return WriteProfileString(path, kSettingsSection, key, value);
    };

#define VT_SKIP(name)
#define VT_SAVE_BOOL(name)                             \
    if (!put(#name, config.name() ? "true" : "false")) \
        return SaveFailure(keyFailure);
    VT_SYSCONFIG_KEYS(VT_SAVE_BOOL, VT_SKIP, VT_SKIP)
#undef VT_SAVE_BOOL

#define VT_SAVE_RADIO(name, value) \
    if (!put(#name, value))        \
        return SaveFailure(keyFailure);
    VT_SAVE_RADIO(MaidianShezhiP, RadioToFile(config.MaidianShezhiP()))
    VT_SAVE_RADIO(PaixiajiankucunP, RadioToFile(config.PaixiajiankucunP()))
    // "0" only while "原价" is selected: neither button saves as the second.
    VT_SAVE_RADIO(YuanJiaDazheP, config.YuanJiaDazheP() == kListPrice ? "0" : "1")
    // Without it a seller who saved "- 2" would publish at "+ 2" after every restart.
    VT_SAVE_RADIO(JiaJianSign, config.JiaJianSign() == kMinus ? "1" : "0")
#undef VT_SAVE_RADIO

#define VT_SAVE_TEXT(name)          \
    if (!put(#name, config.name())) \
        return SaveFailure(keyFailure);
    VT_SYSCONFIG_KEYS(VT_SKIP, VT_SAVE_TEXT, VT_SKIP)
#undef VT_SAVE_TEXT
#undef VT_SKIP

    for (const TextList& t : kTextLists) {
        const std::string file = paths.DataFilePath(t.file);
        if (!WriteTextFile(file, (config.*t.get)()))
            return SaveFailure("保存文件失败：" + file);
    }

    const std::string regionPath = paths.DataFilePath(kRegionFile);
    if (!WriteBytesFile(regionPath, FormatRegions(config.Regions())))
        return SaveFailure("保存文件失败：" + regionPath);

    return {true, kSaved};
}

SaveResult SaveSettings(AppContext& context) {
    return SaveSettings(context.config(), context);
}

}  // namespace vt
