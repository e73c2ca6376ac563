// The account's cookie string after the Set-Cookie values of the login pages' answers: it
// goes back as the Cookie header of every later request.
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/http_client.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

namespace {

bool HoldsLineBreakOrZero(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

int FuzzSetCookie(const std::uint8_t* data, std::size_t size) {
    // The cookie string given, then the Set-Cookie values in the order the answers set them.
    auto parts = SplitInput(data, size, 6);
    const std::string cookie = parts[0];
    const std::vector<std::string> setCookies(parts.begin() + 1, parts.end());
    const std::string merged = MergeCookies(cookie, setCookies);
    Require(!HoldsLineBreakOrZero(merged), "the Cookie header holds no CR, LF or zero byte");

    // Every "name=value" given, in order: the pairs of the cookie string, then the first
    // pair of each Set-Cookie value. A pair that could not go into a header is no cookie.
    std::vector<std::string_view> pairs;
    for (std::string_view rest = cookie; !rest.empty();) {
        const std::size_t semi = rest.find(';');
        pairs.push_back(rest.substr(0, semi));
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
    }
    for (const std::string& set : setCookies)
        pairs.push_back(std::string_view(set).substr(0, set.find(';')));
    std::set<std::string> given;
    std::map<std::string, std::string> last;
    for (std::string_view pair : pairs) {
        const std::size_t eq = pair.find('=');
        const std::string name = Trim(pair.substr(0, eq));
        const std::string value =
            eq == std::string_view::npos ? std::string() : Trim(pair.substr(eq + 1));
        if (name.empty())
            continue;
        given.insert(name);
        if (!HoldsLineBreakOrZero(name) && !HoldsLineBreakOrZero(value))
            last[name] = value;
    }

    std::map<std::string, std::string> kept;
    for (std::string_view rest = merged; !rest.empty();) {
        const std::size_t end = rest.find("; ");
        const std::string_view pair = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
        const std::size_t eq = pair.find('=');
        Require(eq != std::string_view::npos && eq > 0 && eq + 1 < pair.size(),
                "every cookie of the header is a name=value pair");
        const std::string name(pair.substr(0, eq));
        Require(given.count(name) == 1, "every cookie's name was given or set");
        Require(kept.emplace(name, std::string(pair.substr(eq + 1))).second, "a name appears once");
    }
    for (const auto& [name, value] : last) {
        const auto it = kept.find(name);
        if (value.empty())
            Require(it == kept.end(), "an empty value removes the cookie");
        else
            Require(it != kept.end() && it->second == value,
                    "the last value set for a name is the one kept");
    }
    for (const auto& entry : kept)
        Require(last.count(entry.first) == 1, "no cookie stays that was not given or set");
    return 0;
}

}  // namespace vt::fuzz
