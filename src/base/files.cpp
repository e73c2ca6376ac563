#include "base/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>

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

namespace {

thread_local WriteError lastWriteError = WriteError::None;

std::mutex hookMutex;
std::shared_ptr<const std::function<int(const std::string&)>> writeFaultHook;

// The errno the test hook wants this write to fail with; 0 when none.
int InjectedFault(const std::string& native) {
    std::shared_ptr<const std::function<int(const std::string&)>> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = writeFaultHook;
    }
    return hook && *hook ? (*hook)(native) : 0;
}

bool Exists(const std::string& native) {
    struct stat st {};
    return stat(native.c_str(), &st) == 0;
}

bool Fail(int err) {
    lastWriteError = WriteErrorOfErrno(err);
    return false;
}

// Writes the bytes through a file opened with the mode ("wb", "ab"); false with the cause
// noted when a byte did not reach the file. Buffered bytes fail at the close, so the close
// is checked too.
bool PutNative(const std::string& native, std::string_view bytes, const char* mode) {
    if (const int injected = InjectedFault(native))
        return Fail(injected);
    const bool existed = Exists(native);
    std::FILE* f = std::fopen(native.c_str(), mode);
    if (!f)
        return Fail(errno);
    if (!existed)
        KeepPrivate(native, false);
    int err = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        err = errno ? errno : EIO;
    if (std::fclose(f) != 0 && err == 0)
        err = errno ? errno : EIO;
    if (err != 0)
        return Fail(err);
    lastWriteError = WriteError::None;
    return true;
}

bool PutBytes(const std::string& path, std::string_view bytes, const char* mode) {
    return PutNative(NativePath(path), bytes, mode);
}

}  // namespace

std::string WriteErrorText(WriteError e) {
    switch (e) {
        case WriteError::None:
            return {};
        case WriteError::NoSpace:
            return "磁盘空间不足";
        case WriteError::NotWritable:
            return "无法写入";
        case WriteError::Refused:
            return "写入被拒绝";
    }
    return "无法写入";
}

WriteError WriteErrorOfErrno(int err) {
    switch (err) {
        case 0:
            return WriteError::None;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            return WriteError::NoSpace;
        default:
            return WriteError::NotWritable;
    }
}

WriteError LastWriteError() {
    return lastWriteError;
}

void RestoreLastWriteError(WriteError e) {
    lastWriteError = e;
}

void SetWriteFaultHook(std::function<int(const std::string& nativePath)> hook) {
    auto shared =
        hook ? std::make_shared<const std::function<int(const std::string&)>>(std::move(hook))
             : nullptr;
    std::lock_guard<std::mutex> lock(hookMutex);
    writeFaultHook = std::move(shared);
}

void KeepPrivate(const std::string& nativePath, bool directory) {
#ifdef _WIN32
    (void)nativePath;
    (void)directory;
#else
    // Failing leaves the umask's mode: the write itself still counts.
    (void)chmod(nativePath.c_str(), directory ? 0700 : 0600);
#endif
}

bool WriteBytesFile(const std::string& path, std::string_view bytes) {
    const std::string native = NativePath(path);
    struct stat st {};
    const bool existed = stat(native.c_str(), &st) == 0;
    // A device or a pipe is written in place; anything else goes through a new file put in
    // place whole, so a disk that fills midway leaves the old file as it was instead of a
    // truncated settings file or half a picture.
    if (existed && !S_ISREG(st.st_mode))
        return PutNative(native, bytes, "wb");
    if (const int injected = InjectedFault(native))
        return Fail(injected);
    const std::string fresh = native + ".new";
    std::remove(fresh.c_str());
    if (!PutNative(fresh, bytes, "wb")) {
        const WriteError cause = lastWriteError;
        std::remove(fresh.c_str());
        lastWriteError = cause;
        return false;
    }
#ifndef _WIN32
    // The replaced file's mode is kept: only a file this program creates is made private.
    // (A Windows build needs a replacing move here: rename does not replace there.)
    if (existed)
        (void)chmod(fresh.c_str(), st.st_mode & 07777);
#endif
    if (std::rename(fresh.c_str(), native.c_str()) != 0) {
        const int err = errno;
        std::remove(fresh.c_str());
        return Fail(err);
    }
    return true;
}

bool AppendBytesFile(const std::string& path, std::string_view bytes) {
    return PutBytes(path, bytes, "ab");
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
    if (const int injected = InjectedFault(native))
        return Fail(injected);
    if (mkdir(native.c_str(), 0700) != 0) {
        if (errno != EEXIST)
            return Fail(errno);
    } else {
        KeepPrivate(native, true);
    }
    if (stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Fail(ENOTDIR);
    lastWriteError = WriteError::None;
    return true;
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
