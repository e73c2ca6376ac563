#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

int main(int argc, char** argv) {
    // A peer that closes its socket early must not kill the test process.
    std::signal(SIGPIPE, SIG_IGN);
    // Requests to the stand-ins never go through a proxy a developer may have set.
    setenv("no_proxy", "127.0.0.1", 1);
    setenv("NO_PROXY", "127.0.0.1", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
