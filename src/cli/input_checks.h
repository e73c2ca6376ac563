// Checks of what the seller typed and of the files named on the command line, made
// before any network work so that a wrong input costs nothing and says what is wrong.
// Each returns an empty text when the input is fine, else the message (UTF-8).
#pragma once

#include <string>

namespace vt::cli {

// The installed tree: exists, is writable, holds Data/Setting.ini and Data/Hosts.ini.
// notFound tells a missing folder (a usage error) from an unusable one.
std::string CheckAppDir(const std::string& utf8Dir, bool& notFound);

// A whole number from min to max; value receives it.
std::string CheckWholeNumber(const std::string& option, const std::string& text, long min, long max,
                             long& value);

// An http:// or https:// address with a host.
std::string CheckHttpAddress(const std::string& option, const std::string& text);

// A file that exists and can be read.
std::string CheckReadableFile(const std::string& what, const std::string& utf8Path);

// The password file: readable, its first line not empty.
std::string CheckPasswordFile(const std::string& utf8Path);

// The cookie file: readable and holding "name=value" pairs.
std::string CheckCookieFile(const std::string& utf8Path);

// Where the report goes ("-": standard output): the folder exists and can be written.
std::string CheckReportPath(const std::string& utf8Path);

}  // namespace vt::cli
