// The text files a seller edits by hand: a forbidden word typed into the shipped file,
// saved by an editor in GBK or UTF-8, with or without a byte-order mark or a final line
// end, must drop the book; what the program writes back reads the same at the next start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/files.h"
#include "base/text.h"
#include "core/context.h"
#include "core/settings_store.h"
#include "detail/book_filters.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::U8;
using vt::testing::WriteAll;

namespace {

const std::string kTitle = "边城盗印本";
// The word "盗印" as an editor saves it in UTF-8 (the source is compiled to GBK).
const std::string kWordUtf8 = "\xE7\x9B\x97\xE5\x8D\xB0";
const std::string kBom = "\xEF\xBB\xBF";
const std::string kNul(1, '\0');

struct Dropped {
    bool dropped;
    std::string status;
};

Dropped CheckTitle(AppContext& ctx) {
    RebuildFilterWords(ctx);
    const int row = ctx.toCollect().Append(ToCollectRow{"1"});
    const bool dropped = IsForbiddenText(ctx, kTitle, row);
    return {dropped, ctx.toCollect().Cell(row, kStatusCol)};
}

TEST(SellerTextFiles, AForbiddenBookWordAddedInEachWayDropsTheBook) {
    struct Case {
        const char* way;
        std::string bytes;
        bool dropped;
    };
    const std::string shipped =
        ReadAll(std::string(VT_SOURCE_DATA_DIR) + "/Data/File/违规书籍.txt");
    const std::vector<Case> cases = {
        {"the shipped file as it is", shipped, false},
        {"an empty file", "", false},
        {"GBK", "盗印", true},
        {"GBK typed after the shipped zero byte", shipped + "盗印", true},
        {"GBK with the editor's final line end", "盗版,盗印\r\n", true},
        {"GBK written by this program", "盗版,盗印" + kNul, true},
        {"GBK after a zero byte between words", "盗版" + kNul + ",盗印", true},
        {"UTF-8", "abc," + kWordUtf8 + "\n", true},
        {"UTF-8 with a byte-order mark", kBom + kWordUtf8, true},
        {"UTF-8 typed after the shipped zero byte", shipped + kWordUtf8, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        TempAppDir dir;
        WriteAll(GbkToUtf8(dir.path() + "/Data/File/违规书籍.txt"), c.bytes);
        AppContext ctx(dir.path());
        LoadSettings(ctx);
        const Dropped first = CheckTitle(ctx);
        EXPECT_EQ(first.dropped, c.dropped) << U8(ctx.config().ForbiddenBooksText());
        if (c.dropped) {
            EXPECT_EQ(first.status, "过滤：盗印");
        }

        // Saved by the program and read at the next start: the same list, the same verdict.
        ASSERT_TRUE(SaveSettings(ctx.config(), ctx).ok);
        AppContext next(dir.path());
        LoadSettings(next);
        EXPECT_EQ(next.config().ForbiddenBooksText(), ctx.config().ForbiddenBooksText());
        EXPECT_EQ(CheckTitle(next).dropped, c.dropped);
    }
}

TEST(SellerTextFiles, DecodingKeepsGbkBytesAndReadsZeroBytesAndUtf8) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string text;
        bool interiorZero;
        bool wasUtf8;
    };
    const std::vector<Case> cases = {
        {"GBK of an existing installation, byte for byte", "暂无" + kNul, "暂无", false, false},
        {"GBK whose bytes also pass as two-byte UTF-8", "录取", "录取", false, false},
        {"zero bytes in front and behind", kNul + kNul + "a" + kNul, "a", false, false},
        {"a zero byte between text is a line end", "ab" + kNul + kNul + "cd", "ab\r\ncd", true,
         false},
        {"UTF-8 without a mark", "<b>" + kWordUtf8 + "</b>", "<b>盗印</b>", false, true},
        {"UTF-8 with a mark", kBom + "x", "x", false, true},
        {"only zero bytes", kNul + kNul, "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TextFileContent got = DecodeTextFile(c.bytes);
        EXPECT_EQ(got.text, c.text) << U8(got.text);
        EXPECT_EQ(got.interiorZero, c.interiorZero);
        EXPECT_EQ(got.wasUtf8, c.wasUtf8);
    }
}

TEST(SellerTextFiles, UtfEightTemplateIsReadAsGbk) {
    TempAppDir dir;
    WriteAll(GbkToUtf8(dir.path() + "/Data/File/默认内容.txt"), kBom + kWordUtf8);
    AppContext ctx(dir.path());
    LoadSettings(ctx);
    EXPECT_EQ(ctx.config().DefaultContentText(), "盗印");
}

}  // namespace
