// Where each remote service lives. Paths and query keys are fixed by the code that
// builds each request; only the hosts are configuration, read from Data/Hosts.ini
// (section "HOSTS", one key per role) so that the stand-ins can take their place.
//
// A value is either a bare host name ("upload.taobao.com", optionally with ":port"),
// which keeps the scheme the system uses for that role (http for the bookstore, https
// for the marketplace), or a whole origin ("http://127.0.0.1:18081"), whose scheme and
// port are used as given.
#pragma once

#include <array>
#include <shared_mutex>
#include <string>
#include <string_view>

namespace vt {

enum class HostRole {
    // The bookstore.
    SourceSearch,
    SourceCategory,
    SourceProduct,
    SourcePromo,
    // The marketplace.
    MarketLogin,
    MarketUpload,
    MarketSell,
    MarketTrade,        // appears only in a Referer
    MarketAdvertising,  // the address the seller's cookies are read for
    MarketMain,         // the address the seller's cookies belong to
    MarketImageCdn,     // where uploaded pictures are served from
};

inline constexpr std::size_t kHostRoleCount = 11;

// The key of a role in Hosts.ini, e.g. "MarketUpload".
std::string_view HostKey(HostRole role);

class Hosts {
public:
    // Every role starts at its real-world default.
    Hosts();

    // Resets every role to its default, then applies the file's values. A file that
    // cannot be opened changes nothing and yields false. Unknown keys and values that
    // are not a host or an http(s) origin are ignored.
    bool Load(const std::string& gbkPath);
    // One role's value, in either form. False (and nothing changed) when unusable.
    bool Set(HostRole role, std::string_view value);

    // "scheme://host[:port]" + pathAndQuery ("/" is put in front when missing).
    std::string Url(HostRole role, std::string_view pathAndQuery) const;
    // The same, but a bare host name gets schemeForBareHost instead of the role's own
    // scheme (a few marketplace pages are opened over http). An origin keeps its scheme.
    std::string Url(HostRole role, std::string_view pathAndQuery,
                    std::string_view schemeForBareHost) const;
    // "scheme://host[:port]".
    std::string Origin(HostRole role) const;
    // "host[:port]".
    std::string Host(HostRole role) const;

private:
    struct Entry {
        std::string scheme;  // empty: the role's own scheme
        std::string authority;
    };
    static bool Parse(std::string_view value, Entry& out);
    static void SetDefaults(std::array<Entry, kHostRoleCount>& entries);

    mutable std::shared_mutex mutex_;
    std::array<Entry, kHostRoleCount> entries_;
};

}  // namespace vt
