// Folders and whole-file text. Paths are GBK like every other text of the system;
// NativePath turns one into the file system's UTF-8 at the moment of use.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace vt {

class Log;

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

// Creates the file or truncates it and writes exactly these bytes (no zero byte).
bool WriteBytesFile(const std::string& path, std::string_view bytes);

// Creates the directory (one level) when it is missing; true when it exists afterwards.
bool EnsureDirectory(const std::string& path);

// The day folder of images: "%Y年%m月%d日数据" of the local date.
std::string DayFolderName(std::time_t when);
std::string DayFolderName();

}  // namespace vt
