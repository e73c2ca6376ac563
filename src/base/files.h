// Folders and whole-file text. Paths are GBK like every other text of the system;
// NativePath turns one into the file system's UTF-8 at the moment of use.
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vt {

class Log;

// Why a write did not reach the disk.
enum class WriteError {
    None,
    NoSpace,      // the disk (or the seller's quota) is full
    NotWritable,  // a read-only file system, no permission, an I/O error
    Refused,      // not the storage: the data was refused (a constraint, a lock held)
};

// A storage fault fails every later write in the same folder the same way: a job stops on
// it instead of failing each following book.
inline bool IsStorageFault(WriteError e) {
    return e == WriteError::NoSpace || e == WriteError::NotWritable;
}
// The seller's words for the cause (GBK): "磁盘空间不足", "无法写入".
std::string WriteErrorText(WriteError e);
// The cause of a failed system call's errno.
WriteError WriteErrorOfErrno(int err);

// The outcome of one checked write.
struct WriteOutcome {
    WriteError error = WriteError::None;
    explicit operator bool() const { return error == WriteError::None; }
};

// The cause of the last failed write of this thread through the functions below (None
// after a write that succeeded), for callers whose own result only says "failed".
WriteError LastWriteError();
// Puts back a cause read before a write that must not hide it (the log's own).
void RestoreLastWriteError(WriteError e);

// Test seam: every file write and folder creation below first asks the hook, with the
// native path; a non-zero errno fails the write with that cause (ENOSPC, EROFS) before
// the file is touched. An empty hook (the default) lets everything through.
void SetWriteFaultHook(std::function<int(const std::string& nativePath)> hook);

// A file or folder this program has just created is narrowed to its owner (0600 / 0700):
// the databases, the log and the pictures are the seller's alone. Existing ones are never
// touched. Nothing on Windows, where the per-user profile is private already.
void KeepPrivate(const std::string& nativePath, bool directory);

// The folder of the running executable, without a trailing separator (GBK).
std::string AppDir();

// GBK path -> the bytes the file system takes (UTF-8).
std::string NativePath(std::string_view gbkPath);

// Every byte of the file; nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::string& path);

// A text file as the seller may have edited it, in GBK: zero bytes in front and at the
// end dropped, a zero byte between text read as a line end; a UTF-8 file (with or
// without a byte-order mark) converted. Other bytes are taken as GBK, unchanged.
struct TextFileContent {
    std::string text;
    bool interiorZero = false;  // a zero byte stood between text
    bool wasUtf8 = false;
};
TextFileContent DecodeTextFile(std::string_view bytes);

// The whole file, decoded as above. A file that cannot be opened reads as empty text and
// leaves the log entry: the path followed by "[不存在]"; a zero byte between text is
// logged too.
std::string ReadTextFile(const std::string& path, Log& log);

// Creates or truncates the file and writes the text followed by one zero byte. A text
// that ReadTextFile would not give back as it is (GBK bytes that also pass as UTF-8) is
// written in UTF-8 after a byte-order mark instead.
// False when the file cannot be created or written.
bool WriteTextFile(const std::string& path, std::string_view text);

// Creates the file or truncates it and writes exactly these bytes (no zero byte). A new
// file is private to the owner.
bool WriteBytesFile(const std::string& path, std::string_view bytes);

// Appends the bytes to the file, creating it (private) when missing. False, with the
// cause in LastWriteError, when not every byte was written.
bool AppendBytesFile(const std::string& path, std::string_view bytes);

// Creates the directory (one level, private) when it is missing; true when it exists
// afterwards.
bool EnsureDirectory(const std::string& path);

// The day folder of images: "%Y年%m月%d日数据" of the local date.
std::string DayFolderName(std::time_t when);
std::string DayFolderName();

}  // namespace vt
