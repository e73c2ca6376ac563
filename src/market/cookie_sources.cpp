#include "market/cookie_sources.h"

#include <fstream>
#include <iterator>
#include <string_view>

#include "base/files.h"
#include "base/hosts.h"
#include "base/http_client.h"
#include "base/regex_ops.h"
#include "base/text.h"

namespace vt {

namespace {

// An attribute's value, quoted either way or bare.
std::string Attribute(const std::string& attributes, const std::string& name) {
    return RegexFirst(attributes,
                      "(?:^|\\s)" + name + "\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))");
}

bool IsTextField(const std::string& type) {
    return type.empty() || type == "text" || type == "email" || type == "tel";
}

// Fields a browser leaves out unless the user clicked or ticked them.
bool IsSentAsItStands(const std::string& type, const std::string& attributes) {
    if (type == "submit" || type == "button" || type == "reset" || type == "image" ||
        type == "file")
        return false;
    if (type == "checkbox" || type == "radio")
        return !RegexFirst(attributes, "(?:^|\\s)(checked)").empty();
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The form goes byte for byte: replacing a byte that is not well-formed GBK, as
// UrlEncodeAnsi does, would send a password other than the one given, or rename a field.
std::string PercentEncodedBytes(const std::string& text) {
    static constexpr std::string_view kKept = "-_.!~*'()";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
            kKept.find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

}  // namespace

std::string LoginFormBody(const std::string& loginPage, const std::string& nick,
                          const std::string& password, std::string& action) {
    // The login form is the one with a password field; the first form otherwise.
    std::string formAttributes, formContent;
    bool chosen = false;
    if (auto re = CompileRegex("<form([^>]*)>(.*?)</form>")) {
        ForEachMatch(loginPage, *re, [&](const boost::smatch& m) {
            const bool hasPassword =
                !RegexFirst(m[2].str(), "<input[^>]*type\\s*=\\s*[\"']?(password)").empty();
            if (!chosen || hasPassword) {
                formAttributes = m[1].str();
                formContent = m[2].str();
            }
            chosen = true;
            return !hasPassword;
        });
    }
    if (!chosen)
        formContent = loginPage;
    action = Attribute(formAttributes, "action");

    std::string body;
    bool nickPlaced = false;
    if (auto re = CompileRegex("<input([^>]*)>")) {
        ForEachMatch(formContent, *re, [&](const boost::smatch& m) {
            const std::string attributes = m[1].str();
            const std::string name = Attribute(attributes, "name");
            const std::string type = Lower(Attribute(attributes, "type"));
            if (name.empty() || !IsSentAsItStands(type, attributes))
                return true;
            std::string value = PercentEncodedBytes(Attribute(attributes, "value"));
            if (type == "password") {
                value = PercentEncodedBytes(password);
            } else if (IsTextField(type) && !nickPlaced) {
                value = PercentEncodedBytes(nick);
                nickPlaced = true;
            }
            body += (body.empty() ? "" : "&") + PercentEncodedBytes(name) + "=" + value;
            return true;
        });
    }
    return body;
}

PasswordLogin::PasswordLogin(const Hosts& hosts, std::string nick, std::string password)
    : hosts_(hosts), nick_(std::move(nick)), password_(std::move(password)) {}

// The origins the login exchange may visit: the marketplace's own roles and nothing
// else, so neither the password nor the cookies reach a host a redirect names.
static std::vector<std::string> MarketOrigins(const Hosts& hosts) {
    std::vector<std::string> origins;
    for (std::size_t i = 0; i < kHostRoleCount; ++i) {
        const auto role = static_cast<HostRole>(i);
        if (IsMarketRole(role) && !hosts.Host(role).empty())
            origins.push_back(hosts.Origin(role));
    }
    return origins;
}

std::string PasswordLogin::CaptureCookie() {
    const std::string loginPageUrl = hosts_.Url(HostRole::MarketLogin, "/");
    const std::vector<std::string> trusted = MarketOrigins(hosts_);
    std::string page, cookies;
    GetCollectCookies(loginPageUrl, {}, page, cookies, {}, trusted);
    if (page.empty())
        return {};
    std::string action;
    const std::string body = LoginFormBody(page, nick_, password_, action);
    std::string target = loginPageUrl;
    if (action.find("://") != std::string::npos) {
        // The password goes to the login host and nowhere else, whatever the page says.
        if (action.rfind(hosts_.Origin(HostRole::MarketLogin) + "/", 0) != 0)
            return {};
        target = action;
    } else if (!action.empty()) {
        target = hosts_.Url(HostRole::MarketLogin, action);
    }
    std::string answer, after;
    PostFormCollectCookies(target, body, cookies, answer, after, {}, trusted);
    return after;
}

FileCookieSource::FileCookieSource(std::string gbkPath) : path_(std::move(gbkPath)) {}

std::string FileCookieSource::CaptureCookie() {
    std::ifstream in(NativePath(path_), std::ios::binary);
    if (!in)
        return {};
    return Trim(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

}  // namespace vt
