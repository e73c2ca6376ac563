#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace vt::testing {
namespace {

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, int outFd,
            int errFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    auto argv = Argv(program, args);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void DrainInto(int fd, std::string& out) {
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

std::string BinPath(const std::string& name) {
    return std::string(VT_BIN_DIR) + "/" + name;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
    RunResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return result;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    pid_t pid = Spawn(program, args, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    if (pid > 0) {
        // Read both pipes on their own so a full stderr never blocks the child.
        std::thread errReader([&] { DrainInto(err[0], result.err); });
        DrainInto(out[0], result.out);
        errReader.join();
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = ExitCodeOf(status);
    }
    close(out[0]);
    close(err[0]);
    return result;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return;
    int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_ = Spawn(program, args, out[1], devnull >= 0 ? devnull : 2);
    if (devnull >= 0)
        close(devnull);
    close(out[1]);
    outFd_ = out[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0)
        Terminate(SIGTERM);
    if (outFd_ >= 0)
        close(outFd_);
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
    int waited = 0;
    while (true) {
        std::size_t nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            line = buffer_.substr(0, nl);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            buffer_.erase(0, nl + 1);
            return true;
        }
        if (outFd_ < 0 || waited >= timeoutMs)
            return false;
        pollfd p{outFd_, POLLIN, 0};
        int r = poll(&p, 1, 100);
        waited += 100;
        if (r > 0) {
            char buf[1024];
            ssize_t n = read(outFd_, buf, sizeof buf);
            if (n <= 0)
                return false;
            buffer_.append(buf, static_cast<std::size_t>(n));
        }
    }
}

int ChildProcess::Terminate(int signal) {
    if (pid_ <= 0)
        return -1;
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return ExitCodeOf(status);
}

}  // namespace vt::testing
