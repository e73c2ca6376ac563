#include "base/log.h"

#include <cstdio>

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
    std::FILE* f = std::fopen(NativePath(FilePathFor(when)).c_str(), "ab");
    if (!f)
        return;  // a missing Log folder drops the entry silently
    std::fwrite(entry.data(), 1, entry.size(), f);
    std::fclose(f);
}

}  // namespace vt
