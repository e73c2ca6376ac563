// What the targets share: cutting one input into parts, the check that aborts, and an
// installed tree whose every host points at a closed loopback port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vt {
class AppContext;
}

namespace vt::fuzz {

// The input cut at every 0xFF byte (a byte GBK never uses) into exactly `parts` texts; the
// last part takes the rest, missing parts are empty.
std::vector<std::string> SplitInput(const std::uint8_t* data, std::size_t size, std::size_t parts);

// Aborts with the message when the condition does not hold: afl-fuzz records the input
// as a crash, the replay test fails.
void Require(bool condition, const char* what);

// True when the text holds a zero byte.
bool HasZeroByte(const std::string& text);

// The part names of a multipart body read back with its boundary, in body order; false
// when the body is not a run of such parts ended by the closing line.
bool ReadMultipartNames(const std::string& body, const std::string& boundary,
                        std::vector<std::string>& names);

// The fields of an urlencoded body as a server reads it: "&" ends a field, the first "="
// ends its name, "%XX" is one byte.
using Fields = std::vector<std::pair<std::string, std::string>>;
Fields UrlEncodedFields(const std::string& body);

// One context for the whole process in a fresh temporary folder (removed at exit): empty
// databases, no log folder (entries are dropped), the shipped defaults of a fresh SysConfig, and
// every host at 127.0.0.1:9, so that even a wrong turn into a fetch never leaves this machine.
AppContext& FuzzContext();

}  // namespace vt::fuzz
