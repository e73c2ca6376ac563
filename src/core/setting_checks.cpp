#include "core/setting_checks.h"

#include <cstdlib>

#include "base/text.h"

namespace vt {
namespace {

struct NumericKey {
    const char* key;
    std::string (SysConfig::*get)() const;
    void (SysConfig::*set)(std::string);
    bool fraction;  // a decimal point is allowed (prices, discounts); else whole numbers
    double min;
    double max;
    const char* fallback;
    // A key added after sellers' files were written: its absence is not a fault, the
    // default is used without a word.
    bool addedLater = false;
};

// Ranges: pages and counts are whole numbers; discounts are in tenths (10 = the full
// price, above it the "discount" would raise the price); prices are in yuan.
const NumericKey kNumericKeys[] = {
    {"StartPageFrom", &SysConfig::StartPageFrom, &SysConfig::SetStartPageFrom, false, 1, 1000, "1"},
    {"CaiJiYeShu", &SysConfig::CaiJiYeShu, &SysConfig::SetCaiJiYeShu, false, 1, 1000, "10"},
    {"TitleLengthP", &SysConfig::TitleLengthP, &SysConfig::SetTitleLengthP, false, 1, 200, "60"},
    {"BookStoreCountP", &SysConfig::BookStoreCountP, &SysConfig::SetBookStoreCountP, false, 0,
     999999, "5"},
    {"PriceDazheP", &SysConfig::PriceDazheP, &SysConfig::SetPriceDazheP, true, 0.1, 10, "10"},
    {"JiaJian", &SysConfig::JiaJian, &SysConfig::SetJiaJian, true, 0, 100000, "0"},
    {"ShouJiaDiYu", &SysConfig::ShouJiaDiYu, &SysConfig::SetShouJiaDiYu, true, 0, 100000, "5"},
    {"EditShouJiMoRen", &SysConfig::EditShouJiMoRen, &SysConfig::SetEditShouJiMoRen, true, 0.01,
     100000, "5"},
    {"EditShouJiaDiYu", &SysConfig::EditShouJiaDiYu, &SysConfig::SetEditShouJiaDiYu, true, 0, 10,
     "0"},
    {"ShouJiaMoRenZhe", &SysConfig::ShouJiaMoRenZhe, &SysConfig::SetShouJiaMoRenZhe, true, 0.1, 10,
     "8"},
    // Network: retries of a failed read, and the run of failures that stops a job (0 never).
    {"RetryCount", &SysConfig::RetryCount, &SysConfig::SetRetryCount, false, 0, 10, "3", true},
    {"SiteDownFailures", &SysConfig::SiteDownFailures, &SysConfig::SetSiteDownFailures, false, 0,
     10000, "8", true},
    // Largest page and picture taken, in kilobytes: a bigger answer is refused, not read.
    {"MaxPageKB", &SysConfig::MaxPageKB, &SysConfig::SetMaxPageKB, false, 1, 1048576, "8192", true},
    {"MaxPictureKB", &SysConfig::MaxPictureKB, &SysConfig::SetMaxPictureKB, false, 1, 1048576,
     "10240", true},
};

// Digits with at most one decimal point (where allowed) and nothing else but blanks
// around; at most 12 digits, so the value is exact in a double.
bool ReadPlainNumber(const std::string& text, bool fraction, double& out) {
    const std::string t = Trim(text);
    if (t.empty() || t.size() > 13)
        return false;
    int digits = 0, points = 0;
    for (char c : t) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.' && fraction)
            ++points;
        else
            return false;
    }
    if (digits == 0 || points > 1)
        return false;
    out = std::strtod(t.c_str(), nullptr);
    return true;
}

}  // namespace

std::vector<SettingProblem> CheckNumericSettings(SysConfig& config) {
    std::vector<SettingProblem> problems;
    for (const NumericKey& k : kNumericKeys) {
        const std::string value = (config.*k.get)();
        double number = 0;
        if (ReadPlainNumber(value, k.fraction, number) && number >= k.min && number <= k.max)
            continue;
        if (k.addedLater && value == kMissingSetting) {
            (config.*k.set)(k.fallback);
            continue;
        }
        problems.push_back({k.key, value, k.fallback});
        (config.*k.set)(k.fallback);
    }
    return problems;
}

bool IsNumericSetting(const std::string& key) {
    for (const NumericKey& k : kNumericKeys)
        if (key == k.key)
            return true;
    return false;
}

std::string DescribeSettingProblem(const SettingProblem& problem) {
    // A binary value stays readable in a log line and a message box.
    std::string shown;
    for (char c : GbkPrefix(problem.value, 40))
        shown += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
    if (problem.value.size() > 40)
        shown += "...";
    return "设置项 " + problem.key + " 的值 \"" + shown + "\" 无效，已改用默认值 " +
           problem.fallback;
}

}  // namespace vt
