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

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// True when every byte sequence is well-formed UTF-8 and at least one character of
// three or more bytes occurs (as every Chinese character does). GBK text of more than a
// few characters practically never passes: its lead bytes would each need the exact
// number of continuation bytes behind them.
bool LooksLikeUtf8(std::string_view b) {
    bool wide = false;
    for (std::size_t i = 0; i < b.size();) {
        const unsigned char c = static_cast<unsigned char>(b[i]);
        std::size_t len = c < 0x80                   ? 1
                          : (c >= 0xC2 && c <= 0xDF) ? 2
                          : (c >= 0xE0 && c <= 0xEF) ? 3
                          : (c >= 0xF0 && c <= 0xF4) ? 4
                                                     : 0;
        if (len == 0 || i + len > b.size())
            return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(b[i + k]) & 0xC0) != 0x80)
                return false;
        wide = wide || len >= 3;
        i += len;
    }
    return wide;
}

}  // namespace

TextFileContent DecodeTextFile(std::string_view bytes) {
    TextFileContent out;
    // Zero bytes in front (a shipped empty file the seller typed after) and at the end
    // (the terminator this program writes) carry nothing; one between two pieces of text
    // is taken as a line end, so nothing after it is lost.
    const std::size_t first = bytes.find_first_not_of('\0');
    if (first == std::string_view::npos)
        return out;
    const std::size_t last = bytes.find_last_not_of('\0');
    std::string text;
    text.reserve(last - first + 1);
    for (std::size_t i = first; i <= last; ++i) {
        if (bytes[i] != '\0') {
            text += bytes[i];
            continue;
        }
        out.interiorZero = true;
        while (i + 1 <= last && bytes[i + 1] == '\0') ++i;
        text += "\r\n";
    }
    if (text.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) {
        out.text = Utf8ToGbk(std::string_view(text).substr(kUtf8Bom.size()));
        out.wasUtf8 = true;
    } else if (LooksLikeUtf8(text)) {
        out.text = Utf8ToGbk(text);
        out.wasUtf8 = true;
    } else {
        out.text = std::move(text);
    }
    return out;
}

std::string ReadTextFile(const std::string& path, Log& log) {
    std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes) {
        log.WriteLog(path + "[不存在]");
        return {};
    }
    TextFileContent content = DecodeTextFile(*bytes);
    if (content.interiorZero)
        log.WriteLog(path + "[文件中间有零字节，按换行读取]");
    return std::move(content.text);
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
    // GBK whose bytes also pass as UTF-8 would be converted when read back on the next
    // start; such a text is written as UTF-8 with a mark, which reads back exactly.
    if (DecodeTextFile(bytes).text != text) {
        std::string utf8 = GbkToUtf8(text);
        if (Utf8ToGbk(utf8) == text)
            bytes = std::string(kUtf8Bom) + utf8;
    }
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
