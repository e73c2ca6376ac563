#include "base/log.h"

#include "base/files.h"

namespace vt {

Log::Log(std::string logDir) : dir_(std::move(logDir)) {}

std::string Log::FilePathFor(std::time_t when) const {
    std::tm local{};
    localtime_r(&when, &local);
    char name[32];
    std::strftime(name, sizeof name, "%Y%m%d", &local);
    return dir_ + "/" + name + ".txt";
}

void Log::WriteLog(std::string_view message) {
    WriteLogAt(message, std::time(nullptr));
}

void Log::WriteLogAt(std::string_view message, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char timeLine[64];
    std::strftime(timeLine, sizeof timeLine, "--%Y年%m月%d日 %H:%M:%S\r\n", &local);

    std::string entry(message);
    entry.push_back('\0');
    entry += timeLine;
    entry.push_back('\0');

    std::lock_guard<std::mutex> lock(mutex_);
    // A missing Log folder or a full disk drops the entry: the log never stops its caller.
    // The last write error of the caller is kept, so a log entry between a failed write
    // and its check does not hide the cause.
    const WriteError callerError = LastWriteError();
    if (!AppendBytesFile(FilePathFor(when), entry))
        ++dropped_;
    RestoreLastWriteError(callerError);
}

}  // namespace vt
