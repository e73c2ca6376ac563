#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/ini_file.h"
#include "base/text.h"
#include "collect/list_crawlers.h"
#include "core/context.h"
#include "core/settings_store.h"
#include "core/sys_config.h"
#include "market/price_rules.h"
#include "market/publish_form.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::U8;
using vt::testing::WriteAll;

namespace {

// An installed tree with its own context: shipped data or empty folders.
struct Install {
    explicit Install(bool withData) : dir(withData), context(dir.path()) {}
    TempAppDir dir;
    AppContext context;

    std::string Bytes(const std::string& gbkPath) const { return ReadAll(GbkToUtf8(gbkPath)); }
    void Put(const std::string& gbkPath, const std::string& bytes) const {
        WriteAll(GbkToUtf8(gbkPath), bytes);
    }
    bool Exists(const std::string& gbkPath) const {
        return std::filesystem::exists(GbkToUtf8(gbkPath));
    }
    std::string SettingsBytes() const { return Bytes(context.SettingsPath()); }
    std::string FileBytes(const char* name) const { return Bytes(context.DataFilePath(name)); }
};

const char* const kTextListFiles[] = {"前缀.txt", "后缀.txt", "违禁字.txt", "违规书籍.txt",
                                      "默认内容.txt"};

std::string WithZero(const std::string& text) {
    return text + std::string(1, '\0');
}

// Gives every key, memory-free list and file-backed list a value that depends on flip,
// so that two calls with different flips differ in every field.
void FillEverything(SysConfig& c, bool flip) {
    int i = 0;
#define VT_SET_B(name) c.Set##name(((i++ % 2) == 0) != flip);
// A numeric key gets a number in every key's range (1 to 8), others a text.
#define VT_SET_T(name)                                         \
    c.Set##name(IsNumericSetting(#name)                        \
                    ? std::to_string(i++ % 4 + (flip ? 5 : 1)) \
                    : "值" + std::string(#name) + (flip ? " 乙" : " 甲") + std::to_string(i++));
#define VT_SET_R(name) c.Set##name(((i++ % 2) == 0) != flip ? 1 : 0);
    VT_SYSCONFIG_KEYS(VT_SET_B, VT_SET_T, VT_SET_R)
#undef VT_SET_B
#undef VT_SET_R
#define VT_SET_LIST(name) c.Set##name(std::string(#name) + (flip ? ",二" : ",一"));
    VT_SYSCONFIG_TEXT_LISTS(VT_SET_LIST)
#undef VT_SET_LIST
#undef VT_SET_T
    c.SetRegions({{"110000", "北京", !flip}, {"310000", flip ? "上海市" : "上海", flip}});
    c.SetCategoryMappings({{"文学", flip ? "文学类" : "文学"}, {"计算机/网络", "计算机"}});
}

}  // namespace

TEST(SettingsStore, EverySettingSurvivesSaveAndLoad) {
    for (bool flip : {false, true}) {
        Install install(false);
        SysConfig saved;
        FillEverything(saved, flip);
        SaveResult result = SaveSettings(saved, install.context);
        ASSERT_TRUE(result.ok) << U8(result.message);
        EXPECT_EQ(result.message, "保存成功");

        SysConfig loaded;
        LoadSettings(loaded, install.context, install.context.log());
#define VT_SAME(name) EXPECT_EQ(loaded.name(), saved.name()) << #name << " flip " << flip;
        VT_SYSCONFIG_KEYS(VT_SAME, VT_SAME, VT_SAME)
        VT_SYSCONFIG_TEXT_LISTS(VT_SAME)
        VT_SAME(Regions)
#undef VT_SAME
        // The mapping list shows the file's lines bottom up, and the save wrote it top
        // down: one save and load turns the list over.
        std::vector<CategoryMapping> mappings = saved.CategoryMappings();
        std::vector<CategoryMapping> reversed(mappings.rbegin(), mappings.rend());
        EXPECT_EQ(loaded.CategoryMappings(), reversed);
    }
}

TEST(SettingsStore, FreshInstallWithoutSectionShowsTheDefaults) {
    Install install(false);
    install.Put(install.context.SettingsPath(), "[Other]\r\nDirectSentP=true\r\n");
    SysConfig c;
    const std::vector<SettingProblem> problems =
        LoadSettings(c, install.context, install.context.log());
    // Every text box shows "d", read as 0 by the numbers' consumers; each numeric key
    // is reported with what it counts as (the stock quantity goes out as typed).
    const std::map<std::string, std::string> numeric = {
        {"StartPageFrom", "0"},   {"CaiJiYeShu", "0"},      {"TitleLengthP", "0"},
        {"BookStoreCountP", "d"}, {"PriceDazheP", "0"},     {"JiaJian", "0"},
        {"ShouJiaDiYu", "0"},     {"EditShouJiMoRen", "0"}, {"EditShouJiaDiYu", "0"},
        {"ShouJiaMoRenZhe", "0"}};
    // Keys that files written before them lack take their defaults without a word.
    const std::map<std::string, std::string> addedLater = {{"RetryCount", "3"},
                                                           {"SiteDownFailures", "8"},
                                                           {"MaxPageKB", "8192"},
                                                           {"MaxPictureKB", "10240"}};
    EXPECT_EQ(problems.size(), numeric.size());
    for (const SettingProblem& p : problems) {
        EXPECT_EQ(p.value, "d") << p.key;
        EXPECT_FALSE(p.replaced) << p.key;
        EXPECT_EQ(numeric.at(p.key), p.used) << p.key;
    }
#define VT_CHECK_B(name) EXPECT_FALSE(c.name()) << #name;
#define VT_CHECK_T(name) \
    EXPECT_EQ(c.name(), addedLater.count(#name) ? addedLater.at(#name) : "d") << #name;
#define VT_CHECK_R(name) EXPECT_EQ(c.name(), 0) << #name;
    VT_SYSCONFIG_KEYS(VT_CHECK_B, VT_CHECK_T, VT_CHECK_R)
#undef VT_CHECK_B
#undef VT_CHECK_T
#undef VT_CHECK_R
    // No data files: every list starts empty, and each missing text list is logged.
    EXPECT_EQ(c.PrefixText(), "");
    EXPECT_TRUE(c.Regions().empty());
    EXPECT_TRUE(c.CategoryMappings().empty());
    std::string log = ReadAll(GbkToUtf8(install.context.log().FilePathFor(std::time(nullptr))));
    for (const char* name : kTextListFiles)
        EXPECT_NE(log.find(install.context.DataFilePath(name) + "[不存在]"), std::string::npos)
            << U8(name);
}

// The "+"/"-" in front of JiaJian is saved with the other price keys: a seller who saved
// "- 2" used to publish at "+ 2" after every restart. A file from before the key, or
// with an odd value, means "+", the entry the drop-down shows first.
TEST(SettingsStore, PriceSignIsSavedAndAFileWithoutItMeansPlus) {
    struct Case {
        const char* line;  // the sign's line in the file
        int loaded;
    } cases[] = {
        {"", kPlus},
        {"JiaJianSign=1\r\n", kMinus},
        {"JiaJianSign=0\r\n", kPlus},
        {"JiaJianSign=7\r\n", kPlus},
        {"JiaJianSign=-\r\n", kPlus},
    };
    for (const Case& k : cases) {
        Install install(false);
        install.Put(install.context.SettingsPath(),
                    std::string("[SYSCONFIG]\r\nJiaJian=2\r\n") + k.line);
        SysConfig c;
        LoadSettings(c, install.context, install.context.log());
        EXPECT_EQ(c.JiaJianSign(), k.loaded) << k.line;
    }
    Install install(false);
    SysConfig c;
    c.SetPriceDazheP("8");
    c.SetJiaJian("2");
    c.SetJiaJianSign(kMinus);
    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    EXPECT_NE(install.SettingsBytes().find("\r\nJiaJianSign=1\r\n"), std::string::npos);
    SysConfig restarted;
    LoadSettings(restarted, install.context, install.context.log());
    EXPECT_EQ(restarted.JiaJianSign(), kMinus);
    O_BookInfo book;
    book.MarketPrice = "20.00";
    EXPECT_EQ(FormatPrice(ComputePrice(restarted, book)), "14.00");  // 20 x 0.8 - 2
}

TEST(SettingsStore, OddHandWrittenFile) {
    Install install(false);
    std::string longValue;  // 300 characters, a third of them double-byte
    for (int i = 0; i < 100; ++i) longValue += "ab书";
    install.Put(install.context.SettingsPath(),
                "; kept comment\r\n"
                "[Other]\r\n"
                "Unrelated=1\r\n"
                "[SysConfig]\r\n"
                "directsentp=true\r\n"
                "HASFAPIAOP=TRUE\r\n"
                "HasBaoXiuP=yes\r\n"
                "CHKFiltData=false\r\n"
                "YuanJiaDazheP=7\r\n"
                "MaidianShezhiP=1\r\n"
                "PaixiajiankucunP=-1\r\n"
                "DiyContentP=" +
                    longValue +
                    "\r\n"
                    "titlelengthp=60\r\n"
                    "NotAKey=still here\r\n");
    SysConfig c;
    LoadSettings(c, install.context, install.context.log());

    EXPECT_TRUE(c.DirectSentP());  // key names ignore case
    EXPECT_FALSE(c.HasFapiaoP());  // "TRUE" is neither "true" nor "false"
    EXPECT_FALSE(c.HasBaoXiuP());
    EXPECT_FALSE(c.CHKFiltData());
    EXPECT_EQ(c.YuanJiaDazheP(), kNoChoice);  // "7" selects neither button
    EXPECT_EQ(c.MaidianShezhiP(), 1);
    EXPECT_EQ(c.PaixiajiankucunP(), kNoChoice);
    EXPECT_EQ(c.DiyContentP(), longValue);  // kept whole, not cut
    EXPECT_EQ(c.TitleLengthP(), "60");
    EXPECT_EQ(c.CityP(), "d");

    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    const std::string after = install.SettingsBytes();
    for (const char* kept :
         {"; kept comment\r\n[Other]\r\nUnrelated=1\r\n[SysConfig]\r\n", "NotAKey=still here\r\n"})
        EXPECT_NE(after.find(kept), std::string::npos) << kept;
    struct Line {
        const char* key;
        std::string value;
    } lines[] = {
        {"directsentp", "true"},
        {"HASFAPIAOP", "false"},
        {"HasBaoXiuP", "false"},
        {"YuanJiaDazheP", "1"},  // neither button saves as the second
        {"MaidianShezhiP", "1"},
        {"PaixiajiankucunP", "-1"},
        {"DiyContentP", longValue},
        {"titlelengthp", "60"},
        {"CityP", "d"},
    };
    std::string lowered = after;
    for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (const Line& l : lines) {
        std::string line = "\r\n" + std::string(l.key) + "=" + l.value + "\r\n";
        EXPECT_NE(after.find(line), std::string::npos) << l.key;
        // Replaced in place: one line per key, whatever its letter case.
        std::string key = "\n" + std::string(l.key) + "=";
        for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(lowered.find(key), lowered.rfind(key)) << l.key;
    }

    SysConfig again;
    LoadSettings(again, install.context, install.context.log());
    EXPECT_EQ(again.DiyContentP(), longValue);
    EXPECT_EQ(again.YuanJiaDazheP(), kSalePrice);
}

TEST(SettingsStore, RadioGroupsSaveAndLoadTheirChoice) {
    struct Case {
        int selected;
        const char* maidian;  // written for MaidianShezhiP and PaixiajiankucunP
        const char* yuanjia;  // written for YuanJiaDazheP
        int yuanjiaLoaded;
    } cases[] = {
        {0, "0", "0", kListPrice},
        {1, "1", "1", kSalePrice},
        {kNoChoice, "-1", "1", kSalePrice},
    };
    for (const Case& k : cases) {
        Install install(false);
        SysConfig c;
        c.SetMaidianShezhiP(k.selected);
        c.SetPaixiajiankucunP(k.selected);
        c.SetYuanJiaDazheP(k.selected);
        ASSERT_TRUE(SaveSettings(c, install.context).ok);
        const std::string path = install.context.SettingsPath();
        EXPECT_EQ(ReadProfileString(path, "SYSCONFIG", "MaidianShezhiP", "?"), k.maidian);
        EXPECT_EQ(ReadProfileString(path, "SYSCONFIG", "PaixiajiankucunP", "?"), k.maidian);
        EXPECT_EQ(ReadProfileString(path, "SYSCONFIG", "YuanJiaDazheP", "?"), k.yuanjia);

        SysConfig loaded;
        LoadSettingKeys(loaded, path);
        EXPECT_EQ(loaded.MaidianShezhiP(), k.selected);
        EXPECT_EQ(loaded.PaixiajiankucunP(), k.selected);
        EXPECT_EQ(loaded.YuanJiaDazheP(), k.yuanjiaLoaded);
    }
}

TEST(SettingsStore, WritesInTheOrderOfTheSaveSteps) {
    // Into an empty file every key is appended, so the file shows the order: check
    // boxes, the three radio groups and the price sign, then the texts.
    Install install(false);
    SysConfig c;
    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    std::vector<std::string> keys;
    const std::string bytes = install.SettingsBytes();
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t end = bytes.find("\r\n", at);
        std::string line = bytes.substr(at, end - at);
        if (line.find('=') != std::string::npos)
            keys.push_back(line.substr(0, line.find('=')));
        at = end + 2;
    }
    ASSERT_EQ(keys.size(), 45u);
    EXPECT_EQ(bytes.rfind("[SYSCONFIG]\r\nPriceSet5P=false\r\n", 0), 0u);
    const std::vector<std::string> middle = {"FootAddPicP",   "MaidianShezhiP", "PaixiajiankucunP",
                                             "YuanJiaDazheP", "JiaJianSign",    "DiyContentP",
                                             "StartPageFrom"};
    EXPECT_EQ(std::vector<std::string>(keys.begin() + 20, keys.begin() + 27), middle);
    EXPECT_EQ(std::vector<std::string>(keys.end() - 5, keys.end()),
              (std::vector<std::string>{"ShouJiaMoRenZhe", "RetryCount", "SiteDownFailures",
                                        "MaxPageKB", "MaxPictureKB"}));
}

TEST(SettingsStore, SavingTwiceGivesTheSameFiles) {
    Install install(true);
    SysConfig c;
    LoadSettings(c, install.context, install.context.log());
    c.SetTitleHouzhuiP(" 包邮");
    c.SetDirectSentP(true);
    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    auto snapshot = [&] {
        std::vector<std::string> all = {install.SettingsBytes(), install.FileBytes("地区.txt"),
                                        install.FileBytes("Vantrell淘宝分类对应.txt")};
        for (const char* name : kTextListFiles) all.push_back(install.FileBytes(name));
        return all;
    };
    std::vector<std::string> first = snapshot();
    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    EXPECT_EQ(snapshot(), first);
}

TEST(SettingsStore, ShippedFilesComeBackUnchangedButTheMappingTurnsOver) {
    Install install(true);
    const std::string shippedIni = install.SettingsBytes();
    const std::string shippedRegions = install.FileBytes("地区.txt");
    const std::string shippedMapping = install.FileBytes("Vantrell淘宝分类对应.txt");
    SysConfig c;
    LoadSettings(c, install.context, install.context.log());
    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    EXPECT_EQ(U8(install.SettingsBytes()), U8(shippedIni));
    EXPECT_EQ(install.FileBytes("地区.txt"), shippedRegions);

    // The mapping file now holds the shipped lines last to first.
    std::vector<std::string> shippedLines;
    for (std::size_t at = 0; at < shippedMapping.size();) {
        std::size_t end = shippedMapping.find("\r\n", at) + 2;
        shippedLines.push_back(shippedMapping.substr(at, end - at));
        at = end;
    }
    std::string reversed;
    for (auto line = shippedLines.rbegin(); line != shippedLines.rend(); ++line) reversed += *line;
    EXPECT_EQ(install.FileBytes("Vantrell淘宝分类对应.txt"), reversed);
    EXPECT_NE(reversed, shippedMapping);
}

TEST(SettingsStore, CategoryMappingFileShowsBottomUpAndSavesTopDown) {
    Install install(false);
    const std::string file = install.context.DataFilePath("Vantrell淘宝分类对应.txt");
    install.Put(file, "A,x\r\n\r\nB,y\r\nC\r\nD,z,extra");
    SysConfig c;
    LoadSettings(c, install.context, install.context.log());
    const std::vector<CategoryMapping> shown = {{"D", "z"}, {"C", ""}, {"B", "y"}, {"A", "x"}};
    EXPECT_EQ(c.CategoryMappings(), shown);
    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    EXPECT_EQ(install.Bytes(file), "D,z\r\nC,\r\nB,y\r\nA,x\r\n");
}

TEST(SettingsStore, RegionFileHoldsExactlyTheRows) {
    Install install(false);
    SysConfig c;
    c.SetRegions({{"110000", "北京", true}, {"120000", "天津", false}});
    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    EXPECT_EQ(install.FileBytes("地区.txt"), "110000,北京,TRUE\r\n120000,天津,FALSE\r\n");
}

TEST(SettingsStore, RegionLinesAreReadByTheirPattern) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<Region> rows;
    } cases[] = {
        {"two rows",
         "110000,北京,TRUE\r\n120000,天津,FALSE\r\n",
         {{"110000", "北京", true}, {"120000", "天津", false}}},
        {"no final line end, LF only",
         "1,a,FALSE\n2,b,TRUE",
         {{"1", "a", false}, {"2", "b", true}}},
        {"the name runs to the first flag", "3,a,b,TRUE,FALSE\r\n", {{"3", "a,b", true}}},
        {"leading junk and an empty name", "  x5,,FALSE\r\n", {{"5", "", false}}},
        {"a line without a flag is skipped alone",
         "6,bad\r\n7,good,TRUE\r\n",
         {{"7", "good", true}}},
        {"a row needs a code", ",北京,TRUE\r\n8,上海,FALSE\r\n", {{"8", "上海", false}}},
        {"lower case is no flag", "9,c,true\r\n", {}},
        {"two matches on one line", "1,a,TRUE2,b,FALSE", {{"1", "a", true}, {"2", "b", false}}},
        {"empty file", "", {}},
    };
    for (const Case& k : cases) EXPECT_EQ(ParseRegions(k.text), k.rows) << k.what;
}

TEST(SettingsStore, FailedWritesAreReportedAndStopTheSave) {
    // Tests run as root, so a folder that is missing or a directory in a file's place
    // stands for a file that cannot be written.
    auto makeDir = [](const std::string& gbkPath) {
        std::filesystem::create_directory(GbkToUtf8(gbkPath));
    };
    struct Case {
        const char* what;
        std::function<void(const Install&)> breakIt;
        std::function<std::string(const AppContext&)> failedPath;
        const char* messageStart;
        std::vector<const char*> writtenBefore;  // data files that must exist afterwards
        std::vector<const char*> notWritten;
    } cases[] = {
        {"settings file",
         [&](const Install& i) { makeDir(i.context.SettingsPath()); },
         [](const AppContext& c) { return c.SettingsPath(); },
         "保存设置文件失败：",
         {"Vantrell淘宝分类对应.txt"},
         {"前缀.txt", "地区.txt"}},
        {"data file folder missing",
         [](const Install& i) { std::filesystem::remove_all(GbkToUtf8(i.context.DataFileDir())); },
         [](const AppContext& c) { return c.DataFilePath("Vantrell淘宝分类对应.txt"); },
         "保存文件失败：",
         {},
         {}},
        {"one text list",
         [&](const Install& i) { makeDir(i.context.DataFilePath("违禁字.txt")); },
         [](const AppContext& c) { return c.DataFilePath("违禁字.txt"); },
         "保存文件失败：",
         {"前缀.txt", "后缀.txt"},
         {"违规书籍.txt", "默认内容.txt", "地区.txt"}},
        {"region list",
         [&](const Install& i) { makeDir(i.context.DataFilePath("地区.txt")); },
         [](const AppContext& c) { return c.DataFilePath("地区.txt"); },
         "保存文件失败：",
         {"默认内容.txt"},
         {}},
    };
    for (const Case& k : cases) {
        Install install(false);
        k.breakIt(install);
        SysConfig c;
        c.SetRegions({{"110000", "北京", true}});
        SaveResult result = SaveSettings(c, install.context);
        EXPECT_FALSE(result.ok) << k.what;
        EXPECT_EQ(U8(result.message), U8(k.messageStart + k.failedPath(install.context))) << k.what;
        for (const char* name : k.writtenBefore)
            EXPECT_TRUE(install.Exists(install.context.DataFilePath(name)))
                << k.what << " " << U8(name);
        for (const char* name : k.notWritten)
            EXPECT_FALSE(install.Exists(install.context.DataFilePath(name)))
                << k.what << " " << U8(name);
    }
    // Through the context, as the front end calls it.
    Install install(false);
    std::filesystem::create_directory(GbkToUtf8(install.context.SettingsPath()));
    EXPECT_FALSE(SaveSettings(install.context).ok);
}

TEST(SettingsStore, TextListsAreWrittenWithTheirZeroByte) {
    Install install(false);
    SysConfig c;
    c.SetPrefixText("<p>前缀</p>");
    c.SetForbiddenWordsText("盗版,复印");
    c.SetDefaultContentText("");
    ASSERT_TRUE(SaveSettings(c, install.context).ok);
    EXPECT_EQ(install.FileBytes("前缀.txt"), WithZero("<p>前缀</p>"));
    EXPECT_EQ(install.FileBytes("违禁字.txt"), WithZero("盗版,复印"));
    EXPECT_EQ(install.FileBytes("默认内容.txt"), WithZero(""));
}

TEST(SysConfigAccess, ReadersNeverSeeATornValue) {
    SysConfig c;
    const std::string shortText(10, 'a');
    const std::string longText = [] {
        std::string s;
        for (int i = 0; i < 2000; ++i) s += "书";
        return s;
    }();
    const std::vector<Region> one = {{"110000", "北京", true}};
    const std::vector<Region> three = {
        {"120000", "天津", false}, {"310000", "上海", true}, {"440000", "广东", true}};
    c.SetDiyContentP(shortText);
    c.SetRegions(one);

    // The writer keeps changing the fields until every reader has read them many times.
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            c.SetDiyContentP(i % 2 ? longText : shortText);
            c.SetRegions(i % 2 ? three : one);
            c.SetDirectSentP(i % 2);
        }
    });
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r)
        readers.emplace_back([&] {
            for (int n = 0; n < 20000; ++n) {
                std::string v = c.DiyContentP();
                if (v != shortText && v != longText)
                    ++torn;
                std::vector<Region> regions = c.Regions();
                if (regions != one && regions != three)
                    ++torn;
                std::vector<std::string> codes = c.TickedRegionCodes();
                if (codes.size() != 1 && codes.size() != 2)
                    ++torn;
            }
        });
    for (std::thread& t : readers) t.join();
    stop = true;
    writer.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(SysConfigAccess, FreightChoiceAndListRowsStayInRange) {
    SysConfig c;
    EXPECT_EQ(c.SelectedFreightTemplate(), "");  // nothing loaded yet
    c.SetFreightTemplates({{"默认模板", "123"}, {"包邮", "\"456\""}}, 0);
    EXPECT_EQ(c.SelectedFreightTemplate(), "123");
    c.SelectFreightTemplate(1);
    EXPECT_EQ(c.SelectedFreightTemplate(), "\"456\"");
    for (int outside : {kNoChoice, 2, 99}) {
        c.SelectFreightTemplate(outside);
        EXPECT_EQ(c.SelectedFreightTemplate(), "") << outside;
    }

    c.SetRegions({{"110000", "北京", false}, {"310000", "上海", true}});
    EXPECT_TRUE(c.SetRegionTicked(0, true));
    EXPECT_FALSE(c.SetRegionTicked(2, true));
    EXPECT_EQ(c.TickedRegionCodes(), (std::vector<std::string>{"110000", "310000"}));

    c.SetCategoryMappings({{"文学", ""}});
    EXPECT_TRUE(c.SetMappingShop(0, "文学类"));
    EXPECT_FALSE(c.SetMappingShop(1, "x"));
    EXPECT_EQ(c.CategoryMappings(), (std::vector<CategoryMapping>{{"文学", "文学类"}}));
}

TEST(ShippedData, SettingsFileIsCompleteAndInItsDocumentedForms) {
    Install install(true);
    const std::string path = install.context.SettingsPath();
    const std::string bytes = install.SettingsBytes();
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(bytes)), bytes);  // valid GBK throughout
    for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
        EXPECT_TRUE(at > 0 && bytes[at - 1] == '\r') << "LF without CR at " << at;

#define VT_SHIPPED_B(name)                                                      \
    {                                                                           \
        std::string v = ReadProfileString(path, "SYSCONFIG", #name, "missing"); \
        EXPECT_TRUE(v == "true" || v == "false") << #name << "=" << v;          \
    }
#define VT_SHIPPED_T(name) \
    EXPECT_NE(ReadProfileString(path, "SYSCONFIG", #name, "d"), "d") << #name;
#define VT_SHIPPED_R(name)                                                      \
    {                                                                           \
        std::string v = ReadProfileString(path, "SYSCONFIG", #name, "missing"); \
        EXPECT_TRUE(v == "0" || v == "1") << #name << "=" << v;                 \
    }
    VT_SYSCONFIG_KEYS(VT_SHIPPED_B, VT_SHIPPED_T, VT_SHIPPED_R)
#undef VT_SHIPPED_B
#undef VT_SHIPPED_T
#undef VT_SHIPPED_R

    SysConfig c;
    LoadSettings(c, install.context, install.context.log());
#define VT_NO_D(name) EXPECT_NE(c.name(), "d") << #name;
#define VT_IGNORE(name)
    VT_SYSCONFIG_KEYS(VT_IGNORE, VT_NO_D, VT_IGNORE)
#undef VT_NO_D
#undef VT_IGNORE
}

TEST(ShippedData, DataFilesLoadAsTheSettingsPagesNeedThem) {
    Install install(true);
    SysConfig c;
    LoadSettings(c, install.context, install.context.log());

    // Every mainland province-level region, by its administrative code.
    std::vector<Region> regions = c.Regions();
    EXPECT_EQ(regions.size(), 31u);
    for (const Region& r : regions) {
        EXPECT_EQ(r.code.size(), 6u) << r.code;
        EXPECT_EQ(r.code.substr(2), "0000") << r.code;
        EXPECT_FALSE(r.name.empty()) << r.code;
    }
    EXPECT_EQ(regions.front(), (Region{"110000", "北京", true}));
    EXPECT_FALSE(c.TickedRegionCodes().empty());

    EXPECT_FALSE(c.CategoryMappings().empty());
    for (const CategoryMapping& m : c.CategoryMappings()) EXPECT_FALSE(m.shop.empty());
    EXPECT_EQ(c.DefaultContentText(), "暂无");
    // Shipped without a zero byte, so that what a seller types into them counts.
    for (const char* name : kTextListFiles)
        EXPECT_EQ(install.FileBytes(name).find('\0'), std::string::npos) << U8(name);

    const std::string tmpl = install.FileBytes("模板.html");
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(tmpl)), tmpl);
    for (const char* placeholder :
         {"[neirongjianjie]", "[zuozhejianjie]", "[mulu]",     "[chatu]",   "[meitituijian]",
          "[bianjituijian]",  "[shuming]",       "[dingjia]",  "[zuozhe]",  "[chubanshe]",
          "[chubanriqi]",     "[isbn]",          "[zishu]",    "[yeshu]",   "[banci]",
          "[baozhuang]",      "[kaiben]",        "[QianZhui]", "[HouZhui]", "[bianma]"})
        EXPECT_NE(tmpl.find(placeholder), std::string::npos) << placeholder;
}

namespace {

// What the seller sees at start for one settings text, and what the consumers make of it.
enum class Notice { None, ReadAs, Replaced };

TEST(SettingChecks, TextsReadAsTheirLeadingNumberAndOnlyHarmfulOnesAreReplaced) {
    struct Case {
        const char* key;
        std::string value;
        std::string held;  // what the record holds after loading
        Notice notice;
        std::string used;    // the number the notice names (or the default put in)
        std::string result;  // the price of a 20.00 book, the title, or the first page
    };
    const std::string binary("\x01\x02\x7F", 3);
    const std::vector<Case> cases = {
        // Discount in tenths, through the price of a book listed at 20.00.
        {"PriceDazheP", "8.5", "8.5", Notice::None, "", "17.00"},
        {"PriceDazheP", " 9 ", " 9 ", Notice::None, "", "18.00"},
        {"PriceDazheP", "8.5折", "8.5折", Notice::ReadAs, "8.5", "17.00"},
        {"PriceDazheP", "", "", Notice::ReadAs, "0", "0.00"},
        {"PriceDazheP", "d", "d", Notice::ReadAs, "0", "0.00"},
        {"PriceDazheP", "12", "12", Notice::None, "", "24.00"},  // a 20 % mark-up
        {"PriceDazheP", "0", "0", Notice::None, "", "0.00"},
        {"PriceDazheP", "-3", "10", Notice::Replaced, "10", "20.00"},
        {"PriceDazheP", "1e9", "1e9", Notice::ReadAs, "1", "2.00"},
        {"PriceDazheP", "150", "10", Notice::Replaced, "10", "20.00"},
        {"PriceDazheP", binary, "10", Notice::Replaced, "10", "20.00"},
        {"JiaJian", "-3", "0", Notice::Replaced, "0", "20.00"},
        {"JiaJian", "99999997781963083612160", "0", Notice::Replaced, "0", "20.00"},
        // The ratio floor's discount, with a floor of 12 tenths that every price is under.
        {"ShouJiaMoRenZhe", "", "", Notice::ReadAs, "0", "0.00"},
        {"ShouJiaMoRenZhe", "7.5折", "7.5折", Notice::ReadAs, "7.5", "15.00"},
        // Title length in bytes, through the title of a 20-byte name.
        {"TitleLengthP", "12", "12", Notice::None, "", "ABCDEFGHIJKL"},
        {"TitleLengthP", "", "", Notice::ReadAs, "0", ""},
        {"TitleLengthP", "8.5折", "8.5折", Notice::ReadAs, "8", "ABCDEFGH"},
        {"TitleLengthP", "-3", "60", Notice::Replaced, "60", "ABCDEFGHIJKLMNOPQRST"},
        {"TitleLengthP", "1e9", "1e9", Notice::ReadAs, "1", "A"},
        // The first list page.
        {"StartPageFrom", "0", "0", Notice::None, "", "0"},
        {"StartPageFrom", "", "", Notice::ReadAs, "0", "0"},
        {"StartPageFrom", "d", "d", Notice::ReadAs, "0", "0"},
        {"StartPageFrom", "2.5", "2.5", Notice::ReadAs, "2", "2"},
        {"StartPageFrom", "-3", "1", Notice::Replaced, "1", "1"},
        {"StartPageFrom", "20000", "1", Notice::Replaced, "1", "1"},
        {"StartPageFrom", "1e9", "1e9", Notice::ReadAs, "1", "1"},
        {"StartPageFrom", binary, "1", Notice::Replaced, "1", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + U8(c.value));
        Install install(true);
        const std::string path = install.context.SettingsPath();
        if (std::string(c.key) == "ShouJiaMoRenZhe")
            WriteProfileString(path, kSettingsSection, "EditShouJiaDiYu", "12");
        WriteProfileString(path, kSettingsSection, "PriceDazheP", "10");
        WriteProfileString(path, kSettingsSection, "TitleQianzhuiP", "");
        WriteProfileString(path, kSettingsSection, "TitleHouzhuiP", "");
        WriteProfileString(path, kSettingsSection, c.key, c.value);
        const std::vector<SettingProblem> problems = LoadSettings(install.context);
        SysConfig& loaded = install.context.config();
        loaded.SetPriceSet5P(false);
        loaded.SetDiyTitleCheckP(false);
        loaded.SetYuanJiaDazheP(kListPrice);
        std::string held;
#define VT_FIND(name)                \
    if (#name == std::string(c.key)) \
        held = loaded.name();
#define VT_IGNORE(name)
        VT_SYSCONFIG_KEYS(VT_IGNORE, VT_FIND, VT_IGNORE)
#undef VT_FIND
#undef VT_IGNORE
        EXPECT_EQ(held, c.held);

        O_BookInfo book;
        book.MarketPrice = "20.00";
        book.BookName = "ABCDEFGHIJKLMNOPQRST";
        const std::string key = c.key;
        const std::string result = key == "TitleLengthP" ? BuildTitle(install.context, book)
                                   : key == "StartPageFrom"
                                       ? std::to_string(FromPageSetting(install.context))
                                       : FormatPrice(ComputePrice(loaded, book));
        EXPECT_EQ(result, c.result);

        if (c.notice == Notice::None) {
            EXPECT_TRUE(problems.empty()) << U8(DescribeSettingProblem(problems.front()));
            continue;
        }
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0],
                  (SettingProblem{c.key, c.value, c.used, c.notice == Notice::Replaced}));
        const std::string line = DescribeSettingProblem(problems[0]);
        EXPECT_NE(line.find(c.key), std::string::npos);
        EXPECT_NE(line.find(c.notice == Notice::Replaced ? "已改用默认值 " + c.used
                                                         : "按 " + c.used + " 使用"),
                  std::string::npos)
            << U8(line);
        const std::string log =
            install.Bytes(install.context.log().FilePathFor(std::time(nullptr)));
        EXPECT_NE(log.find(line), std::string::npos) << U8(log);
    }
}

TEST(SettingChecks, AnEmptyBinaryOrMissingSettingsFileStillPricesSoundly) {
    for (const std::optional<std::string>& bytes :
         {std::optional<std::string>(std::string()),
          std::optional<std::string>(
              std::string("\x00\xFF\x01[SYSCONFIG\x00PriceDazheP=\xFF\xFE", 28)),
          std::optional<std::string>(
              std::string("[SYSCONFIG]\r\nPriceDazheP=8\r\n\x00\x00\x00\x00", 32)),
          std::optional<std::string>()}) {
        Install install(true);
        if (bytes)
            install.Put(install.context.SettingsPath(), *bytes);
        else
            std::filesystem::remove(GbkToUtf8(install.context.SettingsPath()));
        SysConfig c;
        const std::vector<SettingProblem> problems =
            LoadSettings(c, install.context, install.context.log());
        const bool plainDiscount = bytes && bytes->size() == 32;
        // A plain number the file does hold is still the seller's.
        EXPECT_EQ(problems.size(), plainDiscount ? 9u : 10u);
        EXPECT_EQ(c.PriceDazheP(), plainDiscount ? "8" : "10");
        EXPECT_EQ(c.ShouJiaDiYu(), "5");
        EXPECT_EQ(c.CaiJiYeShu(), "10");
        for (const SettingProblem& p : problems) {
            EXPECT_TRUE(p.replaced) << p.key;
            EXPECT_EQ(DescribeSettingProblem(p).find('\0'), std::string::npos);
        }
    }
}

}  // namespace
