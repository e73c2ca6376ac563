#include "base/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/text.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::U8;
using vt::testing::WriteAll;

namespace {

struct IniFile {
    TempAppDir dir{false};
    std::string path = dir.path() + "/Data/Setting.ini";

    void Put(const std::string& bytes) const { WriteAll(GbkToUtf8(path), bytes); }
    std::string Bytes() const { return ReadAll(GbkToUtf8(path)); }
};

}  // namespace

TEST(IniRead, FindsKeysByTheWindowsRules) {
    IniFile ini;
    const std::string longValue = std::string(150, 'x') + std::string(75, 'a') + "正版图书";
    ini.Put(
        "Stray=before any section\r\n"
        "[Other]\r\n"
        "DirectSentP=from other\r\n"
        "[ sysconfig ]\r\n"
        "directsentp=true\r\n"
        "DIRECTSENTP=second one loses\r\n"
        "  TitleLengthP  =  60  \r\n"
        "Quoted=\" 正版 \"\r\n"
        "Single='x'\r\n"
        "HalfQuoted=\"x\r\n"
        "Empty=\r\n"
        "Equals=a=b\r\n"
        "CityP=北京\n"
        "Long=" +
        longValue +
        "\r"
        "Last=no line end");

    struct Case {
        const char* key;
        std::string expected;
    } cases[] = {
        // section and key ignore case; the first key wins
        {"DirectSentP", "true"},
        // blanks around key and value dropped
        {"TitleLengthP", "60"},
        // one pair of matching quotes removed, blanks inside kept
        {"Quoted", " 正版 "},
        {"Single", "x"},
        {"HalfQuoted", "\"x"},
        {"Empty", ""},
        {"Equals", "a=b"},
        // LF line end
        {"CityP", "北京"},
        // CR line end; read whole, no length cap
        {"Long", longValue},
        {"Last", "no line end"},
        // lines before the first section belong to none
        {"Stray", "fallback"},
        {"Missing", "fallback"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadProfileString(ini.path, "SYSCONFIG", c.key, "fallback"), c.expected) << c.key;
    EXPECT_EQ(ReadProfileString(ini.path, "NoSuchSection", "DirectSentP", "d"), "d");
    EXPECT_EQ(ReadProfileString(ini.dir.path() + "/Data/none.ini", "SYSCONFIG", "A", "d"), "d");
}

TEST(IniRead, CaseFoldingLeavesDoubleByteCharactersAlone) {
    // The second byte of these two characters is 'A' and 'a': the keys are different.
    IniFile ini;
    ini.Put("[S]\r\n\x81\x61=lower\r\n");
    EXPECT_EQ(ReadProfileString(ini.path, "S", "\x81\x41", "none"), "none");
    EXPECT_EQ(ReadProfileString(ini.path, "S", "\x81\x61", "none"), "lower");
}

TEST(IniRead, IntegersAsTheProfileReaderParsesThem) {
    IniFile ini;
    ini.Put("[S]\r\nzero=0\r\none=1\r\nseven=7\r\nminus=-1\r\nword=abc\r\nmixed=12abc\r\n");
    struct Case {
        const char* key;
        int expected;
    } cases[] = {{"zero", 0}, {"one", 1},    {"seven", 7},   {"minus", -1},
                 {"word", 0}, {"mixed", 12}, {"missing", 42}};
    for (const Case& c : cases)
        EXPECT_EQ(ReadProfileInt(ini.path, "S", c.key, 42), c.expected) << c.key;
}

TEST(IniWrite, ChangesOnlyTheLineItMust) {
    struct Case {
        const char* what;
        std::string before;
        const char* key;
        const char* value;
        std::string after;
    } cases[] = {
        {"replaces in place, keeping the file's key spelling and other lines",
         "; settings\r\n[Other]\r\nDirectSentP=x\r\n[sysconfig]\r\n  directsentp = TRUE\r\n"
         "junk line\r\nCityP=北京\r\n",
         "DirectSentP", "false",
         "; settings\r\n[Other]\r\nDirectSentP=x\r\n[sysconfig]\r\ndirectsentp=false\r\n"
         "junk line\r\nCityP=北京\r\n"},
        {"appends after the section's last key, before blank lines and the next section",
         "[SYSCONFIG]\r\nA=1\r\n\r\n[Other]\r\nB=2\r\n", "C", "3",
         "[SYSCONFIG]\r\nA=1\r\nC=3\r\n\r\n[Other]\r\nB=2\r\n"},
        {"adds a missing section at the end; the old lines keep their LF ends", "[Other]\nB=2", "C",
         "3", "[Other]\nB=2\r\n[SYSCONFIG]\r\nC=3\r\n"},
        {"creates a missing file", "", "C", "3", "[SYSCONFIG]\r\nC=3\r\n"},
        {"quotes a value whose blanks would be lost", "[SYSCONFIG]\r\n", "TitleQianzhuiP", "正版 ",
         "[SYSCONFIG]\r\nTitleQianzhuiP=\"正版 \"\r\n"},
        {"writes line breaks as blanks, so no text can pose as a key",
         "[SYSCONFIG]\r\nDirectSentP=false\r\n", "DiyContentP", "a\r\nDirectSentP=true",
         "[SYSCONFIG]\r\nDirectSentP=false\r\nDiyContentP=a  DirectSentP=true\r\n"},
    };
    for (const Case& c : cases) {
        IniFile ini;
        if (!c.before.empty())
            ini.Put(c.before);
        ASSERT_TRUE(WriteProfileString(ini.path, "SYSCONFIG", c.key, c.value)) << c.what;
        EXPECT_EQ(U8(ini.Bytes()), U8(c.after)) << c.what;
    }
}

TEST(IniWrite, EveryValueReadsBackAsWritten) {
    IniFile ini;
    ini.Put("[SYSCONFIG]\r\nOther=kept\r\n");
    const std::string values[] = {
        "",   " lead", "trail ",   "\"quoted\"",       "'single'",
        "\"", "a=b",   "正版图书", "\x81\x41\x81\x61", std::string(300, 'z') + "书"};
    for (const std::string& v : values) {
        ASSERT_TRUE(WriteProfileString(ini.path, "SYSCONFIG", "Value", v));
        EXPECT_EQ(ReadProfileString(ini.path, "SYSCONFIG", "Value", "d"), v) << U8(v);
    }
    EXPECT_EQ(ReadProfileString(ini.path, "SYSCONFIG", "Other", "d"), "kept");
    // One line per key however often it was written.
    std::string bytes = ini.Bytes();
    EXPECT_EQ(bytes.find("Value="), bytes.rfind("Value="));
}

TEST(IniWrite, FailsWhenTheFileCannotBeWritten) {
    TempAppDir dir(false);
    EXPECT_FALSE(WriteProfileString(dir.path() + "/NoFolder/Setting.ini", "S", "A", "1"));
    // A directory in the file's place cannot be written either, even by root.
    const std::string path = dir.path() + "/Data/Setting.ini";
    std::filesystem::create_directory(GbkToUtf8(path));
    EXPECT_FALSE(WriteProfileString(path, "S", "A", "1"));
}
