#include "base/hosts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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

TEST(Hosts, UrlJoinsPathsAndCanOpenABareHostOverHttp) {
    Hosts hosts;
    ASSERT_TRUE(hosts.Set(HostRole::MarketUpload, "upload.example.com"));
    EXPECT_EQ(hosts.Url(HostRole::MarketUpload, "auction/sell.jhtml"),
              "https://upload.example.com/auction/sell.jhtml");
    EXPECT_EQ(hosts.Url(HostRole::MarketUpload, ""), "https://upload.example.com/");
    // Some seller pages are opened over http; the scheme applies to a bare host only.
    EXPECT_EQ(hosts.Url(HostRole::MarketUpload, "/auction/sell.jhtml", "http"),
              "http://upload.example.com/auction/sell.jhtml");
    ASSERT_TRUE(hosts.Set(HostRole::MarketUpload, "https://127.0.0.1:9443"));
    EXPECT_EQ(hosts.Url(HostRole::MarketUpload, "/auction/sell.jhtml", "http"),
              "https://127.0.0.1:9443/auction/sell.jhtml");
}

TEST(Hosts, DefaultsAreRealHostsWithEachSideScheme) {
    Hosts hosts;
    for (HostRole role : kBookstoreRoles) {
        EXPECT_EQ(hosts.Origin(role).rfind("http://", 0), 0u) << HostKey(role);
        EXPECT_NE(hosts.Host(role).find("vantrell"), std::string::npos) << HostKey(role);
    }
    for (HostRole role : kMarketRoles) {
        EXPECT_EQ(hosts.Origin(role).rfind("https://", 0), 0u) << HostKey(role);
        EXPECT_EQ(hosts.Host(role).find("127.0.0.1"), std::string::npos) << HostKey(role);
        EXPECT_NE(hosts.Host(role).find('.'), std::string::npos) << HostKey(role);
    }
    EXPECT_EQ(hosts.Host(HostRole::MarketUpload), "upload.taobao.com");
}

TEST(Hosts, LoadReadsTheHostsSectionIgnoringCase) {
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
    ASSERT_TRUE(hosts.Load(path));
    EXPECT_EQ(hosts.Origin(HostRole::MarketUpload), "http://127.0.0.1:18081");
    EXPECT_EQ(hosts.Origin(HostRole::SourceSearch), "http://search.example.com");
    // Missing, refused and other-section keys fall back to the defaults, and so does a
    // value set before the load.
    Hosts defaults;
    for (HostRole role : {HostRole::MarketSell, HostRole::MarketTrade, HostRole::MarketMain,
                          HostRole::SourceProduct})
        EXPECT_EQ(hosts.Origin(role), defaults.Origin(role)) << HostKey(role);
}

TEST(Hosts, MissingFileFailsAndKeepsTheValues) {
    TempAppDir dir(false);
    Hosts hosts;
    ASSERT_TRUE(hosts.Set(HostRole::MarketSell, "kept.example.com"));
    EXPECT_FALSE(hosts.Load(dir.path() + "/Data/Hosts.ini"));
    EXPECT_EQ(hosts.Host(HostRole::MarketSell), "kept.example.com");
}

TEST(Hosts, ShippedFilePointsEveryRoleAtTheStandIns) {
    const std::string native = std::string(VT_SOURCE_DATA_DIR) + "/Data/Hosts.ini";
    const std::string bytes = ReadAll(native);
    ASSERT_FALSE(bytes.empty());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_LT(static_cast<unsigned char>(bytes[i]), 0x80u) << "byte " << i;
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at byte " << i;
        }
    }

    TempAppDir dir;  // the installed tree, as the program finds it
    AppContext context(dir.path());
    for (HostRole role : kBookstoreRoles)
        EXPECT_EQ(context.hosts().Origin(role), "http://127.0.0.1:18080") << HostKey(role);
    for (HostRole role : kMarketRoles)
        EXPECT_EQ(context.hosts().Origin(role), "http://127.0.0.1:18081") << HostKey(role);
}

TEST(Hosts, ContextWithoutTheFileUsesTheDefaults) {
    TempAppDir dir(false);
    AppContext context(dir.path());
    EXPECT_EQ(context.hosts().Origin(HostRole::MarketUpload), "https://upload.taobao.com");
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
