#include "base/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "base/log.h"
#include "base/text.h"

namespace vt {

std::string AppDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    std::size_t cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return Utf8ToGbk(path.substr(0, cut));
}

std::string NativePath(std::string_view gbkPath) {
    return GbkToUtf8(gbkPath);
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    std::FILE* f = std::fopen(NativePath(path).c_str(), "rb");
    if (!f)
        return std::nullopt;
    std::string bytes;
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    std::fclose(f);
    return bytes;
}

std::string ReadTextFile(const std::string& path, Log& log) {
    std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes) {
        log.WriteLog(path + "[不存在]");
        return {};
    }
    std::string text = std::move(*bytes);
    std::size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return text;
}

bool WriteBytesFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(NativePath(path).c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

bool WriteTextFile(const std::string& path, std::string_view text) {
    std::string bytes(text);
    bytes.push_back('\0');
    return WriteBytesFile(path, bytes);
}

bool EnsureDirectory(const std::string& path) {
    std::string native = NativePath(path);
    struct stat st {};
    if (stat(native.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (mkdir(native.c_str(), 0755) != 0 && errno != EEXIST)
        return false;
    return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DayFolderName(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char name[64];
    std::strftime(name, sizeof name, "%Y年%m月%d日数据", &local);
    return name;
}

std::string DayFolderName() {
    return DayFolderName(std::time(nullptr));
}

}  // namespace vt
