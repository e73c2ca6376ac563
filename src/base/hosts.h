// Where each remote service lives. Paths and query keys are fixed by the code that
// builds each request; only the hosts are configuration, read from Data/Hosts.ini
// (section "HOSTS", one key per role) so that the stand-ins can take their place.
// There are no built-in hosts: a role the file does not name has no host, and its
// addresses cannot be fetched, so a wrong or missing file never sends work to the real
// sites by surprise; the loader says which file and key is wrong.
//
// A value is either a bare host name ("upload.taobao.com", optionally with ":port"),
// which keeps the scheme the system uses for that role (http for the bookstore, https
// for the marketplace), or a whole origin ("http://127.0.0.1:18081"), whose scheme and
// port are used as given. The marketplace carries the seller's cookie and password, so
// a marketplace role is https; plain http is taken only for a loopback origin (the
// stand-ins on this machine).
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

// The roles that carry the seller's cookie or password.
bool IsMarketRole(HostRole role);

// The host part of an authority ("127.0.0.1:80" -> "127.0.0.1", "[::1]:8" -> "::1").
std::string AuthorityHost(std::string_view authority);
// A loopback host: 127.0.0.0/8, ::1 or "localhost" (this machine, never the network).
bool IsLoopbackHost(std::string_view host);

// The key of a role in Hosts.ini, e.g. "MarketUpload".
std::string_view HostKey(HostRole role);

class Hosts {
public:
    // Every role starts without a host.
    Hosts();

    // Applies the file's values to every role. A file that cannot be opened changes
    // nothing and yields false. A role that is missing or whose value is not a host or
    // an http(s) origin is left without a host and yields false; LoadProblem names the
    // file and the first such key. Unknown keys are ignored.
    bool Load(const std::string& gbkPath);
    // Why the last Load failed (GBK), naming the file and the key; empty after a
    // successful one.
    std::string LoadProblem() const;
    // One role's value, in either form. False (and nothing changed) when unusable,
    // among them an http origin for a marketplace role on a host other than loopback.
    bool Set(HostRole role, std::string_view value);

    // "scheme://host[:port]" + pathAndQuery ("/" is put in front when missing).
    std::string Url(HostRole role, std::string_view pathAndQuery) const;
    // "scheme://host[:port]".
    std::string Origin(HostRole role) const;
    // "host[:port]".
    std::string Host(HostRole role) const;

    // The project's home page, the optional key HomePage of [HOSTS]: a whole http(s)
    // address, opened in the seller's browser and never fetched. Empty when the file has
    // none or its value is not such an address.
    std::string HomePage() const;

private:
    struct Entry {
        std::string scheme;  // empty: the role's own scheme
        std::string authority;
    };
    static bool Parse(HostRole role, std::string_view value, Entry& out);

    mutable std::shared_mutex mutex_;
    std::array<Entry, kHostRoleCount> entries_;
    std::string homePage_;
    std::string loadProblem_;
};

}  // namespace vt
