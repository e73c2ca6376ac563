#include "base/ini_file.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "base/files.h"
#include "base/text.h"

namespace vt {

namespace {

struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n", "\r" or "" for a last line without one
};

std::vector<Line> SplitLines(const std::string& bytes) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t cut = bytes.find_first_of("\r\n", start);
        if (cut == std::string::npos) {
            lines.push_back({bytes.substr(start), ""});
            break;
        }
        std::size_t next = cut + 1;
        if (bytes[cut] == '\r' && next < bytes.size() && bytes[next] == '\n')
            ++next;
        lines.push_back({bytes.substr(start, cut - start), bytes.substr(cut, next - cut)});
        start = next;
    }
    return lines;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case folds only single-byte characters: the trail byte of a GBK character may look
// like an ASCII letter and must still compare exactly.
bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsGbkLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// The section name when the line is a section header.
std::optional<std::string> SectionName(const std::string& line) {
    std::string t = Trim(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    std::size_t close = t.find(']');
    std::string name = t.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    return Trim(name);
}

// The key of a key=value line (trimmed), or nothing when the line has no '='.
std::optional<std::string> KeyName(const std::string& line) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return Trim(std::string_view(line).substr(0, eq));
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool QuotedAtBothEnds(std::string_view v) {
    return v.size() >= 2 && IsQuote(v.front()) && v.front() == v.back();
}

std::string ValueOf(const std::string& line) {
    std::string v = Trim(std::string_view(line).substr(line.find('=') + 1));
    if (QuotedAtBothEnds(v))
        v = v.substr(1, v.size() - 2);
    return v;
}

std::string EncodeValue(std::string_view value) {
    std::string v(value);
    for (char& c : v)
        if (c == '\r' || c == '\n')
            c = ' ';
    if (Trim(v) != v || QuotedAtBothEnds(v))
        return "\"" + v + "\"";
    return v;
}

struct Found {
    std::size_t sectionLine = std::string::npos;  // header line index
    std::size_t sectionEnd = 0;                   // one past the section's last line
    std::size_t keyLine = std::string::npos;
};

Found Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Found f;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i].text); name && NamesEqual(*name, section)) {
            f.sectionLine = i;
            break;
        }
    }
    if (f.sectionLine == std::string::npos)
        return f;
    std::size_t i = f.sectionLine + 1;
    for (; i < lines.size(); ++i) {
        if (SectionName(lines[i].text))
            break;
        if (f.keyLine == std::string::npos) {
            if (auto name = KeyName(lines[i].text); name && NamesEqual(*name, key))
                f.keyLine = i;
        }
    }
    f.sectionEnd = i;
    return f;
}

std::optional<std::string> FindValue(const std::string& path, std::string_view section,
                                     std::string_view key) {
    std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes)
        return std::nullopt;
    std::vector<Line> lines = SplitLines(*bytes);
    Found f = Locate(lines, section, key);
    if (f.keyLine == std::string::npos)
        return std::nullopt;
    return ValueOf(lines[f.keyLine].text);
}

}  // namespace

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback) {
    std::optional<std::string> value = FindValue(path, section, key);
    return value ? *value : std::string(fallback);
}

int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                   int fallback) {
    std::optional<std::string> value = FindValue(path, section, key);
    if (!value)
        return fallback;
    std::size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == '-' || (*value)[i] == '+'))
        negative = (*value)[i++] == '-';
    long long n = 0;
    for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
        n = n * 10 + ((*value)[i] - '0');
        if (n > 0x7fffffffLL)  // out of range: saturate rather than wrap
            n = 0x7fffffffLL;
    }
    return static_cast<int>(negative ? -n : n);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    std::vector<Line> lines = SplitLines(ReadFileBytes(path).value_or(""));
    const std::string encoded = EncodeValue(value);
    Found f = Locate(lines, section, key);
    if (f.keyLine != std::string::npos) {
        Line& line = lines[f.keyLine];
        line.text = *KeyName(line.text) + "=" + encoded;
    } else {
        Line keyLine{std::string(key) + "=" + encoded, "\r\n"};
        std::size_t at;
        if (f.sectionLine == std::string::npos) {
            lines.push_back({"[" + std::string(section) + "]", "\r\n"});
            at = lines.size();
        } else {
            at = f.sectionEnd;
            while (at > f.sectionLine + 1 && Trim(lines[at - 1].text).empty()) --at;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), keyLine);
    }
    // The file's old last line may lack a line end and is no longer last.
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].end.empty())
            lines[i].end = "\r\n";
    std::string bytes;
    for (const Line& line : lines) bytes += line.text + line.end;
    return WriteBytesFile(path, bytes);
}

}  // namespace vt
