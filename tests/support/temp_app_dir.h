// A fresh installed tree in a temporary folder, removed again at the end of the test.
#pragma once

#include <string>

namespace vt::testing {

// A loopback address where nothing listens: the unreachable site of a test.
inline constexpr char kClosedLoopbackOrigin[] = "http://127.0.0.1:1";

// Every tree, with or without the shipped data, gets a Data/Hosts.ini of its own whose
// every role is kClosedLoopbackOrigin, never the shipped one.
class TempAppDir {
public:
    // withData: copy the shipped Data tree; otherwise the folders stay empty.
    explicit TempAppDir(bool withData = true);
    ~TempAppDir();
    TempAppDir(const TempAppDir&) = delete;
    TempAppDir& operator=(const TempAppDir&) = delete;

    // GBK path, as the system takes it.
    const std::string& path() const { return path_; }
    // The same path as the file system takes it (UTF-8), for test-side file access.
    std::string native() const;

private:
    std::string path_;
};

// Whole file as bytes (native UTF-8 path); empty when missing.
std::string ReadAll(const std::string& nativePath);
// Writes bytes to a native path, creating or truncating the file.
void WriteAll(const std::string& nativePath, const std::string& bytes);
// GBK -> UTF-8 for readable failure messages.
std::string U8(const std::string& gbk);

}  // namespace vt::testing
