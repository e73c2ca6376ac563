// Programs a benchmark runs as processes of their own (the stand-ins, the command-line
// program), so that the memory and CPU of each are measured apart from the others'.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace vt::bench {

struct Child {
    pid_t pid = -1;
    int out = -1;  // read end of its standard output when piped, else -1
};

// Starts argv[0] with the arguments after it. Its standard output goes to a pipe when
// outputFile is empty, else to that file with its standard error. pid -1 when it could
// not be started.
Child StartChild(const std::vector<std::string>& argv, const std::string& outputFile);

// The lines of a piped child's output before the line `last`; nothing when the output
// ends first or timeoutSeconds go by.
std::optional<std::vector<std::string>> ReadLinesUntil(Child& child, const std::string& last,
                                                       double timeoutSeconds);

struct ChildResult {
    int exitCode = -1;       // -1 when it did not exit by itself (killed by a signal)
    long peakRssKb = 0;      // its own peak resident memory
    double cpuSeconds = 0;   // its user and system CPU
    double userSeconds = 0;  // the user part alone
};

// Waits for the child's end and takes its own resource use (wait4: this child alone).
ChildResult WaitChild(Child& child);

// Asks the child to stop (SIGTERM) and waits for it.
ChildResult StopChild(Child& child);

}  // namespace vt::bench
