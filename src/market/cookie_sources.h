// Cookie sources for front ends without an embedded browser: a headless login with the
// seller's name and password on the marketplace's own login form, and a cookie string
// kept in a file.
#pragma once

#include <string>

#include "core/session.h"

namespace vt {

class Hosts;

// Logs in as a browser would: opens the login page on the login host, fills the login
// form's text field with the nick and its password field with the password (every other
// field of the form keeps its value), posts it to the form's address and follows the
// answer. The capture is every cookie set on the way; empty when nothing came.
class PasswordLogin : public CookieSource {
public:
    // nick and password in GBK, as the marketplace's form takes them.
    PasswordLogin(const Hosts& hosts, std::string nick, std::string password);
    std::string CaptureCookie() override;

private:
    const Hosts& hosts_;
    std::string nick_;
    std::string password_;
};

// A cookie string saved from a browser: the file's text with surrounding white space
// (the line end a text editor adds) taken off. A missing file captures nothing.
class FileCookieSource : public CookieSource {
public:
    explicit FileCookieSource(std::string gbkPath);
    std::string CaptureCookie() override;

private:
    std::string path_;
};

// The urlencoded body a browser sends for the login form of this page, with the nick in
// its text field and the password in its password field; action receives the form's
// address as written in the page (empty when it names none: the page's own address).
// Every name and value goes byte for byte as given or as the page writes it.
std::string LoginFormBody(const std::string& loginPage, const std::string& nick,
                          const std::string& password, std::string& action);

}  // namespace vt
