// Where a collected book's picture is saved: the job's category text, the ISBN, the
// product code and the picture's address all come from pages.
#include <filesystem>
#include <string>

#include "base/files.h"
#include "core/book_types.h"
#include "core/context.h"
#include "detail/image_download.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

namespace {

namespace fs = std::filesystem;

bool IsBelow(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != ".." && *relative.begin() != "." &&
           !relative.is_absolute();
}

bool HoldsSeparatorOrControl(const std::string& name) {
    for (unsigned char c : name)
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F)
            return true;
    return false;
}

void CheckTarget(AppContext& ctx, const ImageTarget& target) {
    if (!target.refusal.empty()) {
        Require(target.path.empty(), "a refusal names no path");
        return;
    }
    Require(!target.path.empty(), "a picture without a refusal has a path");
    const std::size_t slash = target.path.rfind('/');
    Require(slash != std::string::npos, "the path has folders");
    const std::string fileName = target.path.substr(slash + 1);
    Require(!HoldsSeparatorOrControl(fileName) && fileName.size() > 4,
            "the file name holds no separator or control character");
    Require(!HoldsSeparatorOrControl(target.distinction),
            "the product code that tells pictures apart holds no separator");

    // The day may turn while the input runs: either day's folder will do.
    const fs::path path = fs::path(NativePath(target.path));
    bool inside = false;
    for (const std::string& day : {DayFolderName(), DayFolderName(std::time(nullptr) - 60)}) {
        const fs::path dayFolder =
            fs::path(NativePath(ctx.ImagesDir() + "/" + day)).lexically_normal();
        // A name too long for the file system has no canonical form; the lexical one holds.
        std::error_code pathError, folderError;
        const fs::path canonical = fs::weakly_canonical(path, pathError);
        const fs::path canonicalFolder = fs::weakly_canonical(dayFolder, folderError);
        inside = inside || (IsBelow(path.lexically_normal(), dayFolder) &&
                            (pathError || folderError || IsBelow(canonical, canonicalFolder)));
    }
    Require(inside, "the picture lies inside images/<day folder>/");
}

}  // namespace

int FuzzPicturePath(const std::uint8_t* data, std::size_t size) {
    const auto parts = SplitInput(data, size, 5);
    AppContext& ctx = FuzzContext();
    O_BookInfo book;
    book.ISBN = parts[1];
    book.ProductId = parts[2];
    book.OuterCode = parts[3];
    book.RemoteImageUrl = parts[4];
    for (const bool byIsbn : {true, false}) {
        ctx.config().SetCHKIsbnForPicName(byIsbn);
        ctx.job().SetCurrentFenlei(parts[0]);
        CheckTarget(ctx, ImageFilePath(ctx, book));
    }
    return 0;
}

}  // namespace vt::fuzz
