#include "support/raw_get.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>

namespace vt::testing {
namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

RawResponse RawGet(const std::string& url) {
    RawResponse res;
    const std::string prefix = "http://127.0.0.1:";
    if (url.rfind(prefix, 0) != 0)
        return res;
    std::size_t slash = url.find('/', prefix.size());
    int port = std::atoi(url.substr(prefix.size(), slash - prefix.size()).c_str());
    std::string target = slash == std::string::npos ? "/" : url.substr(slash);
    if (port <= 0 || port > 65535)
        return res;

    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return res;
    timeval timeout{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return res;
    }
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nConnection: close\r\n\r\n";
    std::size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            close(fd);
            return res;
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string raw;
    char buf[16384];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;)
        raw.append(buf, static_cast<std::size_t>(n));
    close(fd);

    std::size_t headEnd = raw.find("\r\n\r\n");
    if (raw.rfind("HTTP/1.", 0) != 0 || headEnd == std::string::npos)
        return res;
    std::string head = raw.substr(0, headEnd);
    std::string body = raw.substr(headEnd + 4);
    std::size_t length = body.size();
    std::size_t pos = head.find("\r\n");
    while (pos != std::string::npos && pos < head.size()) {
        std::size_t end = head.find("\r\n", pos + 2);
        std::string line = head.substr(pos + 2, end == std::string::npos ? end : end - pos - 2);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = Lower(line.substr(0, colon));
            std::size_t start = line.find_first_not_of(' ', colon + 1);
            std::string value = start == std::string::npos ? std::string() : line.substr(start);
            if (name == "content-type")
                res.contentType = value;
            else if (name == "content-length")
                length = std::strtoul(value.c_str(), nullptr, 10);
        }
        pos = end;
    }
    if (body.size() < length)  // cut short: not a whole answer
        return res;
    res.status = std::atoi(head.substr(9, 3).c_str());
    res.body = body.substr(0, length);
    return res;
}

}  // namespace vt::testing
