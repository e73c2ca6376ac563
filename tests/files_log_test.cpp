#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/log.h"
#include "base/text.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::ReadAll;
using vt::testing::TempAppDir;

TEST(Text, GbkRoundTripsThroughUtf8AndUtf16) {
    const std::string gbk = "算法导论（第3版）";
    EXPECT_EQ(GbkToUtf8(gbk), std::string(reinterpret_cast<const char*>(u8"算法导论（第3版）")));
    EXPECT_EQ(Utf8ToGbk(GbkToUtf8(gbk)), gbk);
    EXPECT_EQ(GbkToUtf16(gbk), u"算法导论（第3版）");
    EXPECT_EQ(Utf16ToGbk(GbkToUtf16(gbk)), gbk);
    // A character GBK lacks becomes the default character, the rest survives.
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                        "b"),
              "a?b");
}

TEST(Text, TrimAndCutOnWholeCharacters) {
    EXPECT_EQ(Trim(" \t\r\n书名 \r\n"), "书名");
    EXPECT_EQ(Trim(""), "");
    // "中文" is four bytes: a cut at three keeps only the first character.
    EXPECT_EQ(GbkPrefix("中文", 3), "中");
    EXPECT_EQ(GbkPrefix("a中文", 3), "a中");
    EXPECT_EQ(GbkPrefix("ab", 5), "ab");
}

TEST(Files, WriteAddsOneZeroByteAndReadDropsIt) {
    TempAppDir dir(false);
    Log log(dir.path() + "/Log");
    const std::string path = dir.path() + "/Data/File/前缀.txt";
    ASSERT_TRUE(WriteTextFile(path, "abc"));
    EXPECT_EQ(ReadAll(GbkToUtf8(path)), std::string("abc\0", 4));
    EXPECT_EQ(ReadTextFile(path, log), "abc");

    // Text behind a zero byte in the middle is kept, as a new line, and the log says so.
    vt::testing::WriteAll(GbkToUtf8(path), std::string("ab\0cd", 5));
    EXPECT_EQ(ReadTextFile(path, log), "ab\r\ncd");
    EXPECT_NE(
        ReadAll(GbkToUtf8(log.FilePathFor(std::time(nullptr)))).find(path + "[文件中间有零字节"),
        std::string::npos);
}

// What the program writes, it reads back on the next start: GBK text stays GBK bytes,
// unless those bytes would pass as UTF-8 and be converted.
TEST(Files, WrittenTextReadsBackAsWritten) {
    TempAppDir dir(false);
    Log log(dir.path() + "/Log");
    const std::string path = dir.path() + "/Data/File/违禁字.txt";
    const std::string gbk = "盗印,样书";
    ASSERT_TRUE(WriteTextFile(path, gbk));
    EXPECT_EQ(ReadAll(GbkToUtf8(path)), gbk + std::string(1, '\0'));

    // Three GBK characters whose six bytes are also UTF-8 (two replacement characters).
    const std::string ambiguous = "锟斤拷";
    ASSERT_TRUE(WriteTextFile(path, ambiguous));
    EXPECT_EQ(ReadTextFile(path, log), ambiguous);
}

TEST(Files, MissingFileReadsEmptyAndIsLogged) {
    TempAppDir dir(false);
    Log log(dir.path() + "/Log");
    const std::string path = dir.path() + "/Data/File/违禁字.txt";
    EXPECT_EQ(ReadTextFile(path, log), "");
    std::string logged = ReadAll(GbkToUtf8(log.FilePathFor(std::time(nullptr))));
    EXPECT_EQ(logged.rfind(path + "[不存在]" + std::string(1, '\0'), 0), 0u)
        << vt::testing::U8(logged);
}

TEST(Files, WriteIntoMissingFolderFails) {
    TempAppDir dir(false);
    EXPECT_FALSE(WriteTextFile(dir.path() + "/nope/x.txt", "abc"));
}

TEST(Files, EnsureDirectoryCreatesOneLevel) {
    TempAppDir dir(false);
    const std::string day = dir.path() + "/images/" + DayFolderName();
    EXPECT_TRUE(EnsureDirectory(day));
    EXPECT_TRUE(EnsureDirectory(day));  // existing: still true
    EXPECT_FALSE(EnsureDirectory(dir.path() + "/a/b/c"));
}

TEST(Files, DayFolderName) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 12;
    EXPECT_EQ(DayFolderName(std::mktime(&t)), "2026年03月07日数据");
}

TEST(Log, EntriesAreMessageZeroTimeLineZero) {
    TempAppDir dir(false);
    Log log(dir.path() + "/Log");
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    std::time_t when = std::mktime(&t);
    log.WriteLogAt("分类错误", when);
    log.WriteLogAt("", when);
    const std::string file = log.FilePathFor(when);
    EXPECT_EQ(file, dir.path() + "/Log/20261210.txt");
    const std::string timeLine = "--2026年12月10日 09:05:07\r\n";
    const std::string z(1, '\0');
    EXPECT_EQ(ReadAll(GbkToUtf8(file)), "分类错误" + z + timeLine + z + z + timeLine + z);
}

TEST(Log, ConcurrentWritersNeverInterleaveOrLose) {
    TempAppDir dir(false);
    Log log(dir.path() + "/Log");
    constexpr int kThreads = 8, kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kEach; ++i)
                log.WriteLog("上传失败 thread " + std::to_string(t) + " entry " +
                             std::to_string(i));
        });
    for (auto& th : threads) th.join();

    std::string all = ReadAll(GbkToUtf8(log.FilePathFor(std::time(nullptr))));
    // Entries are pairs of zero-terminated pieces: message, then time line.
    int entries = 0;
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t z1 = all.find('\0', pos);
        ASSERT_NE(z1, std::string::npos);
        std::string msg = all.substr(pos, z1 - pos);
        EXPECT_EQ(msg.rfind("上传失败 thread ", 0), 0u);
        std::size_t z2 = all.find('\0', z1 + 1);
        ASSERT_NE(z2, std::string::npos);
        std::string line = all.substr(z1 + 1, z2 - z1 - 1);
        EXPECT_EQ(line.rfind("--", 0), 0u);
        EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
        pos = z2 + 1;
        ++entries;
    }
    EXPECT_EQ(entries, kThreads * kEach);
}

namespace {

int ModeOf(const std::string& nativePath) {
    struct stat st {};
    return stat(nativePath.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

// The test seam fails writes under one folder; lifted at the end of the test.
struct FaultUnder {
    FaultUnder(const std::string& nativeDir, int err) {
        SetWriteFaultHook([nativeDir, err](const std::string& path) {
            return path.compare(0, nativeDir.size(), nativeDir) == 0 ? err : 0;
        });
    }
    ~FaultUnder() { SetWriteFaultHook(nullptr); }
};

}  // namespace

TEST(Files, AFailedWriteSaysWhyAndLeavesTheFileAsItWas) {
    TempAppDir dir(false);
    const std::string bad = dir.path() + "/Log";
    const std::string file = bad + "/kept.txt";
    ASSERT_TRUE(WriteBytesFile(file, "before"));
    const struct {
        int err;
        WriteError cause;
        const char* text;
    } cases[] = {
        {ENOSPC, WriteError::NoSpace, "磁盘空间不足"},
        {EROFS, WriteError::NotWritable, "无法写入"},
        {EACCES, WriteError::NotWritable, "无法写入"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        FaultUnder fault(NativePath(bad), c.err);
        EXPECT_FALSE(WriteBytesFile(file, "after"));
        EXPECT_EQ(LastWriteError(), c.cause);
        EXPECT_EQ(WriteErrorText(LastWriteError()), c.text);
        EXPECT_FALSE(AppendBytesFile(file, "more"));
        EXPECT_FALSE(WriteTextFile(file, "text"));
        EXPECT_FALSE(EnsureDirectory(bad + "/new"));
        EXPECT_EQ(LastWriteError(), c.cause);
        EXPECT_TRUE(IsStorageFault(LastWriteError()));
        // Elsewhere writes go on, and the cause is cleared by the first that succeeds.
        EXPECT_TRUE(WriteBytesFile(dir.path() + "/images/x.JPG", "jpg"));
        EXPECT_EQ(LastWriteError(), WriteError::None);
    }
    EXPECT_EQ(ReadAll(dir.native() + "/Log/kept.txt"), "before");
    EXPECT_FALSE(std::filesystem::exists(dir.native() + "/Log/new"));
}

TEST(Files, AFullDeviceIsNoSpace) {
    // Every write to /dev/full fails with ENOSPC once the buffer goes out: the close is
    // where a buffered write learns of it.
    if (ModeOf("/dev/full") < 0)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(WriteBytesFile("/dev/full", std::string(100, 'x')));
    EXPECT_EQ(LastWriteError(), WriteError::NoSpace);
    EXPECT_FALSE(AppendBytesFile("/dev/full", "x"));
    EXPECT_EQ(LastWriteError(), WriteError::NoSpace);
}

TEST(Files, NewFilesAndFoldersAreTheOwnersAloneExistingOnesKeepTheirMode) {
    TempAppDir dir(false);
    const std::string folder = dir.path() + "/images/day";
    ASSERT_TRUE(EnsureDirectory(folder));
    EXPECT_EQ(ModeOf(NativePath(folder)), 0700);
    ASSERT_TRUE(WriteBytesFile(folder + "/a.JPG", "jpg"));
    ASSERT_TRUE(AppendBytesFile(folder + "/b.txt", "log"));
    EXPECT_EQ(ModeOf(NativePath(folder + "/a.JPG")), 0600);
    EXPECT_EQ(ModeOf(NativePath(folder + "/b.txt")), 0600);

    // The seller made these readable: a rewrite leaves the modes alone.
    ASSERT_EQ(chmod(NativePath(folder + "/a.JPG").c_str(), 0644), 0);
    ASSERT_EQ(chmod(NativePath(folder).c_str(), 0755), 0);
    ASSERT_TRUE(WriteBytesFile(folder + "/a.JPG", "jpg2"));
    ASSERT_TRUE(EnsureDirectory(folder));
    EXPECT_EQ(ModeOf(NativePath(folder + "/a.JPG")), 0644);
    EXPECT_EQ(ModeOf(NativePath(folder)), 0755);
}

TEST(Log, AnEntryThatCannotBeWrittenIsDroppedAndTheCallersCauseKept) {
    TempAppDir dir(false);
    Log log(dir.path() + "/Log");
    struct Lifted {
        ~Lifted() { SetWriteFaultHook(nullptr); }
    } lifted;
    SetWriteFaultHook([](const std::string& path) {
        return path.find("/Log/") != std::string::npos      ? ENOSPC
               : path.find("/images/") != std::string::npos ? EROFS
                                                            : 0;
    });
    EXPECT_FALSE(WriteBytesFile(dir.path() + "/images/a.JPG", "jpg"));
    log.WriteLog("图片保存失败");  // between the failed write and its check
    EXPECT_EQ(LastWriteError(), WriteError::NotWritable);
    EXPECT_EQ(log.Dropped(), 1);
    EXPECT_FALSE(std::filesystem::exists(NativePath(log.FilePathFor(std::time(nullptr)))));
}
