// The daily log: Log/YYYYMMDD.txt beside the executable. Each entry is the message and
// a zero byte, then "--<date> <time>\r\n" and a zero byte. No levels; never fails its caller.
#pragma once

#include <atomic>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

namespace vt {

class Log {
public:
    // logDir: the GBK path of the Log folder (AppDir + "/Log").
    explicit Log(std::string logDir);

    // Appends one entry to the file of the current local day. Concurrent calls are
    // serialised so that entries never interleave.
    void WriteLog(std::string_view message);
    // The same at a given moment (tests).
    void WriteLogAt(std::string_view message, std::time_t when);

    // GBK path of the day's file for a moment.
    std::string FilePathFor(std::time_t when) const;
    const std::string& dir() const { return dir_; }
    // Entries that could not be written (a full disk, a missing folder).
    int Dropped() const { return dropped_.load(); }

private:
    std::string dir_;
    std::mutex mutex_;
    std::atomic<int> dropped_{0};
};

}  // namespace vt
