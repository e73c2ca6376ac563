#include "bench/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace vt::bench {

Child StartChild(const std::vector<std::string>& argv, const std::string& outputFile) {
    Child child;
    int fds[2] = {-1, -1};
    if (outputFile.empty() && pipe(fds) != 0)
        return child;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        int out = fds[1];
        if (!outputFile.empty())
            out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || dup2(out, STDOUT_FILENO) < 0)
            _exit(127);
        if (!outputFile.empty() && dup2(out, STDERR_FILENO) < 0)
            _exit(127);
        if (fds[0] >= 0)
            close(fds[0]);
        execv(args[0], args.data());
        _exit(127);
    }
    if (fds[1] >= 0)
        close(fds[1]);
    if (pid < 0) {
        if (fds[0] >= 0)
            close(fds[0]);
        return child;
    }
    child.pid = pid;
    child.out = fds[0];
    return child;
}

std::optional<std::vector<std::string>> ReadLinesUntil(Child& child, const std::string& last,
                                                       double timeoutSeconds) {
    std::vector<std::string> lines;
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    while (child.out >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return std::nullopt;
        pollfd p{child.out, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char c;
        if (read(child.out, &c, 1) != 1)
            return std::nullopt;
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line == last)
            return lines;
        lines.push_back(line);
        line.clear();
    }
    return std::nullopt;
}

ChildResult WaitChild(Child& child) {
    ChildResult result;
    if (child.pid < 0)
        return result;
    int status = 0;
    rusage usage{};
    while (wait4(child.pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    child.pid = -1;
    if (child.out >= 0) {
        close(child.out);
        child.out = -1;
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakRssKb = usage.ru_maxrss;
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    result.userSeconds = s(usage.ru_utime);
    result.cpuSeconds = result.userSeconds + s(usage.ru_stime);
    return result;
}

ChildResult StopChild(Child& child) {
    if (child.pid > 0)
        kill(child.pid, SIGTERM);
    return WaitChild(child);
}

}  // namespace vt::bench
