#include "base/hosts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <thread>
#include <vector>

#include "base/text.h"
#include "core/context.h"
#include "support/temp_app_dir.h"

using namespace vt;
using vt::testing::ReadAll;
using vt::testing::TempAppDir;
using vt::testing::WriteAll;

namespace {

const HostRole kBookstoreRoles[] = {HostRole::SourceSearch, HostRole::SourceCategory,
                                    HostRole::SourceProduct, HostRole::SourcePromo};
const HostRole kMarketRoles[] = {HostRole::MarketLogin,       HostRole::MarketUpload,
                                 HostRole::MarketSell,        HostRole::MarketTrade,
                                 HostRole::MarketAdvertising, HostRole::MarketMain,
                                 HostRole::MarketImageCdn};

}  // namespace

TEST(Hosts, HostNameKeepsTheRoleSchemeAndAnOriginBringsItsOwn) {
    struct Case {
        HostRole role;
        std::string value;
        std::string origin;
        std::string host;
    };
    const Case cases[] = {
        {HostRole::SourceSearch, "search.example.com", "http://search.example.com",
         "search.example.com"},
        {HostRole::MarketUpload, "upload.example.com", "https://upload.example.com",
         "upload.example.com"},
        {HostRole::MarketUpload, "upload.example.com:8443", "https://upload.example.com:8443",
         "upload.example.com:8443"},
        {HostRole::MarketSell, "http://127.0.0.1:18081", "http://127.0.0.1:18081",
         "127.0.0.1:18081"},
        {HostRole::SourceProduct, "https://127.0.0.1:9443", "https://127.0.0.1:9443",
         "127.0.0.1:9443"},
        // Scheme in capitals, a path after the host, blanks and quotes around the value.
        {HostRole::MarketImageCdn, "  HTTPS://Img.Example.com/imgextra/ ",
         "https://Img.Example.com", "Img.Example.com"},
        {HostRole::SourcePromo, "\"promo.example.com\"", "http://promo.example.com",
         "promo.example.com"},
    };
    for (const Case& c : cases) {
        Hosts hosts;
        ASSERT_TRUE(hosts.Set(c.role, c.value)) << c.value;
        EXPECT_EQ(hosts.Origin(c.role), c.origin) << c.value;
        EXPECT_EQ(hosts.Host(c.role), c.host) << c.value;
        EXPECT_EQ(hosts.Url(c.role, "/a?b=1"), c.origin + "/a?b=1") << c.value;
    }
}

TEST(Hosts, UnusableValuesAreRefusedAndChangeNothing) {
    for (const std::string value : {"", "   ", "ftp://files.example.com", "http://", "http:///x",
                                    "two words.com", "user@host.com", "\xD6\xD0\xCE\xC4.com"}) {
        Hosts hosts;
        ASSERT_TRUE(hosts.Set(HostRole::MarketUpload, "kept.example.com"));
        EXPECT_FALSE(hosts.Set(HostRole::MarketUpload, value)) << value;
        EXPECT_EQ(hosts.Host(HostRole::MarketUpload), "kept.example.com") << value;
    }
}

TEST(Hosts, UrlJoinsPaths) {
    Hosts hosts;
    ASSERT_TRUE(hosts.Set(HostRole::MarketUpload, "upload.example.com"));
    EXPECT_EQ(hosts.Url(HostRole::MarketUpload, "auction/sell.jhtml"),
              "https://upload.example.com/auction/sell.jhtml");
    EXPECT_EQ(hosts.Url(HostRole::MarketUpload, ""), "https://upload.example.com/");
}

// The marketplace carries the seller's cookie and password: every value of a
// marketplace role gives https, except an explicit http origin on this machine.
TEST(Hosts, MarketplaceRolesAreHttpsUnlessALoopbackStandIn) {
    struct Case {
        std::string value;
        std::string marketOrigin;  // empty: refused for a marketplace role
        std::string storeOrigin;   // what the same value gives a bookstore role
    };
    const Case cases[] = {
        {"upload.example.com", "https://upload.example.com", "http://upload.example.com"},
        {"upload.example.com:8443", "https://upload.example.com:8443",
         "http://upload.example.com:8443"},
        {"https://upload.example.com", "https://upload.example.com", "https://upload.example.com"},
        {"http://127.0.0.1:18081", "http://127.0.0.1:18081", "http://127.0.0.1:18081"},
        {"http://127.9.8.7:18081", "http://127.9.8.7:18081", "http://127.9.8.7:18081"},
        {"http://localhost:18081", "http://localhost:18081", "http://localhost:18081"},
        {"http://[::1]:18081", "http://[::1]:18081", "http://[::1]:18081"},
        {"http://upload.example.com", "", "http://upload.example.com"},
        {"HTTP://10.0.0.5:80", "", "http://10.0.0.5:80"},
        {"http://127.0.0.1.example.com", "", "http://127.0.0.1.example.com"},
        {"http://128.0.0.1", "", "http://128.0.0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Hosts hosts;
        for (HostRole role : kMarketRoles) {
            EXPECT_EQ(hosts.Set(role, c.value), !c.marketOrigin.empty()) << HostKey(role);
            EXPECT_EQ(hosts.Url(role, "/auction/sell.jhtml"),
                      (c.marketOrigin.empty() ? std::string("https://") : c.marketOrigin) +
                          "/auction/sell.jhtml")
                << HostKey(role);
        }
        for (HostRole role : kBookstoreRoles) {
            ASSERT_TRUE(hosts.Set(role, c.value)) << HostKey(role);
            EXPECT_EQ(hosts.Origin(role), c.storeOrigin) << HostKey(role);
        }
    }
}

TEST(Hosts, AnHttpMarketplaceOriginOffThisMachineIsAFileErrorNamingTheKey) {
    TempAppDir dir(false);
    const std::string path = dir.path() + "/Data/Hosts.ini";
    std::string text = "[HOSTS]\r\n";
    for (HostRole role : kBookstoreRoles)
        text += std::string(HostKey(role)) + "=store.example.com\r\n";
    for (HostRole role : kMarketRoles)
        text += std::string(HostKey(role)) + (role == HostRole::MarketSell
                                                  ? "=http://sell.example.com\r\n"
                                                  : "=market.example.com\r\n");
    WriteAll(dir.native() + "/Data/Hosts.ini", text);
    Hosts hosts;
    EXPECT_FALSE(hosts.Load(path));
    EXPECT_EQ(hosts.LoadProblem(),
              path +
                  ": MarketSell = http://sell.example.com is neither a host "
                  "name nor an https origin (http only for a loopback address)");
    EXPECT_EQ(hosts.Host(HostRole::MarketSell), "");
    EXPECT_EQ(hosts.Origin(HostRole::MarketUpload), "https://market.example.com");
}

TEST(LoopbackHost, OnlyThisMachine) {
    for (const char* host : {"127.0.0.1", "127.255.0.9", "localhost", "LocalHost", "::1"})
        EXPECT_TRUE(IsLoopbackHost(host)) << host;
    for (const char* host : {"", "127.0.0", "127.0.0.1.5", "127.0.0.256", "1127.0.0.1", "10.0.0.1",
                             "localhost.example.com", "::2", "127.0.0.1x"})
        EXPECT_FALSE(IsLoopbackHost(host)) << host;
    EXPECT_EQ(AuthorityHost("127.0.0.1:80"), "127.0.0.1");
    EXPECT_EQ(AuthorityHost("[::1]:8080"), "::1");
    EXPECT_EQ(AuthorityHost("example.com"), "example.com");
}

TEST(Hosts, WithoutAFileNoRoleHasAHostAndNoAddressCanBeFetched) {
    Hosts hosts;
    for (std::size_t i = 0; i < kHostRoleCount; ++i) {
        const auto role = static_cast<HostRole>(i);
        EXPECT_EQ(hosts.Host(role), "") << HostKey(role);
    }
    // No host in the address: nothing is looked up, whatever the path.
    EXPECT_EQ(hosts.Url(HostRole::MarketUpload, "/auction/sell.jhtml"),
              "https:///auction/sell.jhtml");
}

TEST(Hosts, LoadReadsTheHostsSectionIgnoringCaseAndNamesTheFirstBadKey) {
    TempAppDir dir(false);
    const std::string path = dir.path() + "/Data/Hosts.ini";
    WriteAll(dir.native() + "/Data/Hosts.ini",
             "; \xD6\xF7\xBB\xFA comment in GBK\r\n"
             "[OTHER]\r\n"
             "MarketSell=other-section.example.com\r\n"
             "[hosts]\r\n"
             "  marketupload = http://127.0.0.1:18081  \r\n"
             "SOURCESEARCH=search.example.com\n"  // a bare LF line end as well
             "MarketUpload=second-wins-not.example.com\r\n"
             "MarketTrade=ftp://refused.example.com\r\n"
             "UnknownKey=x.example.com\r\n"
             "# another comment\r\n");
    Hosts hosts;
    ASSERT_TRUE(hosts.Set(HostRole::MarketMain, "set-before-load.example.com"));
    EXPECT_FALSE(hosts.Load(path));
    EXPECT_EQ(hosts.Origin(HostRole::MarketUpload), "http://127.0.0.1:18081");
    EXPECT_EQ(hosts.Origin(HostRole::SourceSearch), "http://search.example.com");
    // Missing, refused and other-section keys leave their role without a host; so does a
    // value set before the load. Nothing falls back to a built-in name.
    for (HostRole role : {HostRole::MarketSell, HostRole::MarketTrade, HostRole::MarketMain,
                          HostRole::SourceProduct})
        EXPECT_EQ(hosts.Host(role), "") << HostKey(role);
    // The first role in the file's order of roles that is missing: SourceCategory.
    EXPECT_EQ(hosts.LoadProblem(), path + ": [HOSTS] has no value for SourceCategory");
}

TEST(Hosts, EachBadFileNamesTheFileAndTheKey) {
    TempAppDir dir(false);
    const std::string path = dir.path() + "/Data/Hosts.ini";
    std::string complete = "[HOSTS]\r\n";
    for (std::size_t i = 0; i < kHostRoleCount; ++i)
        complete += std::string(HostKey(static_cast<HostRole>(i))) + "=http://127.0.0.1:1\r\n";
    const struct {
        const char* name;
        std::string text;  // empty: no file at all
        std::string problem;
    } cases[] = {
        {"no file", "", path + " cannot be opened: every site's address is set there"},
        {"complete", complete, ""},
        {"one role missing", complete.substr(0, complete.find("MarketImageCdn")),
         path + ": [HOSTS] has no value for MarketImageCdn"},
        {"a value that is no host",
         std::regex_replace(complete, std::regex("MarketSell=[^\r]*"),
                            "MarketSell=ftp://x.example.com"),
         path + ": MarketSell = ftp://x.example.com is neither a host name nor an https origin "
                "(http only for a loopback address)"},
        {"a bookstore value that is no host",
         std::regex_replace(complete, std::regex("SourcePromo=[^\r]*"),
                            "SourcePromo=ftp://x.example.com"),
         path + ": SourcePromo = ftp://x.example.com is neither a host name nor an http(s) origin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(dir.native().append("/Data/Hosts.ini").c_str());
        if (!c.text.empty())
            WriteAll(dir.native() + "/Data/Hosts.ini", c.text);
        Hosts hosts;
        EXPECT_EQ(hosts.Load(path), c.problem.empty());
        EXPECT_EQ(hosts.LoadProblem(), c.problem);
    }
}

TEST(Hosts, MissingFileFailsAndKeepsTheValues) {
    TempAppDir dir(false);
    std::remove((dir.native() + "/Data/Hosts.ini").c_str());
    Hosts hosts;
    ASSERT_TRUE(hosts.Set(HostRole::MarketSell, "kept.example.com"));
    EXPECT_FALSE(hosts.Load(dir.path() + "/Data/Hosts.ini"));
    EXPECT_EQ(hosts.Host(HostRole::MarketSell), "kept.example.com");
}

TEST(Hosts, ShippedFileNamesTheRealSitesAndTestTreesNeverCarryIt) {
    const std::string native = std::string(VT_SOURCE_DATA_DIR) + "/Data/Hosts.ini";
    const std::string bytes = ReadAll(native);
    ASSERT_FALSE(bytes.empty());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_LT(static_cast<unsigned char>(bytes[i]), 0x80u) << "byte " << i;
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
    }
    // Parsed only; nothing is fetched.
    Hosts shipped;
    ASSERT_TRUE(shipped.Load(vt::Utf8ToGbk(native))) << shipped.LoadProblem();
    for (HostRole role : kBookstoreRoles) {
        EXPECT_EQ(shipped.Origin(role).rfind("http://", 0), 0u) << HostKey(role);
        EXPECT_NE(shipped.Host(role).find("vantrell.com"), std::string::npos) << HostKey(role);
    }
    for (HostRole role : kMarketRoles) {
        EXPECT_EQ(shipped.Origin(role).rfind("https://", 0), 0u) << HostKey(role);
        EXPECT_EQ(shipped.Host(role).find("127.0.0.1"), std::string::npos) << HostKey(role);
    }
    EXPECT_EQ(shipped.Host(HostRole::MarketUpload), "upload.taobao.com");

    // A test tree made from the shipped data points every role at a closed loopback port.
    TempAppDir dir;
    AppContext context(dir.path());
    EXPECT_EQ(context.hosts().LoadProblem(), "");
    for (std::size_t i = 0; i < kHostRoleCount; ++i) {
        const auto role = static_cast<HostRole>(i);
        EXPECT_EQ(context.hosts().Origin(role), vt::testing::kClosedLoopbackOrigin)
            << HostKey(role);
    }
}

TEST(Hosts, ContextWithoutTheFileHasNoHostsAndSaysWhy) {
    TempAppDir dir(false);
    std::remove((dir.native() + "/Data/Hosts.ini").c_str());
    AppContext context(dir.path());
    EXPECT_EQ(context.hosts().Host(HostRole::MarketUpload), "");
    EXPECT_NE(context.hosts().LoadProblem().find("/Data/Hosts.ini cannot be opened"),
              std::string::npos);
}

TEST(Hosts, ReadersSeeWholeValuesWhileAnotherThreadSets) {
    Hosts hosts;
    const std::string a = "http://127.0.0.1:18081";
    const std::string b = "sell.example.com";
    ASSERT_TRUE(hosts.Set(HostRole::MarketSell, a));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            while (!stop) {
                std::string url = hosts.Url(HostRole::MarketSell, "/x");
                if (url != a + "/x" && url != "https://" + b + "/x")
                    ++torn;
            }
        });
    for (int i = 0; i < 2000; ++i) hosts.Set(HostRole::MarketSell, i % 2 ? a : b);
    stop = true;
    for (auto& r : readers) r.join();
    EXPECT_EQ(torn, 0);
}
