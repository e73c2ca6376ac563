// A small HTTP/1.1 server for the stand-ins. It keeps every request exactly as it came
// (header lines in order), which the wire-shape tests need, and it can misbehave on
// purpose (latency, 500 answers, dropped connections, truncated or slow bodies),
// deterministically from a seed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vt::sim {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    std::string target;                        // path and query as sent
    std::string path;                          // target without the query
    std::map<std::string, std::string> query;  // decoded from the query string (bytes kept)
    HeaderList headers;                        // in the order received, names as sent
    std::vector<std::string> headerLines;      // the same lines untouched (blanks and tabs kept)
    std::string body;
    // The fault this server put on its answer: "", "error", "drop", "truncate", "slow",
    // or "lost" (carried out, then the answer dropped or cut).
    std::string fault;

    // First header of that name (ASCII case-insensitive), or empty.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
    // The value of one cookie of the Cookie header, or empty.
    std::string Cookie(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/html; charset=gbk";
    HeaderList headers;  // extra lines (Set-Cookie, Location …)
    std::string body;
};

// Knobs for the reliability tests. Rates are shares of requests (0 … 1).
struct FaultSettings {
    int latencyMs = 0;        // added before every answer
    double errorRate = 0;     // answer 500
    double dropRate = 0;      // close the connection without answering
    double truncateRate = 0;  // announce the full length, send half the body, close
    double slowRate = 0;      // send the body in small pieces with pauses
    int slowPauseMs = 50;
    // The answer lost after the request was carried out (the item stored, the picture
    // kept): the connection is closed with no answer or with half of it. Only for
    // requests whose path is one of lostAnswerPaths.
    double lostAnswerRate = 0;
    std::vector<std::string> lostAnswerPaths = {};
    std::uint64_t seed = 1;
};

// "error=0.1,drop=0.05,truncate=0.05,slow=0.02,lost=0.2,latency=5,seed=3": the knobs of
// one site as the command line gives them. False (with the offending piece in problem)
// for an unknown name or a value out of range.
bool ParseFaultSpec(const std::string& spec, FaultSettings& faults, std::string& problem);

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    void SetFaults(const FaultSettings& faults);

    // Binds and starts serving on a background thread; port 0 picks a free port.
    bool Start(const std::string& bindAddress, int port);
    // Stops accepting, closes open connections and joins every thread.
    void Stop();
    int port() const { return port_; }
    std::string origin() const;

    std::vector<HttpRequest> Requests() const;
    void ClearRequests();
    std::size_t RequestCount() const;

private:
    enum class Fault { None, Error, Drop, Truncate, Slow };
    Fault NextFault();
    Fault NextAnswerLost(const std::string& path);
    void NoteFault(std::size_t index, const char* fault);
    static const char* FaultName(Fault fault);
    void AcceptLoop();
    void Serve(int fd);
    bool ReadRequest(int fd, std::string& buffer, HttpRequest& req);

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::string bind_;
    std::atomic<bool> running_{false};
    std::thread acceptThread_;

    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable idle_;
    int activeConnections_ = 0;
    std::set<int> openFds_;
    std::vector<HttpRequest> requests_;
    FaultSettings faults_;
    std::uint64_t faultCounter_ = 0;
    std::uint64_t lostCounter_ = 0;
};

// Percent-decoding of a query component ("+" is a blank); bytes are kept as they are.
std::string UrlDecode(const std::string& text);

}  // namespace vt::sim
