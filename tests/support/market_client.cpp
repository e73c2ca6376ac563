#include "support/market_client.h"

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

bool SendAll(int fd, const std::string& data) {
    std::size_t off = 0;
    while (off < data.size()) {
        ssize_t n = send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        off += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

const char kTestBoundary[] = "---------------------------7e0e2e250716";

std::string ClientResponse::Header(const std::string& name) const {
    for (const auto& [k, v] : headers)
        if (Lower(k) == Lower(name))
            return v;
    return {};
}

std::vector<std::string> ClientResponse::HeaderValues(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [k, v] : headers)
        if (Lower(k) == Lower(name))
            values.push_back(v);
    return values;
}

ClientResponse Exchange(int port, const std::string& method, const std::string& target,
                        const Headers& headers, const std::string& body) {
    ClientResponse response;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return response;
    timeval timeout{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return response;
    }
    std::string request =
        method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    // A value that starts with a tab, or a Connection line, goes on without the blank,
    // as the marketplace header set writes them.
    for (const auto& [k, v] : headers) {
        bool tight = v.empty() || v[0] == '\t' || (k == "Connection" && v == "Keep-Alive");
        request += k + ":" + (tight ? v : " " + v) + "\r\n";
    }
    if (!body.empty() || method == "POST")
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    request += "\r\n" + body;
    if (!SendAll(fd, request)) {
        close(fd);
        return response;
    }

    // Read the head, then exactly Content-Length bytes: the server may keep the
    // connection open when the request asked for keep-alive.
    std::string data;
    char chunk[8192];
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            close(fd);
            return response;
        }
        data.append(chunk, static_cast<std::size_t>(n));
    }
    std::string head = data.substr(0, headEnd);
    std::string rest = data.substr(headEnd + 4);
    std::size_t lineEnd = head.find("\r\n");
    std::string statusLine = head.substr(0, lineEnd);
    std::size_t sp = statusLine.find(' ');
    if (sp != std::string::npos)
        response.status = std::atoi(statusLine.c_str() + sp + 1);
    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        std::size_t end = head.find("\r\n", pos);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(pos, end - pos);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::size_t v = line.find_first_not_of(' ', colon + 1);
            response.headers.emplace_back(line.substr(0, colon),
                                          v == std::string::npos ? "" : line.substr(v));
        }
        pos = end + 2;
    }
    std::size_t length = std::strtoul(response.Header("Content-Length").c_str(), nullptr, 10);
    while (rest.size() < length) {
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        rest.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    response.body = rest.substr(0, length);
    return response;
}

ClientResponse Get(int port, const std::string& target, const std::string& cookie) {
    Headers headers;
    if (!cookie.empty())
        headers.emplace_back("Cookie", cookie);
    headers.emplace_back("Connection", "close");
    return Exchange(port, "GET", target, headers);
}

Headers MarketPostHeaders(const std::string& referer, const std::string& contentType,
                          const std::string& cookie, bool ajax) {
    Headers headers = {
        {"User-Agent", "Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0"},
        {"Accept", "\ttext/html, application/xhtml+xml, */*"},
        {"Accept-Language", "\tzh-CN"},
        {"Accept-Charset", "GBK"},
        {"Keep-Alive", "115"},
        {"DNT", "1"},
        {"Connection", "Keep-Alive"},
        {"Referer", "\t" + referer},
        {"Content-Type", "\t" + contentType},
    };
    if (ajax)
        headers.emplace_back("X-Requested-With", "XMLHttpRequest");
    if (!cookie.empty())
        headers.emplace_back("Cookie", cookie);
    return headers;
}

std::string MultipartContentType() {
    return std::string("multipart/form-data; boundary=") + kTestBoundary;
}

std::string MultipartFields(const Headers& fields) {
    std::string body;
    for (const auto& [name, value] : fields)
        body += std::string("--") + kTestBoundary + "\r\nContent-Disposition: form-data; name=\"" +
                name + "\"\r\n\r\n" + value + "\r\n";
    return body + "--" + kTestBoundary + "--";
}

std::string ImageUploadBody(const std::string& fileName, const std::string& bytes,
                            const Headers& fields) {
    return std::string("--") + kTestBoundary +
           "\r\nContent-Disposition: form-data; name=\"multimagefile\";filename=\"" + fileName +
           "\"\r\nContent-Type: image/pjpeg\r\n\r\n" + bytes + "\r\n" + MultipartFields(fields);
}

std::string CookieHeaderFrom(const ClientResponse& response) {
    std::string cookie;
    for (const std::string& line : response.HeaderValues("Set-Cookie")) {
        std::string pair = line.substr(0, line.find(';'));
        cookie += (cookie.empty() ? "" : "; ") + pair;
    }
    return cookie;
}

}  // namespace vt::testing
