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

// The shipped size limits ("MaxPageKB", "MaxPictureKB" of the settings): a product page
// is a few hundred kilobytes and a cover picture a few tens.
inline constexpr std::size_t kDefaultMaxPageBytes = 8u * 1024 * 1024;
inline constexpr std::size_t kDefaultMaxPictureBytes = 10u * 1024 * 1024;
// A size setting in kilobytes as bytes; a value that is no positive number gives fallback.
std::size_t SizeLimitFromKb(const std::string& kilobytes, std::size_t fallback);

struct HttpOptions {
    long connectTimeoutMs = 15000;  // until the connection stands
    long totalTimeoutMs = 60000;    // the whole exchange, connection included
    // A transfer that moves fewer than lowSpeedBytes a second for lowSpeedSeconds is
    // broken off: a server that drips its answer must not hold a worker.
    long lowSpeedBytes = 256;
    long lowSpeedSeconds = 30;
    // The largest body taken. A longer one is refused whole, never cut into a half page.
    std::size_t maxBodyBytes = kDefaultMaxPageBytes;
    // For addresses that a web page named (pictures): connections go only to public
    // addresses, checked on the address each name resolves to, redirects included. Not
    // loopback, private, link-local or unspecified, except the endpoints listed here as
    // "ip:port" / "[ip6]:port" (the configured picture host when it is itself on this
    // machine, as the stand-ins are).
    bool publicAddressesOnly = false;
    std::vector<std::string> allowedLocalEndpoints;
    // PEM file of the certificate authorities to trust; empty means the system's own.
    // Certificates and host names are always verified.
    std::string caFile;

    // A read that failed for the transport (a time-out among them) or answered 5xx is
    // sent again up to `retries` times, after retryDelayMs, then twice as long each time,
    // each wait lengthened by up to a half at random so that workers do not retry in step.
    // A 4xx or any other answer is final. 0: a single attempt.
    int retries = 0;
    int retryDelayMs = 500;
    // Asked while waiting to retry and during every GET (about once a second while it
    // stalls); true ends the read and gives up the remaining attempts (a stopped job). A
    // POST under way is let finish (bounded by its time limits): broken off, a form's
    // outcome would be unknown.
    std::function<bool()> cancelled;
    // Told of each exchange's final outcome (not owned; may be null).
    SiteHealth* health = nullptr;

    // Picture uploads carry a whole file and get twice the time.
    static HttpOptions ForUpload();
    // The same options with a single attempt: for what must never be sent twice.
    HttpOptions Once() const;
};

// Why this side ended or never began an exchange.
enum class ReadRefusal {
    None,
    Stopped,          // the job was stopped meanwhile
    TooLarge,         // the body is over maxBodyBytes; nothing of it is kept
    InternalAddress,  // the address is not a public one (publicAddressesOnly)
    ClearTextSecret,  // a seller cookie or password would have gone out without https
};

// How one read went. text is what arrived (the body whatever the status; what came
// before a broken transfer), error says why the read failed, in the seller's words.
struct PageResult {
    std::string text;
    long status = 0;         // the final HTTP status; 0 when no answer came
    int transportError = 0;  // libcurl's error number; 0 when the exchange completed
    int attempts = 0;
    std::string error;                        // empty when the read succeeded
    ReadRefusal refusal = ReadRefusal::None;  // set: never repeated, not the site's fault

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

// Whether a request carrying the seller's cookie or password may go to this address:
// https, or http to a loopback host (the stand-ins). Every marketplace exchange asks.
bool SecretMayGoTo(const std::string& url);

// A picture named by a web page: GET with the app's agent, no cookie, no referrer,
// redirects followed (every connection checked as the options say). The options'
// maxBodyBytes bounds it; callers set the picture limit.
PageResult FetchPicture(const std::string& url, const HttpOptions& options);

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
// string given, and the final page goes to page. Redirects are followed here, hop by
// hop, only to the trusted origins ("scheme://host[:port]"; none given: the address's
// own origin); a redirect elsewhere ends the exchange there, unvisited. A form body (a
// password) is sent again only for a 307/308 to the same origin; any other redirect
// goes on as a plain GET. cookies receives the given cookies merged with every cookie
// that an answer of the exchange set (all from trusted origins), in Cookie-header form
// ("a=1; b=2"): a later value replaces an earlier one of the same name, an empty value
// removes it. The result code is MarketPost's.
int GetCollectCookies(const std::string& url, const std::string& cookie, std::string& page,
                      std::string& cookies, const HttpOptions& options = {},
                      const std::vector<std::string>& trustedOrigins = {});
// The same for a form posted as application/x-www-form-urlencoded (body as given).
int PostFormCollectCookies(const std::string& url, const std::string& body,
                           const std::string& cookie, std::string& page, std::string& cookies,
                           const HttpOptions& options = {},
                           const std::vector<std::string>& trustedOrigins = {});
// The Cookie header ("a=1; b=2") of a cookie string after the Set-Cookie values of an
// answer, as GetCollectCookies keeps it: a later value replaces an earlier one of the same
// name, an empty value removes it, and a cookie holding CR, LF or a zero byte is dropped.
std::string MergeCookies(const std::string& cookie, const std::vector<std::string>& setCookies);
// "scheme://host:port" of an address, lower case, the port always written; empty when
// the address does not parse.
std::string OriginOf(const std::string& url);

}  // namespace vt
