// vantrell-sim: the bookstore site and the marketplace stand-ins as one process, for the
// demo and the benchmarks. Prints the two origins and "ready", then serves until SIGINT
// or SIGTERM. "vantrell-sim demo" instead runs the whole system against its own
// stand-ins in one process.
#include <pthread.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "base/text.h"
#include "sim/bookstore_sim.h"
#include "sim/catalog.h"
#include "sim/demo_command.h"
#include "sim/market_sim.h"

int main(int argc, char** argv) {
    CLI::App app{"Stand-ins for the bookstore site and the marketplace seller pages"};
    std::string bind = "127.0.0.1";
    int sourcePort = 18080;
    int marketPort = 18081;
    std::uint64_t seed = 1;
    int books = 3000;
    int latencyMs = 0;
    double failRate = 0;
    std::string storeFaults, marketFaults;
    std::vector<std::string> accounts;
    app.add_option("--bind", bind, "address to listen on")->capture_default_str();
    app.add_option("--source-port", sourcePort, "bookstore port, 0 picks a free one")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--market-port", marketPort, "marketplace port, 0 picks a free one")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--seed", seed, "seed of the catalogue, tokens and faults")
        ->capture_default_str();
    app.add_option("--books", books, "number of books in the catalogue")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.add_option("--latency-ms", latencyMs, "delay before every answer")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.add_option("--fail-rate", failRate, "share of requests answered with 500")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    app.add_option("--store-faults", storeFaults,
                   "faults of the bookstore, e.g. error=0.1,drop=0.05,truncate=0.05,slow=0.02,"
                   "latency=5,seed=3 (shares of requests; applied after --latency-ms and "
                   "--fail-rate)");
    app.add_option("--market-faults", marketFaults,
                   "faults of the marketplace, as --store-faults, plus lost=SHARE: publish "
                   "and picture upload answers lost after the item or picture was accepted");
    app.add_option("--account", accounts, "marketplace account NICK:PASSWORD (repeatable)");
    vt::cli::Runner demo;
    vt::cli::AddDemoCommand(app, demo);
    CLI11_PARSE(app, argc, argv);
    if (demo)
        return demo();

    vt::sim::MarketOptions market;
    market.seed = seed;
    if (!accounts.empty()) {
        market.accounts.clear();
        for (const std::string& account : accounts) {
            std::size_t colon = account.find(':');
            if (colon == std::string::npos || colon == 0) {
                std::cerr << "--account takes NICK:PASSWORD, got " << account << "\n";
                return 2;
            }
            // The command line is UTF-8; the marketplace compares GBK nicks.
            market.accounts.push_back(
                {vt::Utf8ToGbk(account.substr(0, colon)), account.substr(colon + 1)});
        }
    }

    // Only this thread takes the stop signals: block them before any server thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    vt::sim::CatalogOptions catalog;
    catalog.seed = seed;
    catalog.books = books;
    vt::sim::BookstoreSim source(catalog);
    vt::sim::MarketSim marketplace(market);

    vt::sim::FaultSettings faults;
    faults.latencyMs = latencyMs;
    faults.errorRate = failRate;
    faults.seed = seed;
    vt::sim::FaultSettings sourceSettings = faults;
    vt::sim::FaultSettings marketSettings = faults;
    marketSettings.lostAnswerPaths = vt::sim::MarketSim::AcceptingPaths();
    std::string problem;
    if (!vt::sim::ParseFaultSpec(storeFaults, sourceSettings, problem) ||
        !vt::sim::ParseFaultSpec(marketFaults, marketSettings, problem)) {
        std::cerr << "bad fault setting: " << problem << "\n";
        return 2;
    }
    source.server().SetFaults(sourceSettings);
    marketplace.server().SetFaults(marketSettings);

    if (!source.Start(bind, sourcePort)) {
        std::cerr << "cannot listen on " << bind << ":" << sourcePort << "\n";
        return 1;
    }
    if (!marketplace.Start(bind, marketPort)) {
        std::cerr << "cannot listen on " << bind << ":" << marketPort << "\n";
        source.Stop();
        return 1;
    }
    std::cout << "source " << source.origin() << "\n"
              << "market " << marketplace.origin() << "\n"
              << "ready" << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    marketplace.Stop();
    source.Stop();
    return 0;
}
