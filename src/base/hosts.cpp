#include "base/hosts.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "base/files.h"
#include "base/ini_file.h"
#include "base/text.h"

namespace vt {
namespace {

struct RoleInfo {
    HostRole role;
    std::string_view key;
    std::string_view scheme;  // used for a bare host name
};

constexpr std::array<RoleInfo, kHostRoleCount> kRoles{{
    {HostRole::SourceSearch, "SourceSearch", "http"},
    {HostRole::SourceCategory, "SourceCategory", "http"},
    {HostRole::SourceProduct, "SourceProduct", "http"},
    {HostRole::SourcePromo, "SourcePromo", "http"},
    {HostRole::MarketLogin, "MarketLogin", "https"},
    {HostRole::MarketUpload, "MarketUpload", "https"},
    {HostRole::MarketSell, "MarketSell", "https"},
    {HostRole::MarketTrade, "MarketTrade", "https"},
    {HostRole::MarketAdvertising, "MarketAdvertising", "https"},
    {HostRole::MarketMain, "MarketMain", "https"},
    {HostRole::MarketImageCdn, "MarketImageCdn", "https"},
}};

constexpr bool RolesInEnumOrder() {
    for (std::size_t i = 0; i < kRoles.size(); ++i)
        if (static_cast<std::size_t>(kRoles[i].role) != i)
            return false;
    return true;
}
static_assert(RolesInEnumOrder(), "kRoles is indexed by HostRole");

const RoleInfo& Info(HostRole role) {
    return kRoles[static_cast<std::size_t>(role)];
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string_view HostKey(HostRole role) {
    return Info(role).key;
}

bool IsMarketRole(HostRole role) {
    return Info(role).scheme == "https";
}

std::string AuthorityHost(std::string_view authority) {
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        return std::string(authority.substr(
            1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    }
    return std::string(authority.substr(0, authority.find(':')));
}

bool IsLoopbackHost(std::string_view host) {
    std::string h;
    for (char c : host) h.push_back(AsciiLower(c));
    if (h == "localhost" || h == "::1" || h == "0:0:0:0:0:0:0:1")
        return true;
    // A dotted IPv4 literal of 127.0.0.0/8: four numbers 0..255, the first 127.
    int parts = 0;
    std::size_t pos = 0;
    while (pos <= h.size()) {
        const std::size_t dot = std::min(h.find('.', pos), h.size());
        const std::string_view part = std::string_view(h).substr(pos, dot - pos);
        if (part.empty() || part.size() > 3)
            return false;
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255 || (parts == 0 && value != 127))
            return false;
        ++parts;
        pos = dot + 1;
    }
    return parts == 4;
}

Hosts::Hosts() = default;

bool Hosts::Parse(HostRole role, std::string_view value, Entry& out) {
    std::string text = Trim(value);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = Trim(std::string_view(text).substr(1, text.size() - 2));
    Entry entry;
    std::string_view rest = text;
    std::size_t sep = rest.find("://");
    if (sep != std::string_view::npos) {
        for (char c : rest.substr(0, sep)) entry.scheme.push_back(AsciiLower(c));
        if (entry.scheme != "http" && entry.scheme != "https")
            return false;
        rest.remove_prefix(sep + 3);
    }
    // Only the origin counts; a path after the host is not part of the setting.
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (rest.empty())
        return false;
    // The value goes onto request lines: no blanks, controls or non-ASCII bytes.
    for (char c : rest) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == '@')
            return false;
    }
    entry.authority = std::string(rest);
    // The seller's cookie and password never travel in clear text over the network.
    if (IsMarketRole(role) && entry.scheme == "http" && !IsLoopbackHost(AuthorityHost(rest)))
        return false;
    out = std::move(entry);
    return true;
}

namespace {

// "http://" or "https://", a host, and no blanks, controls or non-ASCII bytes: an address
// the desktop may hand to the browser as it is.
bool IsWebAddress(std::string_view text) {
    std::string lower;
    for (char c : text.substr(0, 8)) lower.push_back(AsciiLower(c));
    std::size_t start = 0;
    if (lower.rfind("http://", 0) == 0)
        start = 7;
    else if (lower.rfind("https://", 0) == 0)
        start = 8;
    else
        return false;
    const std::string_view rest = text.substr(start);
    if (rest.empty() || rest.find_first_of("/?#") == 0)
        return false;
    for (char c : rest) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F)
            return false;
    }
    return true;
}

}  // namespace

bool Hosts::Load(const std::string& gbkPath) {
    std::FILE* f = std::fopen(NativePath(gbkPath).c_str(), "rb");
    if (!f) {
        std::unique_lock lock(mutex_);
        loadProblem_ = gbkPath + " cannot be opened: every site's address is set there";
        return false;
    }
    std::fclose(f);

    std::array<Entry, kHostRoleCount> entries;
    std::string problem;
    for (const RoleInfo& info : kRoles) {
        const std::string value = ReadProfileString(gbkPath, "HOSTS", info.key, "");
        std::string why;
        if (Trim(value).empty())
            why = gbkPath + ": [HOSTS] has no value for " + std::string(info.key);
        else if (!Parse(info.role, value, entries[static_cast<std::size_t>(info.role)]))
            why = gbkPath + ": " + std::string(info.key) + " = " + value +
                  (info.scheme == "https"
                       ? " is neither a host name nor an https origin (http only for a "
                         "loopback address)"
                       : " is neither a host name nor an http(s) origin");
        if (problem.empty())
            problem = why;
    }
    std::string home = Trim(ReadProfileString(gbkPath, "HOSTS", "HomePage", ""));
    if (!IsWebAddress(home))
        home.clear();
    std::unique_lock lock(mutex_);
    entries_ = std::move(entries);
    homePage_ = std::move(home);
    loadProblem_ = problem;
    return problem.empty();
}

std::string Hosts::HomePage() const {
    std::shared_lock lock(mutex_);
    return homePage_;
}

std::string Hosts::LoadProblem() const {
    std::shared_lock lock(mutex_);
    return loadProblem_;
}

bool Hosts::Set(HostRole role, std::string_view value) {
    Entry entry;
    if (!Parse(role, value, entry))
        return false;
    std::unique_lock lock(mutex_);
    entries_[static_cast<std::size_t>(role)] = std::move(entry);
    return true;
}

std::string Hosts::Url(HostRole role, std::string_view pathAndQuery) const {
    std::string url = Origin(role);
    if (pathAndQuery.empty() || pathAndQuery.front() != '/')
        url += '/';
    url += pathAndQuery;
    return url;
}

std::string Hosts::Origin(HostRole role) const {
    std::shared_lock lock(mutex_);
    const Entry& e = entries_[static_cast<std::size_t>(role)];
    return (e.scheme.empty() ? std::string(Info(role).scheme) : e.scheme) + "://" + e.authority;
}

std::string Hosts::Host(HostRole role) const {
    std::shared_lock lock(mutex_);
    return entries_[static_cast<std::size_t>(role)].authority;
}

}  // namespace vt
