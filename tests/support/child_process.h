// Runs the project's executables from tests: to completion with their output captured,
// or in the background (a stand-in server) with its standard output read line by line.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vt::testing {

struct RunResult {
    int exitCode = -1;  // -1: did not start or did not exit normally
    std::string out;
    std::string err;
};

// Runs the program with the arguments, waits for it, and returns its exit code and output.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// A program running in the background; ended with SIGTERM when destroyed.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // The next line of its standard output (without the line end); false at the end or
    // when no line came within timeoutMs.
    bool ReadLine(std::string& line, int timeoutMs = 10000);
    // Sends the signal and waits; the exit code, or 128 + signal when it was killed.
    int Terminate(int signal);

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    std::string buffer_;
};

// The path of one of the built executables.
std::string BinPath(const std::string& name);

}  // namespace vt::testing
