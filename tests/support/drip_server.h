// A one-purpose HTTP server on 127.0.0.1 for the transport's bounds: it answers every
// connection with a fixed head and body, then (when told to) keeps dripping one byte a
// second until the client goes away, the test ends, or a minute has passed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace vt::testing {

class DripServer {
public:
    // head: the status line and header lines, without the blank line that ends them.
    DripServer(std::string head, std::string body, bool dripForever)
        : head_(std::move(head)), body_(std::move(body)), drip_(dripForever) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~DripServer() {
        done_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(fd_);
    }
    DripServer(const DripServer&) = delete;
    DripServer& operator=(const DripServer&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int connections() const { return connections_; }

private:
    void Serve() {
        while (!done_) {
            const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                return;
            ++connections_;
            char buf[4096];
            (void)!::recv(c, buf, sizeof buf, 0);  // the request; its content does not matter
            const std::string answer = head_ + "\r\n\r\n" + body_;
            bool open = ::send(c, answer.data(), answer.size(), MSG_NOSIGNAL) >= 0;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (drip_ && open && !done_ && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1000));
                open = ::send(c, "x", 1, MSG_NOSIGNAL) == 1;
            }
            ::close(c);
        }
    }

    std::string head_;
    std::string body_;
    bool drip_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> done_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

}  // namespace vt::testing
