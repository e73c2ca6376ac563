// A headless job killed outright (SIGKILL) while it publishes, at several moments, then
// run again: whatever was in flight when it died, the shop never gets a book twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "base/hosts.h"
#include "support/child_process.h"
#include "support/raw_get.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::BinPath;
using vt::testing::ChildProcess;
using vt::testing::RawGet;
using vt::testing::RunProgram;

namespace {

class KilledWhilePublishing : public ::testing::Test {
protected:
    // Answers are slowed a little so a job is still publishing when it is killed, and a
    // share of the publish and picture answers are lost after acceptance.
    KilledWhilePublishing()
        : sim_(BinPath("vantrell-sim"),
               {"--source-port", "0", "--market-port", "0", "--books", "400", "--seed", "1",
                "--latency-ms", "5", "--market-faults", "lost=0.15,seed=5"}) {}

    void SetUp() override {
        ASSERT_TRUE(sim_.started());
        std::string line, source;
        while (sim_.ReadLine(line) && line != "ready") {
            if (line.rfind("source ", 0) == 0)
                source = line.substr(7);
            if (line.rfind("market ", 0) == 0)
                market_ = line.substr(7);
        }
        ASSERT_EQ(line, "ready");
        std::string ini = "[HOSTS]\r\n";
        for (std::size_t i = 0; i < kHostRoleCount; ++i) {
            const auto role = static_cast<HostRole>(i);
            ini += std::string(HostKey(role)) + "=" +
                   (role <= HostRole::SourcePromo ? source : market_) + "\r\n";
        }
        vt::testing::WriteAll(dir_.native() + "/Data/Hosts.ini", ini);
        vt::testing::WriteAll(dir_.native() + "/password.txt", "demo123\n");
    }

    std::vector<std::string> JobArgs() const {
        return {"collect",
                "--title",
                vt::testing::U8("中国"),
                "--from",
                "1",
                "--to",
                "2",
                "--pacing-ms",
                "0",
                "--nick",
                "vantrell_demo",
                "--password-file",
                dir_.native() + "/password.txt",
                "--app-dir",
                dir_.native(),
                "--set",
                "RetryCount=2"};
    }

    std::vector<std::string> ShopCodes() const {
        std::vector<std::string> codes;
        const auto doc =
            nlohmann::json::parse(RawGet(market_ + "/_sim/items").body, nullptr, false);
        if (doc.is_array())
            for (const auto& item : doc)
                if (item.contains("outerCode"))
                    codes.push_back(item.at("outerCode").get<std::string>());
        std::sort(codes.begin(), codes.end());
        return codes;
    }

    static bool HasDuplicates(const std::vector<std::string>& sorted) {
        return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
    }

    vt::testing::TempAppDir dir_;
    ChildProcess sim_;
    std::string market_;
};

TEST_F(KilledWhilePublishing, ARunAfterEachKillPublishesNothingTwice) {
    // Each kill comes a seeded moment after the shop received a new item from the job.
    const std::uint64_t seeds[] = {3, 11, 29, 47, 83};
    std::size_t killsWhilePublishing = 0;
    for (std::uint64_t seed : seeds) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::size_t before = ShopCodes().size();
        ChildProcess job(BinPath("vantrell-cli"), JobArgs());
        ASSERT_TRUE(job.started());
        bool published = false;
        for (int i = 0; i < 400 && !published; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            published = ShopCodes().size() > before;
        }
        if (published) {
            ++killsWhilePublishing;
            std::this_thread::sleep_for(std::chrono::milliseconds((seed * 37) % 120));
        }
        job.Terminate(SIGKILL);
        EXPECT_FALSE(HasDuplicates(ShopCodes()));
    }
    // The shop must have been growing when most of the kills came, or this shows nothing.
    EXPECT_GE(killsWhilePublishing, 3u);

    // Runs to its end: the books left unknown are looked up, not published again.
    const auto last = RunProgram(BinPath("vantrell-cli"), JobArgs());
    EXPECT_TRUE(last.exitCode == 0 || last.exitCode == 4) << last.exitCode << last.err;
    const std::vector<std::string> shop = ShopCodes();
    EXPECT_FALSE(shop.empty());
    EXPECT_FALSE(HasDuplicates(shop)) << shop.size() << " items";
    std::printf("[ figures  ] %zu kills while publishing, shop %zu items, duplicates %d\n",
                killsWhilePublishing, shop.size(), HasDuplicates(shop) ? 1 : 0);
}

}  // namespace
