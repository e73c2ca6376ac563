#include "cli/input_checks.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace vt::cli {
namespace {

std::string ReadWhole(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string CheckAppDir(const std::string& utf8Dir, bool& notFound) {
    std::error_code ec;
    notFound = !fs::is_directory(utf8Dir, ec);
    if (notFound)
        return "app folder " + utf8Dir + " does not exist (give --app-dir the installed tree)";
    for (const char* file : {"Data/Setting.ini", "Data/Hosts.ini"})
        if (!fs::is_regular_file(fs::path(utf8Dir) / file, ec))
            return "app folder " + utf8Dir + " has no " + file;
    // A file is made and removed in each folder a job writes to: permission bits alone
    // do not tell (a read-only mount, the superuser).
    for (const char* sub : {"", "/Log", "/DataBase", "/images"}) {
        const std::string path = utf8Dir + sub;
        if (!fs::exists(path, ec))
            continue;
        if (!fs::is_directory(path, ec))
            return "app folder " + path + " is not a folder";
        std::string probe = path + "/.vantrell-write-check-XXXXXX";
        const int fd = mkstemp(probe.data());
        if (fd < 0)
            return "app folder " + path + " cannot be written (" +
                   std::string(std::strerror(errno)) + "): the log, the databases and the " +
                   "pictures of a job go there";
        close(fd);
        unlink(probe.c_str());
    }
    return {};
}

std::string CheckWholeNumber(const std::string& option, const std::string& text, long min, long max,
                             long& value) {
    const char* end = text.data() + text.size();
    auto [ptr, err] = std::from_chars(text.data(), end, value);
    if (text.empty() || err != std::errc() || ptr != end)
        return option + " takes a whole number, not \"" + text + "\"";
    if (value < min || value > max)
        return option + " must be from " + std::to_string(min) + " to " + std::to_string(max) +
               ", not " + text;
    return {};
}

std::string CheckHttpAddress(const std::string& option, const std::string& text) {
    std::string lower;
    for (char c : text) lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
    for (const char* scheme : {"http://", "https://"}) {
        const std::string s = scheme;
        if (lower.rfind(s, 0) == 0 && text.size() > s.size() && text[s.size()] != '/' &&
            text.find_first_of(" \t\r\n") == std::string::npos)
            return {};
    }
    return option + " takes an http:// or https:// address, not \"" + text + "\"";
}

std::string CheckReadableFile(const std::string& what, const std::string& utf8Path) {
    std::error_code ec;
    if (utf8Path.empty())
        return what + ": no file named";
    if (!fs::exists(utf8Path, ec))
        return what + " " + utf8Path + " does not exist";
    if (fs::is_directory(utf8Path, ec))
        return what + " " + utf8Path + " is a folder, not a file";
    std::ifstream in(utf8Path, std::ios::binary);
    if (!in)
        return what + " " + utf8Path + " cannot be read (" + std::strerror(errno) + ")";
    return {};
}

std::string CheckPasswordFile(const std::string& utf8Path) {
    std::string problem = CheckReadableFile("password file", utf8Path);
    if (!problem.empty())
        return problem;
    bool ok = false;
    const std::string text = ReadWhole(utf8Path, ok);
    if (text.substr(0, text.find_first_of("\r\n")).empty())
        return "password file " + utf8Path + " is empty (the password is its first line)";
    return {};
}

std::string CheckCookieFile(const std::string& utf8Path) {
    std::string problem = CheckReadableFile("cookie file", utf8Path);
    if (!problem.empty())
        return problem;
    bool ok = false;
    const std::string text = ReadWhole(utf8Path, ok);
    // A cookie string is "name=value" pairs: at least one '=' after a name, and text.
    const std::size_t eq = text.find('=');
    const bool binary = text.find('\0') != std::string::npos;
    if (eq == std::string::npos || eq == 0 || binary)
        return "cookie file " + utf8Path +
               " does not hold a cookie (expected name=value pairs, as a browser sends them)";
    return {};
}

std::string CheckReportPath(const std::string& utf8Path) {
    if (utf8Path == "-")
        return {};
    std::error_code ec;
    if (fs::is_directory(utf8Path, ec))
        return "report " + utf8Path + " is a folder";
    fs::path parent = fs::path(utf8Path).parent_path();
    if (parent.empty())
        parent = ".";
    if (!fs::is_directory(parent, ec))
        return "report folder " + parent.string() + " does not exist";
    const bool exists = fs::exists(utf8Path, ec);
    if (access(exists ? utf8Path.c_str() : parent.c_str(), W_OK) != 0)
        return "report " + utf8Path + " cannot be written (" + std::strerror(errno) + ")";
    return {};
}

}  // namespace vt::cli
