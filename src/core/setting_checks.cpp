#include "core/setting_checks.h"

#include <charconv>
#include <climits>
#include <cstdio>

#include "base/files.h"
#include "base/text.h"

namespace vt {
namespace {

// How a key's consumer takes its text.
enum class Reading {
    Whole,    // the whole number it starts with (pages, lengths, counts)
    Decimal,  // the decimal number it starts with (prices, discounts)
    AsTyped,  // the text goes out unchanged (the stock quantity of the publish form)
};

struct NumericKey {
    const char* key;
    std::string (SysConfig::*get)() const;
    void (SysConfig::*set)(std::string);
    Reading reading;
    double max;  // above it the value would do harm; every key refuses a negative value
    const char* fallback;
    // A key added after sellers' files were written: its absence is not a fault, the
    // default is used without a word.
    bool addedLater = false;
};

constexpr double kNoMax = 1e300;
// A discount or ratio in tenths: 10 is the full price, up to 100 a mark-up a seller may
// mean; beyond that it is a typing slip that would price books tenfold and more.
constexpr double kMaxTenths = 100;
// Prices are single precision: an amount beyond this no longer reads as a price.
constexpr double kMaxAmount = 1e8;
constexpr double kMaxPage = 10000;

const NumericKey kNumericKeys[] = {
    {"StartPageFrom", &SysConfig::StartPageFrom, &SysConfig::SetStartPageFrom, Reading::Whole,
     kMaxPage, "1"},
    {"CaiJiYeShu", &SysConfig::CaiJiYeShu, &SysConfig::SetCaiJiYeShu, Reading::Whole, kMaxPage,
     "10"},
    {"TitleLengthP", &SysConfig::TitleLengthP, &SysConfig::SetTitleLengthP, Reading::Whole, kNoMax,
     "60"},
    {"BookStoreCountP", &SysConfig::BookStoreCountP, &SysConfig::SetBookStoreCountP,
     Reading::AsTyped, kNoMax, "5"},
    {"PriceDazheP", &SysConfig::PriceDazheP, &SysConfig::SetPriceDazheP, Reading::Decimal,
     kMaxTenths, "10"},
    {"JiaJian", &SysConfig::JiaJian, &SysConfig::SetJiaJian, Reading::Decimal, kMaxAmount, "0"},
    {"ShouJiaDiYu", &SysConfig::ShouJiaDiYu, &SysConfig::SetShouJiaDiYu, Reading::Decimal,
     kMaxAmount, "5"},
    {"EditShouJiMoRen", &SysConfig::EditShouJiMoRen, &SysConfig::SetEditShouJiMoRen,
     Reading::Decimal, kMaxAmount, "5"},
    {"EditShouJiaDiYu", &SysConfig::EditShouJiaDiYu, &SysConfig::SetEditShouJiaDiYu,
     Reading::Decimal, kMaxTenths, "0"},
    {"ShouJiaMoRenZhe", &SysConfig::ShouJiaMoRenZhe, &SysConfig::SetShouJiaMoRenZhe,
     Reading::Decimal, kMaxTenths, "8"},
    // Network: retries of a failed read, and the run of failures that stops a job (0 never).
    {"RetryCount", &SysConfig::RetryCount, &SysConfig::SetRetryCount, Reading::Whole, 10, "3",
     true},
    {"SiteDownFailures", &SysConfig::SiteDownFailures, &SysConfig::SetSiteDownFailures,
     Reading::Whole, 10000, "8", true},
    // Largest page and picture taken, in kilobytes: a bigger answer is refused, not read.
    {"MaxPageKB", &SysConfig::MaxPageKB, &SysConfig::SetMaxPageKB, Reading::Whole, 1048576, "8192",
     true},
    {"MaxPictureKB", &SysConfig::MaxPictureKB, &SysConfig::SetMaxPictureKB, Reading::Whole, 1048576,
     "10240", true},
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits with at most one decimal point (where the key reads decimals) and nothing else
// but blanks around: the value means what it says, nobody need be told.
bool IsPlainNumber(const std::string& text, Reading reading) {
    const std::string t = Trim(text);
    int digits = 0, points = 0;
    for (char c : t) {
        if (IsDigit(c))
            ++digits;
        else if (c == '.' && reading == Reading::Decimal)
            ++points;
        else
            return false;
    }
    return digits > 0 && points <= 1;
}

// Bytes no keyboard gives: control bytes, or bytes that are not GBK text.
bool IsBinary(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            if ((b < 0x20 && b != '\t') || b == 0x7F)
                return true;
            continue;
        }
        if (!IsGbkLeadByte(b) || i + 1 >= text.size())
            return true;
        const auto trail = static_cast<unsigned char>(text[++i]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF)
            return true;
    }
    return false;
}

double NumberOf(const NumericKey& k, const std::string& value) {
    return k.reading == Reading::Decimal ? SettingDecimal(value)
                                         : static_cast<double>(SettingInteger(value));
}

std::string Shown(const NumericKey& k, double number) {
    if (k.reading != Reading::Decimal)
        return std::to_string(static_cast<long>(number));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", number);
    return buf;
}

}  // namespace

double SettingDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' ||
                               text[i] == '\n' || text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    double value = 0;
    // from_chars is locale-free; the span holds only digits and at most one point.
    std::from_chars(text.data() + start, text.data() + i, value, std::chars_format::fixed);
    return negative ? -value : value;
}

long SettingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsTrimSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (negative) {
            if (value < (LONG_MIN + digit) / 10)
                return LONG_MIN;
            value = value * 10 - digit;
        } else {
            if (value > (LONG_MAX - digit) / 10)
                return LONG_MAX;
            value = value * 10 + digit;
        }
    }
    return value;
}

namespace {

std::optional<SettingProblem> Check(const NumericKey& k, const std::string& value,
                                    bool fileReadable) {
    const bool plain = IsPlainNumber(value, k.reading);
    const double number = NumberOf(k, value);
    if (number < 0 || number > k.max || IsBinary(value) || (!fileReadable && !plain))
        return SettingProblem{k.key, value, k.fallback, true};
    if (!plain)
        return SettingProblem{k.key, value,
                              k.reading == Reading::AsTyped ? value : Shown(k, number), false};
    return std::nullopt;
}

}  // namespace

std::optional<SettingProblem> CheckNumericSetting(const std::string& key,
                                                  const std::string& value) {
    for (const NumericKey& k : kNumericKeys)
        if (key == k.key)
            return Check(k, value, true);
    return std::nullopt;
}

std::vector<SettingProblem> CheckNumericSettings(SysConfig& config, bool fileReadable) {
    std::vector<SettingProblem> problems;
    for (const NumericKey& k : kNumericKeys) {
        const std::string value = (config.*k.get)();
        if (k.addedLater && value == kMissingSetting) {
            (config.*k.set)(k.fallback);
            continue;
        }
        std::optional<SettingProblem> problem = Check(k, value, fileReadable);
        if (!problem)
            continue;
        if (problem->replaced)
            (config.*k.set)(k.fallback);
        problems.push_back(std::move(*problem));
    }
    return problems;
}

bool SettingsFileReadable(const std::string& path) {
    const std::optional<std::string> bytes = ReadFileBytes(path);
    return bytes && !Trim(*bytes).empty() && bytes->find('\0') == std::string::npos;
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
    const std::string head = "设置项 " + problem.key + " 的值 \"" + shown + "\" ";
    if (problem.replaced)
        return head + "无效，已改用默认值 " + problem.used;
    if (problem.used == problem.value)
        return head + "不是纯数字，按原样使用";
    return head + "不是纯数字，按 " + problem.used + " 使用";
}

}  // namespace vt
