#include "sim/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace vt::sim {
namespace {

bool IEquals(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string TrimBlanks(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        default:
            return status >= 500 ? "Internal Server Error" : "Status";
    }
}

// splitmix64: a deterministic stream of fault draws from the seed.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

}  // namespace

std::string UrlDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string HttpRequest::Header(const std::string& name) const {
    for (const auto& [k, v] : headers)
        if (IEquals(k, name))
            return v;
    return {};
}

bool HttpRequest::HasHeader(const std::string& name) const {
    for (const auto& [k, v] : headers)
        if (IEquals(k, name))
            return true;
    return false;
}

std::string HttpRequest::Cookie(const std::string& name) const {
    std::string all = Header("Cookie");
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find(';', pos);
        if (end == std::string::npos)
            end = all.size();
        std::string pair = TrimBlanks(all.substr(pos, end - pos));
        std::size_t eq = pair.find('=');
        if (eq != std::string::npos && pair.substr(0, eq) == name)
            return pair.substr(eq + 1);
        pos = end + 1;
    }
    return {};
}

HttpServer::HttpServer() = default;

HttpServer::~HttpServer() {
    Stop();
}

void HttpServer::SetFaults(const FaultSettings& faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_ = faults;
    faultCounter_ = 0;
}

std::string HttpServer::origin() const {
    return "http://" + (bind_.empty() ? std::string("127.0.0.1") : bind_) + ":" +
           std::to_string(port_);
}

bool HttpServer::Start(const std::string& bindAddress, int port) {
    if (running_)
        return false;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, bindAddress.c_str(), &addr.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 128) != 0) {
        close(fd);
        return false;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    bind_ = bindAddress;
    listenFd_ = fd;
    running_ = true;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void HttpServer::Stop() {
    if (!running_.exchange(false))
        return;
    shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable())
        acceptThread_.join();
    close(listenFd_);
    listenFd_ = -1;
    std::unique_lock<std::mutex> lock(mutex_);
    for (int fd : openFds_) shutdown(fd, SHUT_RDWR);
    idle_.wait(lock, [this] { return activeConnections_ == 0; });
}

void HttpServer::AcceptLoop() {
    while (running_) {
        pollfd p{listenFd_, POLLIN, 0};
        int r = poll(&p, 1, 100);
        if (r <= 0)
            continue;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!running_) {
                close(fd);
                break;
            }
            openFds_.insert(fd);
            ++activeConnections_;
        }
        std::thread([this, fd] {
            Serve(fd);
            std::lock_guard<std::mutex> lock(mutex_);
            openFds_.erase(fd);
            close(fd);
            if (--activeConnections_ == 0)
                idle_.notify_all();
        }).detach();
    }
}

HttpServer::Fault HttpServer::NextFault() {
    std::lock_guard<std::mutex> lock(mutex_);
    double draw = static_cast<double>(Mix(faults_.seed * 1000003ULL + faultCounter_++) >> 11) /
                  static_cast<double>(1ULL << 53);
    double edge = faults_.errorRate;
    if (draw < edge)
        return Fault::Error;
    edge += faults_.dropRate;
    if (draw < edge)
        return Fault::Drop;
    edge += faults_.truncateRate;
    if (draw < edge)
        return Fault::Truncate;
    edge += faults_.slowRate;
    if (draw < edge)
        return Fault::Slow;
    return Fault::None;
}

const char* HttpServer::FaultName(Fault fault) {
    switch (fault) {
        case Fault::Error:
            return "error";
        case Fault::Drop:
            return "drop";
        case Fault::Truncate:
            return "truncate";
        case Fault::Slow:
            return "slow";
        case Fault::None:
            break;
    }
    return "";
}

void HttpServer::NoteFault(std::size_t index, const char* fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A clear of the record may have come in between.
    if (index < requests_.size() && *fault)
        requests_[index].fault = fault;
}

HttpServer::Fault HttpServer::NextAnswerLost(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (faults_.lostAnswerRate <= 0)
        return Fault::None;
    bool listed = false;
    for (const std::string& p : faults_.lostAnswerPaths) listed = listed || p == path;
    if (!listed)
        return Fault::None;
    // A stream of its own, so that the other faults' draws stay as they were.
    const double draw =
        static_cast<double>(Mix(faults_.seed * 7919ULL + 0x5bd1e995ULL + lostCounter_++) >> 11) /
        static_cast<double>(1ULL << 53);
    if (draw >= faults_.lostAnswerRate)
        return Fault::None;
    // No answer at all, or half of it: the lower half of the hits drops.
    return draw < faults_.lostAnswerRate / 2 ? Fault::Drop : Fault::Truncate;
}

bool ParseFaultSpec(const std::string& spec, FaultSettings& faults, std::string& problem) {
    std::size_t pos = 0;
    while (pos < spec.size()) {
        std::size_t comma = spec.find(',', pos);
        if (comma == std::string::npos)
            comma = spec.size();
        const std::string piece = spec.substr(pos, comma - pos);
        pos = comma + 1;
        if (piece.empty())
            continue;
        const std::size_t eq = piece.find('=');
        const std::string name = piece.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : piece.substr(eq + 1);
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        const bool numeric = !value.empty() && end && *end == '\0' && number >= 0;
        problem = piece;
        double* rate = name == "error"      ? &faults.errorRate
                       : name == "drop"     ? &faults.dropRate
                       : name == "truncate" ? &faults.truncateRate
                       : name == "slow"     ? &faults.slowRate
                       : name == "lost"     ? &faults.lostAnswerRate
                                            : nullptr;
        if (rate) {
            if (!numeric || number > 1)
                return false;
            *rate = number;
        } else if (name == "latency" && numeric && number <= 60000) {
            faults.latencyMs = static_cast<int>(number);
        } else if (name == "seed" && numeric) {
            faults.seed = static_cast<std::uint64_t>(number);
        } else {
            return false;
        }
    }
    if (faults.errorRate + faults.dropRate + faults.truncateRate + faults.slowRate > 1) {
        problem = "the shares of error, drop, truncate and slow add up to more than 1";
        return false;
    }
    problem.clear();
    return true;
}

bool HttpServer::ReadRequest(int fd, std::string& buffer, HttpRequest& req) {
    char chunk[8192];
    std::size_t headEnd;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
        if (buffer.size() > (1u << 20))
            return false;
    }
    std::string head = buffer.substr(0, headEnd);
    buffer.erase(0, headEnd + 4);

    std::size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::size_t sp1 = requestLine.find(' ');
    std::size_t sp2 = requestLine.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1)
        return false;
    req.method = requestLine.substr(0, sp1);
    req.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    std::size_t q = req.target.find('?');
    req.path = req.target.substr(0, q);
    if (q != std::string::npos) {
        std::string query = req.target.substr(q + 1);
        std::size_t pos = 0;
        while (pos <= query.size()) {
            std::size_t amp = query.find('&', pos);
            if (amp == std::string::npos)
                amp = query.size();
            std::string pair = query.substr(pos, amp - pos);
            if (!pair.empty()) {
                std::size_t eq = pair.find('=');
                req.query[UrlDecode(pair.substr(0, eq))] =
                    eq == std::string::npos ? std::string() : UrlDecode(pair.substr(eq + 1));
            }
            pos = amp + 1;
        }
    }
    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        std::size_t end = head.find("\r\n", pos);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(pos, end - pos);
        req.headerLines.push_back(line);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            req.headers.emplace_back(line.substr(0, colon), TrimBlanks(line.substr(colon + 1)));
        pos = end + 2;
    }

    std::size_t length = 0;
    std::string cl = req.Header("Content-Length");
    if (!cl.empty())
        length = std::strtoul(cl.c_str(), nullptr, 10);
    if (IEquals(req.Header("Expect"), "100-continue")) {
        static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        SendAll(fd, kContinue, sizeof kContinue - 1);
    }
    while (buffer.size() < length) {
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
    req.body = buffer.substr(0, length);
    buffer.erase(0, length);
    return true;
}

void HttpServer::Serve(int fd) {
    std::string buffer;
    while (running_) {
        HttpRequest req;
        if (!ReadRequest(fd, buffer, req))
            return;
        std::size_t index = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index = requests_.size();
            requests_.push_back(req);
        }
        FaultSettings faults;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            faults = faults_;
        }
        if (faults.latencyMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(faults.latencyMs));
        Fault fault = NextFault();
        NoteFault(index, FaultName(fault));
        if (fault == Fault::Drop)
            return;

        HttpResponse res;
        if (fault == Fault::Error) {
            res.status = 500;
            res.body = "<html><body>500</body></html>";
        } else if (handler_) {
            try {
                res = handler_(req);
            } catch (...) {
                res = HttpResponse{};
                res.status = 500;
            }
        } else {
            res.status = 404;
        }

        if (fault == Fault::None) {
            // Carried out, and then the answer goes missing.
            fault = NextAnswerLost(req.path);
            if (fault != Fault::None)
                NoteFault(index, "lost");
            if (fault == Fault::Drop)
                return;
        }
        std::string head =
            "HTTP/1.1 " + std::to_string(res.status) + " " + Reason(res.status) + "\r\n";
        if (!res.contentType.empty())
            head += "Content-Type: " + res.contentType + "\r\n";
        for (const auto& [k, v] : res.headers) head += k + ": " + v + "\r\n";
        head += "Content-Length: " + std::to_string(res.body.size()) + "\r\n";
        bool keepAlive = !IEquals(req.Header("Connection"), "close") && fault == Fault::None;
        head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
        if (!SendAll(fd, head.data(), head.size()))
            return;

        if (fault == Fault::Truncate) {
            SendAll(fd, res.body.data(), res.body.size() / 2);
            return;
        }
        if (fault == Fault::Slow) {
            const std::size_t piece = 256;
            for (std::size_t off = 0; off < res.body.size() && running_; off += piece) {
                if (!SendAll(fd, res.body.data() + off, std::min(piece, res.body.size() - off)))
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(faults.slowPauseMs));
            }
            return;
        }
        if (!SendAll(fd, res.body.data(), res.body.size()))
            return;
        if (!keepAlive)
            return;
    }
}

std::vector<HttpRequest> HttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void HttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

std::size_t HttpServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

}  // namespace vt::sim
