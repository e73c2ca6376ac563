#include "base/http_client.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "base/encoders.h"
#include "base/hosts.h"
#include "base/site_health.h"
#include "base/text.h"

namespace vt {
namespace {

// libcurl wants its global set-up once before the first handle; call_once makes that
// safe when the first requests start on several threads together. It is never torn
// down: worker threads are not joined and may still be in a call at exit.
void EnsureCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The handle and header list of one call, freed on every way out.
class Request {
public:
    Request() : handle_(curl_easy_init()) {}
    ~Request() {
        curl_slist_free_all(headers_);
        if (handle_)
            curl_easy_cleanup(handle_);
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    CURL* handle() const { return handle_; }
    void AddHeader(const std::string& line) {
        headers_ = curl_slist_append(headers_, line.c_str());
    }
    curl_slist* headers() const { return headers_; }

private:
    CURL* handle_;
    curl_slist* headers_ = nullptr;
};

// One transfer's bounds as the callbacks see them, and which of them ended it.
struct Transfer {
    std::string* body = nullptr;
    const HttpOptions* options = nullptr;
    bool tooLarge = false;
    bool stopped = false;
    bool internalAddress = false;
    // A form under way is let finish: broken off, its outcome would be unknown.
    bool stoppable = true;
};

size_t Append(char* data, size_t size, size_t count, void* target) {
    auto* t = static_cast<Transfer*>(target);
    const size_t n = size * count;
    if (t->body->size() + n > t->options->maxBodyBytes) {
        t->tooLarge = true;
        return 0;  // ends the transfer: a body over the limit is refused, not cut
    }
    t->body->append(data, n);
    return n;
}

// Called by libcurl at least once a second, also while nothing arrives: a stopped job
// ends its transfer here instead of waiting for a dripping server.
int Progress(void* target, curl_off_t downloadTotal, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(target);
    if (downloadTotal > 0 && static_cast<std::uint64_t>(downloadTotal) > t->options->maxBodyBytes) {
        t->tooLarge = true;
        return 1;
    }
    if (t->stoppable && t->options->cancelled && t->options->cancelled()) {
        t->stopped = true;
        return 1;
    }
    return 0;
}

bool IsPublicV4(std::uint32_t a) {
    const auto in = [a](std::uint32_t net, int bits) {
        return bits == 0 || (a >> (32 - bits)) == (net >> (32 - bits));
    };
    return !(in(0x00000000, 8) || in(0x0A000000, 8) || in(0x7F000000, 8) ||
             in(0x64400000, 10) ||  // shared address space of carrier networks
             in(0xA9FE0000, 16) || in(0xAC100000, 12) || in(0xC0A80000, 16) || in(0xE0000000, 4) ||
             in(0xF0000000, 4));  // multicast, reserved, broadcast
}

bool IsPublicV6(const unsigned char* b) {
    static const unsigned char kZero[16] = {};
    if (std::memcmp(b, kZero, 15) == 0 && (b[15] == 0 || b[15] == 1))
        return false;  // unspecified, loopback
    static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(b, kMapped, 12) == 0)
        return IsPublicV4((std::uint32_t(b[12]) << 24) | (std::uint32_t(b[13]) << 16) |
                          (std::uint32_t(b[14]) << 8) | b[15]);
    if ((b[0] & 0xFE) == 0xFC)  // unique local fc00::/7
        return false;
    if (b[0] == 0xFE && (b[1] & 0xC0) == 0x80)  // link-local fe80::/10
        return false;
    return b[0] != 0xFF;  // multicast
}

// "a.b.c.d:port" or "[v6]:port"; public: whether the address is a public one.
std::string Endpoint(const sockaddr* addr, bool& isPublic) {
    char text[INET6_ADDRSTRLEN] = {};
    isPublic = false;
    if (addr->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(addr);
        isPublic = IsPublicV4(ntohl(v4->sin_addr.s_addr));
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(v4->sin_port));
    }
    if (addr->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(addr);
        isPublic = IsPublicV6(v6->sin6_addr.s6_addr);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6->sin6_port));
    }
    return {};
}

// Every connection of a transfer that a web page named, redirects included, asks here
// before its socket exists: an internal address is refused before any packet leaves.
curl_socket_t OpenCheckedSocket(void* target, curlsocktype, curl_sockaddr* address) {
    auto* t = static_cast<Transfer*>(target);
    bool isPublic = false;
    const std::string endpoint = Endpoint(&address->addr, isPublic);
    bool allowed = isPublic;
    for (const std::string& e : t->options->allowedLocalEndpoints)
        allowed = allowed || e == endpoint;
    if (!allowed) {
        t->internalAddress = true;
        return CURL_SOCKET_BAD;
    }
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// What every call shares: the address, only http and https (also after a redirect, so
// a page cannot send us to a local file; only https when the request carries a secret
// over https), redirects followed, HTTP/1.1 so the header lines go out as written,
// time-outs, a low-speed limit, the body limit, the stop check, normal certificate and
// host name checks. Proxies come from the environment as libcurl reads them.
void Configure(Request& req, const std::string& url, const HttpOptions& options, Transfer& transfer,
               bool carriesSecret = false) {
    CURL* h = req.handle();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    const bool httpsOnly = carriesSecret && url.rfind("https://", 0) == 0;
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, httpsOnly ? "https" : "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);  // several threads; no alarm signals
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caFile.empty())
        curl_easy_setopt(h, CURLOPT_CAINFO, options.caFile.c_str());
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, options.lowSpeedBytes);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, options.lowSpeedSeconds);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBodyBytes));
    transfer.options = &options;
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    if (options.publicAddressesOnly) {
        // The check must see the real peer, not a proxy that would fetch any address.
        curl_easy_setopt(h, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &OpenCheckedSocket);
        curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &transfer);
    }
}

// Why a read failed, in the seller's words, with the transport's own text for support.
std::string TransportErrorText(CURLcode code) {
    const char* what = code == CURLE_OPERATION_TIMEDOUT ? "网络超时" : "网络连接失败";
    return std::string(what) + "（" + std::to_string(static_cast<int>(code)) + " " +
           curl_easy_strerror(code) + "）";
}

std::string ServerErrorText(long status) {
    return "服务器错误（HTTP " + std::to_string(status) + "）";
}

// An address that libcurl refuses stays refused; anything else may go through next time.
bool RepeatableTransportError(CURLcode code) {
    return code != CURLE_OK && code != CURLE_URL_MALFORMAT && code != CURLE_UNSUPPORTED_PROTOCOL;
}

std::string KbText(std::size_t bytes) {
    return std::to_string((bytes + 1023) / 1024) + " KB";
}

// Fills the outcome of one completed or failed exchange into result; a transfer that
// this side ended says which bound ended it.
void NoteOutcome(CURL* h, CURLcode code, const Transfer& transfer, PageResult& result) {
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    NoteExchangeOutcome(static_cast<int>(code), status, result);
    if (code == CURLE_OK)
        return;
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.refusal = ReadRefusal::TooLarge;
        result.text.clear();
        result.error = "内容过大（超过 " + KbText(transfer.options->maxBodyBytes) + "），已拒绝";
    } else if (transfer.stopped) {
        result.refusal = ReadRefusal::Stopped;
        result.error = "已停止读取（采集已停止）";
    } else if (transfer.internalAddress) {
        result.refusal = ReadRefusal::InternalAddress;
        result.error = "地址指向本机或内部网络，已拒绝";
    }
}

bool WorthRepeating(const PageResult& result) {
    if (result.refusal != ReadRefusal::None)
        return false;
    return RepeatableTransportError(static_cast<CURLcode>(result.transportError)) ||
           (result.transportError == 0 && result.status >= 500);
}

// A 64-bit mix (splitmix64) of the clock and the thread: enough spread for a jitter, and
// no generator state shared between threads.
std::uint64_t JitterSeed(int attempt) {
    std::uint64_t x =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        std::hash<std::thread::id>()(std::this_thread::get_id()) ^
        (static_cast<std::uint64_t>(attempt) << 56);
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// Waits before repeat number `attempt` (0 for the first repeat); false when the caller
// gave up meanwhile.
bool WaitBeforeRepeat(const HttpOptions& options, int attempt) {
    constexpr long kLongestDelayMs = 30000;
    long delay = options.retryDelayMs > 0 ? options.retryDelayMs : 0;
    for (int i = 0; i < attempt && delay < kLongestDelayMs; ++i) delay *= 2;
    delay = std::min(delay, kLongestDelayMs);
    if (delay > 0)
        delay += static_cast<long>(JitterSeed(attempt) % static_cast<std::uint64_t>(delay / 2 + 1));
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay);
    constexpr auto kSlice = std::chrono::milliseconds(20);
    for (;;) {
        if (options.cancelled && options.cancelled())
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(until - now, kSlice));
    }
}

}  // namespace

void NoteExchangeOutcome(int transportError, long status, PageResult& result) {
    result.transportError = transportError;
    result.status = status;
    if (transportError != CURLE_OK)
        result.error = TransportErrorText(static_cast<CURLcode>(transportError));
    else if (status >= 500)
        result.error = ServerErrorText(status);
    else
        result.error.clear();
}

PageResult ReadWithRetries(const HttpOptions& options,
                           const std::function<void(PageResult&)>& once) {
    PageResult result;
    for (int attempt = 0;; ++attempt) {
        result = PageResult{};
        once(result);
        result.attempts = attempt + 1;
        if (!WorthRepeating(result) || attempt >= options.retries)
            break;
        if (!WaitBeforeRepeat(options, attempt))
            break;
        if (options.health)
            options.health->RecordRetry();
    }
    // What this side refused says nothing about the site's health.
    if (options.health && result.refusal == ReadRefusal::None) {
        if (result.Failed())
            options.health->RecordFailure(result.error);
        else
            options.health->RecordAnswer();
    }
    return result;
}

namespace {

// A GET with these header lines; whatever body arrived, also after a failure.
PageResult Fetch(const std::string& url, const std::vector<std::string>& lines,
                 const HttpOptions& options, bool carriesSecret = false) {
    EnsureCurl();
    return ReadWithRetries(options, [&](PageResult& result) {
        Request req;
        if (!req.handle()) {
            result.transportError = CURLE_FAILED_INIT;
            result.error = TransportErrorText(CURLE_FAILED_INIT);
            return;
        }
        Transfer transfer{&result.text};
        Configure(req, url, options, transfer, carriesSecret);
        for (const std::string& line : lines) req.AddHeader(line);
        req.AddHeader("Accept:");  // libcurl's own "Accept: */*" stays off the wire
        curl_easy_setopt(req.handle(), CURLOPT_HTTPHEADER, req.headers());
        NoteOutcome(req.handle(), curl_easy_perform(req.handle()), transfer, result);
    });
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Scheme, host (brackets of an IPv6 literal taken off) and port (the scheme's default
// when none is written) of an address; false when it does not parse.
bool SplitAddress(const std::string& url, std::string& scheme, std::string& host,
                  std::string& port) {
    CURLU* u = curl_url();
    if (!u)
        return false;
    bool ok = curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
    char* part = nullptr;
    const auto take = [&](CURLUPart which, std::string& out, unsigned flags) {
        if (ok && curl_url_get(u, which, &part, flags) == CURLUE_OK) {
            out = LowerAscii(part);
            curl_free(part);
        } else {
            ok = false;
        }
    };
    take(CURLUPART_SCHEME, scheme, 0);
    take(CURLUPART_HOST, host, 0);
    take(CURLUPART_PORT, port, CURLU_DEFAULT_PORT);
    curl_url_cleanup(u);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return ok;
}

PageResult RefusedSecret(const std::string& url) {
    PageResult result;
    result.refusal = ReadRefusal::ClearTextSecret;
    result.error = "拒绝以明文（非https）向 " + url + " 发送账户Cookie或密码";
    return result;
}

std::string Clean(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n' && c != '\0')
            out.push_back(c);
    return out;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string HeaderName(const std::string& line) {
    std::size_t colon = line.find(':');
    std::string name = Trim(std::string_view(line).substr(0, colon));
    for (char& c : name) c = AsciiLower(c);
    return name;
}

// Each line of the marketplace's text, followed by "\r\n".
std::string NormaliseLines(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos)
            end = text.size();
        if (end > pos && text[end - 1] == '\r')
            --end;
        out.append(text, pos, end - pos);
        out += "\r\n";
        pos = next;
    }
    return out;
}

PageResult MarketFetch(const std::string& url, const std::string& cookie,
                       const HttpOptions& options) {
    PageResult result;
    if (url.empty()) {
        result.error = "地址为空";
        return result;
    }
    std::vector<std::string> lines{std::string("User-Agent: ") + kAppAgent};
    std::string clean = Clean(cookie);
    if (!clean.empty()) {
        if (!SecretMayGoTo(url))
            return RefusedSecret(url);
        lines.push_back("Cookie: " + clean);
    }
    result = Fetch(url, lines, options, !clean.empty());
    result.text = NormaliseLines(result.text);
    return result;
}

std::string DwError(CURLcode code) {
    return "dwError = " + std::to_string(static_cast<int>(code));
}

// Every Set-Cookie value of every answer in the exchange, redirects included.
size_t CollectSetCookie(char* data, size_t size, size_t count, void* target) {
    std::string_view line(data, size * count);
    constexpr std::string_view kName = "set-cookie:";
    if (line.size() > kName.size()) {
        bool match = true;
        for (std::size_t i = 0; i < kName.size() && match; ++i)
            match = AsciiLower(line[i]) == kName[i];
        if (match)
            static_cast<std::vector<std::string>*>(target)->push_back(
                Trim(line.substr(kName.size())));
    }
    return size * count;
}

using CookiePairs = std::vector<std::pair<std::string, std::string>>;

void PutCookie(CookiePairs& pairs, std::string_view pair) {
    std::size_t eq = pair.find('=');
    std::string name = Trim(pair.substr(0, eq));
    if (name.empty())
        return;
    std::string value = eq == std::string_view::npos ? std::string() : Trim(pair.substr(eq + 1));
    // A line end or zero byte would end the Cookie header of the next request early or
    // start a header of the answer's choosing: such a cookie is dropped, as browsers do.
    static constexpr std::string_view kBreaks("\r\n\0", 3);
    if (name.find_first_of(kBreaks) != std::string::npos ||
        value.find_first_of(kBreaks) != std::string::npos)
        return;
    for (auto it = pairs.begin(); it != pairs.end(); ++it) {
        if (it->first != name)
            continue;
        if (value.empty())
            pairs.erase(it);
        else
            it->second = std::move(value);
        return;
    }
    if (!value.empty())
        pairs.emplace_back(std::move(name), std::move(value));
}

}  // namespace

// Only each Set-Cookie value's first "name=value" counts; the attributes after it (Path,
// HttpOnly …) do not go back.
std::string MergeCookies(const std::string& cookie, const std::vector<std::string>& setCookies) {
    CookiePairs pairs;
    std::string_view rest = cookie;
    while (!rest.empty()) {
        std::size_t semi = rest.find(';');
        PutCookie(pairs, rest.substr(0, semi));
        rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
    }
    for (const std::string& set : setCookies)
        PutCookie(pairs, std::string_view(set).substr(0, set.find(';')));
    std::string header;
    for (const auto& [name, value] : pairs)
        header += (header.empty() ? "" : "; ") + name + "=" + value;
    return header;
}

namespace {

// The result code of an exchange that was sent: a transport error (an unreachable host
// among them) gives "dwError = N"; an answer gives its body when the status was 200.
int ExchangeOutcome(const PageResult& exchange, std::string& response) {
    if (exchange.transportError != CURLE_OK) {
        response = DwError(static_cast<CURLcode>(exchange.transportError));
        return exchange.transportError == CURLE_OPERATION_TIMEDOUT ? kPostTimedOut : kPostFailed;
    }
    if (exchange.status == 200)
        response = exchange.text;
    return kPostDone;
}

bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The login pages' exchange, one hop at a time so that each redirect is weighed before
// anything goes to its host: only trusted origins are visited, the form (the password)
// is repeated only to its own origin, and so every cookie kept comes from a trusted host.
int BrowserExchange(const std::string& url, const std::string* formBody, const std::string& cookie,
                    std::string& page, std::string& cookies, const HttpOptions& options,
                    const std::vector<std::string>& trustedOrigins) {
    page.clear();
    cookies = MergeCookies(Clean(cookie), {});
    EnsureCurl();
    std::vector<std::string> trusted;
    for (const std::string& origin : trustedOrigins) trusted.push_back(OriginOf(origin));
    if (trusted.empty())
        trusted.push_back(OriginOf(url));
    const auto isTrusted = [&](const std::string& address) {
        const std::string origin = OriginOf(address);
        for (const std::string& t : trusted)
            if (!origin.empty() && t == origin)
                return true;
        return false;
    };

    constexpr int kMaxHops = 10;
    std::string target = url;
    const std::string* body = formBody;
    PageResult exchange;
    for (int hop = 0; hop <= kMaxHops; ++hop) {
        if (OriginOf(target).empty())
            return kPostBadUrl;
        if (!isTrusted(target))
            break;  // a redirect off the marketplace: not followed, nothing sent there
        if ((body || !cookies.empty()) && !SecretMayGoTo(target)) {
            page.clear();
            return kPostFailed;
        }
        Request req;
        if (!req.handle())
            return kPostCannotOpen;
        exchange = PageResult{};
        Transfer transfer{&exchange.text};
        Configure(req, target, options, transfer, true);
        CURL* h = req.handle();
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
        std::vector<std::string> setCookies;
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CollectSetCookie);
        curl_easy_setopt(h, CURLOPT_HEADERDATA, &setCookies);
        if (!cookies.empty())
            curl_easy_setopt(h, CURLOPT_COOKIE, cookies.c_str());
        req.AddHeader(
            "User-Agent: Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0");
        req.AddHeader("Accept:\ttext/html, application/xhtml+xml, */*");
        req.AddHeader("Accept-Language:\tzh-CN");
        if (body) {
            req.AddHeader("Content-Type: application/x-www-form-urlencoded");
            req.AddHeader("Expect:");
            curl_easy_setopt(h, CURLOPT_POST, 1L);
            curl_easy_setopt(h, CURLOPT_POSTFIELDS, body->data());
            curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        }
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, req.headers());

        const CURLcode code = curl_easy_perform(h);
        cookies = MergeCookies(cookies, setCookies);
        if (code == CURLE_URL_MALFORMAT || code == CURLE_UNSUPPORTED_PROTOCOL)
            return kPostBadUrl;
        NoteOutcome(h, code, transfer, exchange);
        if (code != CURLE_OK || !IsRedirect(exchange.status))
            break;
        char* location = nullptr;
        curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location);
        if (!location || !*location)
            break;
        const std::string next = location;
        if (exchange.status == 307 || exchange.status == 308) {
            // The form goes again only where it was first sent.
            if (body && OriginOf(next) != OriginOf(target))
                break;
        } else {
            body = nullptr;  // 301/302/303 go on as a plain GET, as browsers do
        }
        target = next;
    }
    return ExchangeOutcome(exchange, page);
}

}  // namespace

std::size_t SizeLimitFromKb(const std::string& kilobytes, std::size_t fallback) {
    const std::string t = Trim(kilobytes);
    if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != std::string::npos)
        return fallback;
    const unsigned long long kb = std::strtoull(t.c_str(), nullptr, 10);
    return kb == 0 ? fallback : static_cast<std::size_t>(kb) * 1024;
}

std::string OriginOf(const std::string& url) {
    std::string scheme, host, port;
    if (!SplitAddress(url, scheme, host, port) || host.empty())
        return {};
    if (host.find(':') != std::string::npos)
        host = "[" + host + "]";
    return scheme + "://" + host + ":" + port;
}

bool SecretMayGoTo(const std::string& url) {
    std::string scheme, host, port;
    if (!SplitAddress(url, scheme, host, port) || host.empty())
        return false;
    return scheme == "https" || (scheme == "http" && IsLoopbackHost(host));
}

PageResult FetchPicture(const std::string& url, const HttpOptions& options) {
    return Fetch(url, {std::string("User-Agent: ") + kAppAgent}, options);
}

HttpOptions HttpOptions::ForUpload() {
    HttpOptions options;
    options.totalTimeoutMs = 120000;
    return options;
}

HttpOptions HttpOptions::Once() const {
    HttpOptions options = *this;
    options.retries = 0;
    return options;
}

std::string HttpHelper::GetPage(const std::string& url, const HttpOptions& options) {
    return ReadPage(url, options).text;
}

PageResult HttpHelper::ReadPage(const std::string& url, const HttpOptions& options) {
    return Fetch(url, {std::string("User-Agent: ") + kSourceAgent}, options);
}

std::string MarketGet(const std::string& url, const std::string& cookie,
                      const HttpOptions& options) {
    return MarketFetch(url, cookie, options).text;
}

std::string MarketGetWithCookie(const std::string& url, const std::string& cookie,
                                const HttpOptions& options) {
    return MarketFetch(url, cookie, options).text;
}

std::string MarketGetUtf8(const std::string& url, const std::string& cookie,
                          const HttpOptions& options) {
    return Utf8ToGbk(MarketFetch(url, cookie, options).text);
}

PageResult MarketRead(const std::string& url, const std::string& cookie,
                      const HttpOptions& options) {
    return MarketFetch(url, cookie, options);
}

int MarketPost(const MarketPostRequest& request, std::string& response,
               const HttpOptions& options) {
    response.clear();
    EnsureCurl();

    // Parse first, so that the two address faults have their own codes.
    CURLU* parsed = curl_url();
    if (!parsed)
        return kPostCannotOpen;
    bool parses = curl_url_set(parsed, CURLUPART_URL, request.url.c_str(),
                               CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
    std::string scheme;
    char* part = nullptr;
    if (parses && curl_url_get(parsed, CURLUPART_SCHEME, &part, 0) == CURLUE_OK) {
        for (const char* p = part; *p; ++p) scheme.push_back(AsciiLower(*p));
        curl_free(part);
    }
    curl_url_cleanup(parsed);
    if (!parses)
        return kPostBadUrl;
    if (scheme != "http" && scheme != "https")
        return kPostFailed;
    if (!request.cookie.empty() && !SecretMayGoTo(request.url)) {
        response = RefusedSecret(request.url).error;
        return kPostFailed;
    }

    std::vector<std::string> lines{
        "User-Agent: Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0",
        "Accept:\ttext/html, application/xhtml+xml, */*",
        "Accept-Language:\tzh-CN",
        "Accept-Charset: GBK",
        "Keep-Alive: 115",
        "DNT: 1",
        "Connection:Keep-Alive",
        "Referer:\t" + request.referer,
        "Content-Type:\t" + request.contentType,
    };
    lines.insert(lines.end(), request.extraLines.begin(), request.extraLines.end());
    if (!request.cookie.empty())
        lines.push_back("Cookie: " + request.cookie);

    // Add-if-new: a line whose header the request already carries is dropped, so the
    // first of two same-named lines wins. libcurl writes Host and Content-Length itself.
    std::vector<std::string> headerLines;
    std::vector<std::string> carried{"host", "content-length"};
    for (const std::string& raw : lines) {
        std::string line = Clean(raw);
        std::string name = HeaderName(line);
        if (line.find(':') == std::string::npos || name.empty())
            continue;
        bool known = false;
        for (const std::string& c : carried) known = known || c == name;
        if (known)
            continue;
        carried.push_back(name);
        headerLines.push_back(std::move(line));
    }
    headerLines.push_back("Expect:");  // send the body at once, no 100-continue round trip

    bool noHandle = false;
    const PageResult result = ReadWithRetries(options, [&](PageResult& outcome) {
        Request req;
        if (!req.handle()) {
            noHandle = true;
            return;  // nothing was sent, and a repeat would fare no better
        }
        Transfer transfer{&outcome.text};
        transfer.stoppable = false;
        Configure(req, request.url, options, transfer, !request.cookie.empty());
        for (const std::string& line : headerLines) req.AddHeader(line);
        CURL* h = req.handle();
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, req.headers());
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
        NoteOutcome(h, curl_easy_perform(h), transfer, outcome);
    });
    if (noHandle)
        return kPostNoConnection;
    return ExchangeOutcome(result, response);
}

int MarketPostKeyword(const std::string& url, const std::string& keyword, std::string& response,
                      const std::string& token, const std::string& cookie, const Hosts& hosts,
                      const HttpOptions& options) {
    // Percent-encoded: a keyword that came from a page cannot add or end a field.
    std::string body = "0=0&keyword=" + UrlEncodeAnsi(keyword);
    MarketPostRequest request{
        url,
        hosts.Url(HostRole::MarketUpload,
                  "/auction/sell.jhtml?spm=a313o.7775905.a1zvx.d48.5Bhm2H&mytmenu=wym&utkn=" +
                      Trim(token)),
        "application/x-www-form-urlencoded",
        {"X-Requested-With: XMLHttpRequest"},
        body,
        cookie,
    };
    return MarketPost(request, response, options);
}

int MarketPostPublish(const std::string& body, const std::string& boundary, std::string& response,
                      const std::string& cookie, const Hosts& hosts, const HttpOptions& options) {
    const std::string address = hosts.Url(HostRole::MarketUpload, "/auction/publish/publish.htm");
    MarketPostRequest request{
        address,
        address,
        MultipartContentType(boundary),
        {},
        std::string_view(body).substr(0, body.find('\0')),
        cookie,
    };
    // A form sent twice may be an item published twice.
    return MarketPost(request, response, options.Once());
}

int MarketPostGoodsQuery(const std::string& body, std::string& response, const std::string& cookie,
                         const Hosts& hosts, const HttpOptions& options) {
    MarketPostRequest request{
        hosts.Url(HostRole::MarketSell, "/auction/merchandise/auction_list.htm?type=11"),
        hosts.Url(HostRole::MarketTrade,
                  "/trade/itemlist/list_sold_items.htm?spm=a1z09.1.a1zvx.d28.LTAJ5R&mytmenu=ymbb"),
        "application/x-www-form-urlencoded",
        {"X-Requested-With: XMLHttpRequest"},
        body,
        cookie,
    };
    return MarketPost(request, response, options);
}

int GetCollectCookies(const std::string& url, const std::string& cookie, std::string& page,
                      std::string& cookies, const HttpOptions& options,
                      const std::vector<std::string>& trustedOrigins) {
    return BrowserExchange(url, nullptr, cookie, page, cookies, options, trustedOrigins);
}

int PostFormCollectCookies(const std::string& url, const std::string& body,
                           const std::string& cookie, std::string& page, std::string& cookies,
                           const HttpOptions& options,
                           const std::vector<std::string>& trustedOrigins) {
    return BrowserExchange(url, &body, cookie, page, cookies, options, trustedOrigins);
}

}  // namespace vt
