// What the pipeline benchmarks share: both stand-ins in this process, a started-up and
// logged-in context over a fresh installed tree whose Hosts.ini names them, and the
// process's CPU and memory figures.
#pragma once

// steady_clock without <chrono> itself, whose literals GBK cannot encode.
#include <memory>
#include <string>
#include <thread>

#include "core/context.h"
#include "sim/bookstore_sim.h"
#include "sim/market_sim.h"

namespace vt::bench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since);
// User and system CPU of the whole process (workers and stand-ins alike).
double ProcessCpuSeconds();
long PeakRssKb();

struct StandInRig {
    // books: the catalogue's size; latencyMs: added before every stand-in answer.
    StandInRig(int books, int latencyMs);
    ~StandInRig();
    StandInRig(const StandInRig&) = delete;
    StandInRig& operator=(const StandInRig&) = delete;

    // Imports the codes of the first n books of the catalogue and starts the import's
    // detail and publishing threads.
    bool ImportFirst(int n);
    // Waits for the drain (at most limitSeconds), then stops and joins; seconds taken.
    // clearRecords: drops the stand-ins' request record as it goes, so that a long job
    // measures the pipeline and not that record.
    double RunToEnd(bool importJob, double limitSeconds, bool clearRecords = false);
    long Published() const;

    std::string dir;  // native path of the installed tree
    sim::BookstoreSim store;
    sim::MarketSim market;
    std::unique_ptr<AppContext> ctx;
    bool loggedIn = false;
};

}  // namespace vt::bench
