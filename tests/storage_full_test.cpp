// Whole jobs whose app folder runs out of room or cannot be written: the job stops itself
// and says where and why, nothing reaches the shop without its journal entry, and the same
// job run again once there is space puts no book in the shop twice and records every one.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/panel_actions.h"
#include "base/files.h"
#include "core/context.h"
#include "support/e2e_job.h"
#include "support/local_sites.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::E2eJob;
using vt::testing::E2eOptions;
using vt::testing::U8;
namespace fs = std::filesystem;

namespace {

bool HasDuplicates(std::vector<std::string> codes) {
    std::sort(codes.begin(), codes.end());
    return std::adjacent_find(codes.begin(), codes.end()) != codes.end();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A tmpfs of a given size, unmounted (lazily: the job's handles may still be open) at the
// end.
class SmallFileSystem {
public:
    SmallFileSystem(const fs::path& dir, const std::string& size) : dir_(dir) {
        fs::create_directories(dir_);
        const std::string options = "size=" + size;
        if (mount("tmpfs", dir_.c_str(), "tmpfs", 0, options.c_str()) == 0)
            mounted_ = true;
        else
            error_ = std::strerror(errno);
    }
    ~SmallFileSystem() {
        if (mounted_)
            umount2(dir_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }
    // More room, with everything on it kept.
    bool Grow(const std::string& size) {
        const std::string options = "size=" + size;
        return mount("tmpfs", dir_.c_str(), "tmpfs", MS_REMOUNT, options.c_str()) == 0;
    }

private:
    fs::path dir_;
    bool mounted_ = false;
    std::string error_;
};

// The folder's content moved onto the small file system, the folder itself becoming a
// link there: the databases, pictures and the log then share the small room.
void MoveOnto(const fs::path& folder, const fs::path& small) {
    const fs::path target = small / folder.filename();
    fs::copy(folder, target, fs::copy_options::recursive);
    fs::remove_all(folder);
    fs::create_directory_symlink(target, folder);
}

bool StartTitleJob(E2eJob& job) {
    ChooseMode(job.ctx(), CollectMode::Title);
    job.ctx().panel().SetInput(CollectInput::Title, job.CommonTitleCharacter());
    return PressStart(job.ctx());
}

bool Prepare(E2eJob& job) {
    job.ctx().config().SetRetryCount("1");
    job.ctx().SetRetryDelayMs(2);
    job.ctx().config().SetDirectSentP(true);
    return job.LogIn();
}

std::vector<std::string> JournalCodes(AppContext& ctx) {
    std::vector<std::string> codes;
    for (const UnknownPublish& entry : ctx.db().UnknownPublishes())
        codes.push_back(entry.outerCode);
    std::sort(codes.begin(), codes.end());
    return codes;
}

// Rows of the journal table, settled or not.
int JournalRows(AppContext& ctx) {
    return CountRows(ctx.db().ProductDb(), "select VT from PublishJournal");
}

// Every item of the shop is recorded or waits in the journal to be looked up: none was
// posted that a later run could not find again.
void ExpectEveryShopItemKnown(E2eJob& job) {
    std::vector<std::string> known = job.RecordedCodes();
    for (const std::string& code : JournalCodes(job.ctx())) known.push_back(code);
    std::sort(known.begin(), known.end());
    for (const std::string& code : job.ShopCodes())
        EXPECT_TRUE(std::binary_search(known.begin(), known.end(), code)) << code;
}

TEST(FullDisk, TheJobStopsItselfAndARunWithSpacePublishesNothingTwice) {
    E2eJob job(E2eOptions{400, 0, 0});
    AppContext& ctx = job.ctx();
    const fs::path root = NativePath(ctx.appDir());
    SmallFileSystem small(root / "small", "150k");
    if (!small.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (" << small.error() << ")";
    for (const char* folder : {"DataBase", "images", "Log"})
        MoveOnto(root / folder, root / "small");
    ASSERT_TRUE(Prepare(job));

    ASSERT_TRUE(StartTitleJob(job));
    ASSERT_TRUE(vt::testing::WaitUntil([&] { return ctx.panel().JobStopped(); }, 60000))
        << job.Describe();
    job.StopAndJoin();

    const std::string reason = ctx.network().StopReason();
    std::printf(
        "[ figures  ] full: found %d, shop %zu, recorded %zu, journal rows %d (unsettled %zu)\n",
        ctx.toCollect().Count(), job.ShopCodes().size(), job.RecordedCodes().size(),
        JournalRows(ctx), JournalCodes(ctx).size());
    EXPECT_TRUE(Contains(reason, "磁盘空间不足")) << U8(reason);
    EXPECT_TRUE(Contains(reason, "已停止采集")) << U8(reason);
    EXPECT_NE(std::find(job.messages().begin(), job.messages().end(), reason),
              job.messages().end());
    EXPECT_FALSE(HasDuplicates(job.ShopCodes()));
    ExpectEveryShopItemKnown(job);
    // Stopped, not failed book by book: at most the books in flight carry the cause.
    int storageFailures = 0;
    for (int i = 0, n = ctx.collected().Count(); i < n; ++i) {
        const CollectedRow row = ctx.collected().RowAt(i);
        storageFailures += Contains(row[kImageStateCol] + row[kMarketStateCol], "磁盘空间不足");
    }
    EXPECT_GE(storageFailures, 1);
    EXPECT_LE(storageFailures, 4);

    // The same job with room again.
    ASSERT_TRUE(small.Grow("64m"));
    ASSERT_TRUE(PressStart(ctx));
    ASSERT_TRUE(job.RunToEnd(false, 120000)) << job.Describe();
    const std::vector<std::string> shop = job.ShopCodes();
    std::size_t duplicates = 0;
    for (std::size_t i = 1; i < shop.size(); ++i) duplicates += shop[i] == shop[i - 1];
    std::printf(
        "[ figures  ] re-run: shop %zu, recorded %zu, journal rows %d (unsettled %zu), "
        "duplicates %zu\n",
        shop.size(), job.RecordedCodes().size(), JournalRows(ctx), JournalCodes(ctx).size(),
        duplicates);
    EXPECT_EQ(duplicates, 0u);
    EXPECT_EQ(shop, job.RecordedCodes());
    EXPECT_TRUE(JournalCodes(ctx).empty());
    EXPECT_TRUE(ctx.network().StopReason().empty());
    EXPECT_FALSE(shop.empty());
}

TEST(FullDisk, AFileRewrittenWhenTheDiskIsFullKeepsItsOldContent) {
    vt::testing::TempAppDir dir(false);
    SmallFileSystem small(fs::path(dir.native()) / "small", "64k");
    if (!small.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (" << small.error() << ")";
    const std::string file = dir.path() + "/small/Setting.ini";
    ASSERT_TRUE(WriteBytesFile(file, "[SYS]\r\nDiscount=8\r\n"));
    // Whatever room is left is taken by another program's file.
    {
        std::ofstream filler(dir.native() + "/small/filler", std::ios::binary);
        filler << std::string(128 * 1024, 'f');
        EXPECT_FALSE(filler.flush());
    }
    // A new file that does not fit leaves nothing behind.
    EXPECT_FALSE(WriteBytesFile(dir.path() + "/small/new.txt", std::string(16 * 1024, 'n')));
    EXPECT_EQ(LastWriteError(), WriteError::NoSpace);
    EXPECT_FALSE(fs::exists(dir.native() + "/small/new.txt"));

    EXPECT_FALSE(WriteBytesFile(file, std::string(16 * 1024, 's')));
    EXPECT_EQ(LastWriteError(), WriteError::NoSpace);
    EXPECT_EQ(vt::testing::ReadAll(NativePath(file)), "[SYS]\r\nDiscount=8\r\n");
    EXPECT_FALSE(fs::exists(NativePath(file) + ".new"));
}

TEST(ReadOnlyPictures, TheJobStopsAtTheFirstPictureAndPostsNothing) {
    E2eJob job(E2eOptions{20, 0, 0});
    AppContext& ctx = job.ctx();
    ASSERT_TRUE(Prepare(job));
    const std::string images = NativePath(ctx.ImagesDir());
    // The pictures' folder as on a file system mounted read-only.
    SetWriteFaultHook([images](const std::string& path) {
        return path.compare(0, images.size(), images) == 0 ? EROFS : 0;
    });
    ASSERT_TRUE(StartTitleJob(job));
    const bool stopped = vt::testing::WaitUntil([&] { return ctx.panel().JobStopped(); }, 60000);
    job.StopAndJoin();
    SetWriteFaultHook(nullptr);
    ASSERT_TRUE(stopped) << job.Describe();

    EXPECT_EQ(U8(ctx.network().StopReason()),
              U8("文件夹" + ctx.ImagesDir() + "无法写入，已停止采集"));
    EXPECT_TRUE(job.ShopCodes().empty());
    EXPECT_TRUE(JournalCodes(ctx).empty());
    bool said = false;
    for (int i = 0, n = ctx.collected().Count(); i < n; ++i)
        said = said || Contains(ctx.collected().Cell(i, kImageStateCol), "（无法写入）");
    EXPECT_TRUE(said);
}

}  // namespace
