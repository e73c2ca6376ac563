#include "cli/setting_overrides.h"

#include <charconv>
#include <iostream>
#include <optional>

#include "base/text.h"
#include "cli/cli_common.h"
#include "core/setting_checks.h"
#include "market/price_rules.h"

namespace vt::cli {
namespace {

enum class Kind { Bool, Text, Number, Radio };

struct Key {
    const char* name;
    Kind kind;
};

// Texts that are amounts, counts or page numbers: refused unless a number.
constexpr const char* kNumericTexts[] = {
    "StartPageFrom",  "CaiJiYeShu",   "TitleLengthP",    "BookStoreCountP", "PriceDazheP",
    "JiaJian",        "ShouJiaDiYu",  "EditShouJiMoRen", "EditShouJiaDiYu", "ShouJiaMoRenZhe",
    "PriceRangeFrom", "PriceRangeTo", "RetryCount",      "SiteDownFailures"};
constexpr const char* kFreightKey = "FreightTemplate";

std::vector<Key> Keys() {
    std::vector<Key> keys;
#define VT_B(name) keys.push_back({#name, Kind::Bool});
#define VT_T(name) keys.push_back({#name, Kind::Text});
#define VT_R(name) keys.push_back({#name, Kind::Radio});
    VT_SYSCONFIG_KEYS(VT_B, VT_T, VT_R)
    VT_SYSCONFIG_MEMORY(VT_B, VT_T, VT_R)
#undef VT_B
#undef VT_T
#undef VT_R
    for (Key& key : keys)
        for (const char* numeric : kNumericTexts)
            if (std::string(key.name) == numeric)
                key.kind = Kind::Number;
    return keys;
}

bool Split(const std::string& pair, std::string& key, std::string& value) {
    const std::size_t eq = pair.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    key = Trim(pair.substr(0, eq));
    value = pair.substr(eq + 1);
    return true;
}

bool ParseBool(const std::string& v, bool& out) {
    if (v == "true" || v == "1" || v == "yes" || v == "on")
        return out = true, true;
    if (v == "false" || v == "0" || v == "no" || v == "off")
        return out = false, true;
    return false;
}

// A radio group: 0 or 1 (the first or second button), or the names of the buttons.
bool ParseRadio(const std::string& key, const std::string& v, int& out) {
    struct Alias {
        const char* key;
        const char* first;
        const char* second;
    };
    constexpr Alias kAliases[] = {{"JiaJianSign", "+", "-"},
                                  {"YuanJiaDazheP", "list", "sale"},
                                  {"PriceRangeBasis", "list", "sale"},
                                  {"StockRule", "any-out", "one-in"},
                                  {"MaidianShezhiP", "custom", "collected"}};
    if (v == "0" || v == "1")
        return out = v == "1", true;
    for (const Alias& a : kAliases)
        if (key == a.key && (v == a.first || v == a.second))
            return out = v == a.second, true;
    return false;
}

bool IsNumber(const std::string& v) {
    const std::string t = Trim(v);
    double d = 0;
    auto [ptr, err] = std::from_chars(t.data(), t.data() + t.size(), d, std::chars_format::fixed);
    return !t.empty() && err == std::errc() && ptr == t.data() + t.size();
}

const Key* Find(const std::vector<Key>& keys, const std::string& name) {
    for (const Key& k : keys)
        if (name == k.name)
            return &k;
    return nullptr;
}

}  // namespace

void AddSetOption(CLI::App& command, std::vector<std::string>& pairs) {
    std::string help =
        "KEY=VALUE for this run only (repeatable). Keys of Data/Setting.ini and the window's "
        "in-memory settings: ";
    bool first = true;
    for (const Key& k : Keys()) {
        help += std::string(first ? "" : ", ") + k.name;
        first = false;
    }
    help +=
        ", FreightTemplate (a template's name or value, loaded from the account). "
        "Check boxes take true/false; JiaJianSign +/-; YuanJiaDazheP and PriceRangeBasis "
        "list/sale; StockRule any-out/one-in; amounts and page numbers a number";
    command.add_option("--set", pairs, help);
}

std::string CheckSettingOverrides(const std::vector<std::string>& pairs, bool accountGiven) {
    const std::vector<Key> keys = Keys();
    for (const std::string& pair : pairs) {
        std::string key, value;
        if (!Split(pair, key, value))
            return "--set takes KEY=VALUE, not \"" + pair + "\"";
        if (key == kFreightKey) {
            if (!accountGiven)
                return "--set FreightTemplate needs the seller's account (--nick with "
                       "--password-file, or --cookie-file): the templates are the account's";
            if (Trim(value).empty())
                return "--set FreightTemplate= names no template";
            continue;
        }
        const Key* k = Find(keys, key);
        if (!k)
            return "--set: no setting is named \"" + key + "\" (--help lists them)";
        bool b = false;
        int r = 0;
        if (k->kind == Kind::Bool && !ParseBool(value, b))
            return "--set " + key + " takes true or false, not \"" + value + "\"";
        if (k->kind == Kind::Radio && !ParseRadio(key, value, r))
            return "--set " + key + " takes 0 or 1 (or the button's name), not \"" + value + "\"";
        if (k->kind == Kind::Number && IsNumericSetting(key)) {
            // Read as Setting.ini is read; only what the file's checks refuse is refused.
            const std::optional<SettingProblem> problem = CheckNumericSetting(key, Gbk(value));
            if (problem && problem->replaced)
                return "--set " + key + " cannot be \"" + value + "\"";
        } else if (k->kind == Kind::Number && !Trim(value).empty() && !IsNumber(value)) {
            return "--set " + key + " takes a number, not \"" + value + "\"";
        }
    }
    return {};
}

void ApplySettingOverrides(AppContext& ctx, const std::vector<std::string>& pairs) {
    SysConfig& c = ctx.config();
    for (const std::string& pair : pairs) {
        std::string key, value;
        if (!Split(pair, key, value))
            continue;
        bool b = false;
        int r = 0;
#define VT_B(name)                           \
    if (key == #name && ParseBool(value, b)) \
        c.Set##name(b);
#define VT_T(name)    \
    if (key == #name) \
        c.Set##name(Gbk(value));
#define VT_R(name)                                 \
    if (key == #name && ParseRadio(key, value, r)) \
        c.Set##name(r);
        VT_SYSCONFIG_KEYS(VT_B, VT_T, VT_R)
        VT_SYSCONFIG_MEMORY(VT_B, VT_T, VT_R)
#undef VT_B
#undef VT_T
#undef VT_R
        // As for Setting.ini: what a value that is not a plain number counts as.
        if (const std::optional<SettingProblem> problem = CheckNumericSetting(key, Gbk(value)))
            std::cerr << U8(DescribeSettingProblem(*problem)) << '\n';
    }
}

std::string ApplyFreightOverride(AppContext& ctx, const std::vector<std::string>& pairs) {
    std::string wanted;
    for (const std::string& pair : pairs) {
        std::string key, value;
        if (Split(pair, key, value) && key == kFreightKey)
            wanted = Gbk(Trim(value));
    }
    if (wanted.empty())
        return {};
    if (LoadFreightTemplates(ctx) != FreightLoad::Loaded)
        return "the account's freight templates could not be loaded";
    const std::vector<FreightTemplate> found = ctx.config().FreightTemplates();
    std::string names;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (Trim(found[i].text) == wanted || Trim(found[i].value) == wanted) {
            ctx.config().SelectFreightTemplate(static_cast<int>(i));
            return {};
        }
        names += (names.empty() ? "" : ", ") + U8(found[i].text) + " (" + U8(found[i].value) + ")";
    }
    return "the account has no freight template \"" + U8(wanted) + "\"; it has: " + names;
}

std::unique_ptr<AppContext> MakeContextWithSettings(const CommonOptions& options,
                                                    const std::vector<std::string>& pairs,
                                                    int& exitCode) {
    auto ctx = MakeContext(options, exitCode);
    if (ctx)
        ApplySettingOverrides(*ctx, pairs);
    return ctx;
}

}  // namespace vt::cli
