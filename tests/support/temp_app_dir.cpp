#include "support/temp_app_dir.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "base/text.h"

namespace fs = std::filesystem;

namespace vt::testing {

TempAppDir::TempAppDir(bool withData) {
    std::string tmpl = (fs::temp_directory_path() / "vantrell-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    fs::path root(tmpl);
    if (withData) {
        fs::copy(VT_SOURCE_DATA_DIR, root, fs::copy_options::recursive);
    }
    for (const char* d : {"Data", "Data/File", "DataBase", "Log", "images"})
        fs::create_directories(root / d);
    // The shipped file names the real sites; a test tree never does. Every role points
    // at a closed loopback port until the test points it at a stand-in.
    std::ofstream hosts(root / "Data/Hosts.ini", std::ios::binary | std::ios::trunc);
    hosts << "[HOSTS]\r\n";
    for (const char* key : {"SourceSearch", "SourceCategory", "SourceProduct", "SourcePromo",
                            "MarketLogin", "MarketUpload", "MarketSell", "MarketTrade",
                            "MarketAdvertising", "MarketMain", "MarketImageCdn"})
        hosts << key << "=" << kClosedLoopbackOrigin << "\r\n";
    path_ = Utf8ToGbk(root.string());
}

TempAppDir::~TempAppDir() {
    std::error_code ec;
    fs::remove_all(native(), ec);
}

std::string TempAppDir::native() const {
    return GbkToUtf8(path_);
}

std::string ReadAll(const std::string& nativePath) {
    std::ifstream in(nativePath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& nativePath, const std::string& bytes) {
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string U8(const std::string& gbk) {
    return GbkToUtf8(gbk);
}

}  // namespace vt::testing
