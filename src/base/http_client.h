// Every network exchange of the system: the bookstore's page fetches and the
// marketplace's seller pages. Each operation has a fixed shape (headers, Referer, how
// the answer turns into text) rather than being a general client. Every call opens and
// closes its own connection and keeps no state, so worker threads call them at once.
// Nothing throws: a GET yields its text with how the read went, a POST a result code.
// Reads (GETs) may be repeated after a transport failure or a 5xx answer; a POST is
// never sent twice by this layer unless its caller asks for repeats (a read-only query).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/encoders.h"  // MultipartContentType, for the publish form's boundary

namespace vt {

class Hosts;
class SiteHealth;

// The agent names on the wire.
inline constexpr char kSourceAgent[] = "serverassistant";
inline constexpr char kAppAgent[] = "OrnikVantrell";

struct HttpOptions {
    long connectTimeoutMs = 15000;  // until the connection stands
    long totalTimeoutMs = 60000;    // the whole exchange, connection included
    // PEM file of the certificate authorities to trust; empty means the system's own.
    // Certificates and host names are always verified.
    std::string caFile;

    // A read that failed for the transport (a time-out among them) or answered 5xx is
    // sent again up to `retries` times, after retryDelayMs, then twice as long each time,
    // each wait lengthened by up to a half at random so that workers do not retry in step.
    // A 4xx or any other answer is final. 0: a single attempt.
    int retries = 0;
    int retryDelayMs = 500;
    // Asked while waiting to retry; true gives up the remaining attempts (a stopped job).
    std::function<bool()> cancelled;
    // Told of each exchange's final outcome (not owned; may be null).
    SiteHealth* health = nullptr;

    // Picture uploads carry a whole file and get twice the time.
    static HttpOptions ForUpload();
    // The same options with a single attempt: for what must never be sent twice.
    HttpOptions Once() const;
};

// How one read went. text is what arrived (the body whatever the status; what came
// before a broken transfer), error says why the read failed, in the seller's words.
struct PageResult {
    std::string text;
    long status = 0;         // the final HTTP status; 0 when no answer came
    int transportError = 0;  // libcurl's error number; 0 when the exchange completed
    int attempts = 0;
    std::string error;  // empty when the read succeeded

    // No answer could be had, or the server failed (5xx): the page was not read. A 4xx
    // or an answer without the expected content is the page's own fault, not the network's.
    bool Failed() const { return !error.empty(); }
};

// Result codes of the marketplace POSTs. Callers decide on the response text; the
// code tells what went wrong when it is empty.
enum PostResult : int {
    kPostDone = 0,           // an answer came; the response is its body when the status was 200
    kPostBadUrl = -1,        // the target does not parse as an address
    kPostFailed = 1,         // not http(s), or a transport error (an unreachable host among
                             // them); response "dwError = N"
    kPostNoConnection = -2,  // no connection handle could be made
    kPostCannotOpen = -3,    // the request could not be set up
    kPostTimedOut = 2,       // the exchange ran out of time; response "dwError = N"
};

// For an exchange with a shape of its own (a picture download): runs `attempt`, which
// makes one exchange and fills its result (NoteExchangeOutcome helps), as often as the
// options allow, with the same waits, and tells the site's health the final outcome.
PageResult ReadWithRetries(const HttpOptions& options,
                           const std::function<void(PageResult&)>& attempt);
// The outcome of one finished exchange from libcurl's result code and the final status.
void NoteExchangeOutcome(int transportError, long status, PageResult& result);

struct HttpHelper {
    // A bookstore page: agent "serverassistant", no cookie, redirects followed. The
    // body whatever the status, as the GBK bytes that came; what arrived before a
    // broken transfer; empty when nothing could be fetched.
    static std::string GetPage(const std::string& url, const HttpOptions& options = {});
    // The same read with its outcome.
    static PageResult ReadPage(const std::string& url, const HttpOptions& options = {});
};

// A marketplace page read with the seller's cookie string (the session's current one
// for MarketGet, a given account's for MarketGetWithCookie; the two send the same).
// Line ends come back as CR LF, every line followed by "\r\n". An empty url, or one
// that cannot be fetched, yields empty text; a broken transfer yields what came.
std::string MarketGet(const std::string& url, const std::string& cookie,
                      const HttpOptions& options = {});
std::string MarketGetWithCookie(const std::string& url, const std::string& cookie,
                                const HttpOptions& options = {});
// The same for the one page the marketplace serves in UTF-8: converted to GBK
// (characters GBK lacks become '?'), also when the transfer broke off.
std::string MarketGetUtf8(const std::string& url, const std::string& cookie,
                          const HttpOptions& options = {});
// MarketGet with the read's outcome.
PageResult MarketRead(const std::string& url, const std::string& cookie,
                      const HttpOptions& options = {});

// One marketplace POST. The header lines go out in this order, each only when the
// request carries no header of that name yet (Host and Content-Length count as
// carried): the fixed browser-like set, "Referer:\t" + referer, "Content-Type:\t" +
// contentType, the extra lines, and last "Cookie: " + cookie (left out when empty).
// CR, LF and zero bytes are taken out of every line, so no value can add a header.
struct MarketPostRequest {
    std::string url;
    std::string referer;
    std::string contentType;
    std::vector<std::string> extraLines;
    std::string_view body;  // bytes as they are, zero bytes included
    std::string cookie;
};
// The response is the body when the final status is 200, else empty; after a
// transport failure it is "dwError = N" with N the transport's error number.
int MarketPost(const MarketPostRequest& request, std::string& response,
               const HttpOptions& options = {});

// The category query by keyword (an ISBN): body "0=0&keyword=" + keyword, unencoded;
// Referer the sell page with the token (trimmed) as "utkn".
int MarketPostKeyword(const std::string& url, const std::string& keyword, std::string& response,
                      const std::string& token, const std::string& cookie, const Hosts& hosts,
                      const HttpOptions& options = {});
// The item publish form, a multipart body with that boundary sent up to its first zero byte.
int MarketPostPublish(const std::string& body, const std::string& boundary, std::string& response,
                      const std::string& cookie, const Hosts& hosts,
                      const HttpOptions& options = {});
// The goods-manager query of the items on sale.
int MarketPostGoodsQuery(const std::string& body, std::string& response, const std::string& cookie,
                         const Hosts& hosts, const HttpOptions& options = {});

// A browser's visit of the marketplace's login pages: the request carries the cookie
// string given, redirects are followed with the cookies set on the way, and the final
// page goes to page. cookies receives the given cookies merged with every cookie that
// an answer of the exchange set, in Cookie-header form ("a=1; b=2"): a later value
// replaces an earlier one of the same name, an empty value removes it. The result code
// is MarketPost's.
int GetCollectCookies(const std::string& url, const std::string& cookie, std::string& page,
                      std::string& cookies, const HttpOptions& options = {});
// The same for a form posted as application/x-www-form-urlencoded (body as given).
int PostFormCollectCookies(const std::string& url, const std::string& body,
                           const std::string& cookie, std::string& page, std::string& cookies,
                           const HttpOptions& options = {});

}  // namespace vt
