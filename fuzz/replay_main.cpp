// Runs saved inputs through the fuzz targets in an ordinary build: every seed of the
// corpus and every input that once found a fault, so a fixed fault stays fixed.
//   fuzz_replay TARGET FILE_OR_FOLDER...
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_targets.h"

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

Target FindTarget(std::string_view name) {
#define VT_MATCH_FUZZ_TARGET(target, function) \
    if (name == #target)                       \
        return &vt::fuzz::function;
    VT_FUZZ_TARGETS(VT_MATCH_FUZZ_TARGET)
#undef VT_MATCH_FUZZ_TARGET
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_replay TARGET FILE_OR_FOLDER...\n");
        return 2;
    }
    const Target target = FindTarget(argv[1]);
    if (!target) {
        std::fprintf(stderr, "unknown target %s\n", argv[1]);
        return 2;
    }
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 2; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            for (const auto& entry : fs::recursive_directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else if (fs::is_regular_file(argv[i], ec)) {
            files.emplace_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "%s: no inputs found\n", argv[1]);
        return 1;
    }
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%s: %zu inputs replayed\n", argv[1], files.size());
    return 0;
}
