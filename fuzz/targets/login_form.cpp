// The marketplace's login page filled in with the seller's nick and password: the body a
// headless login posts.
#include <string>

#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "market/cookie_sources.h"

namespace vt::fuzz {

int FuzzLoginForm(const std::uint8_t* data, std::size_t size) {
    const auto parts = SplitInput(data, size, 3);
    const std::string& page = parts[0];
    const std::string& nick = parts[1];
    const std::string& password = parts[2];

    std::string action;
    const Fields fields = UrlEncodedFields(LoginFormBody(page, nick, password, action));
    Require(action.empty() || page.find(action) != std::string::npos,
            "the form's address is text of the page");

    // Two fillings with plain values show the form's own fields, and which of them take
    // the nick and the password: those whose value follows what was given.
    std::string ignored;
    const Fields first = UrlEncodedFields(LoginFormBody(page, "nickA", "passA", ignored));
    const Fields second = UrlEncodedFields(LoginFormBody(page, "nickB", "passB", ignored));
    Require(first.size() == second.size(), "plain values give the same fields");
    Require(fields.size() == first.size(), "no nick or password adds or drops a field");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        Require(fields[i].first == first[i].first && first[i].first == second[i].first,
                "no nick or password renames or moves a field");
        Require(first[i].first.empty() || page.find(first[i].first) != std::string::npos,
                "a field's name comes from the page");
        if (first[i].second == "nickA" && second[i].second == "nickB")
            Require(fields[i].second == nick, "the nick arrives as given");
        else if (first[i].second == "passA" && second[i].second == "passB")
            Require(fields[i].second == password, "the password arrives as given");
        else
            Require(fields[i].second == first[i].second && first[i].second == second[i].second,
                    "every other field keeps the page's value");
    }
    return 0;
}

}  // namespace vt::fuzz
