// vantrell-cli's login and price commands, run as built, against an in-process
// marketplace stand-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/hosts.h"
#include "base/ini_file.h"
#include "base/text.h"
#include "core/session.h"
#include "core/settings_store.h"
#include "support/child_process.h"
#include "support/market_stage.h"

using namespace vt;
using namespace vt::testing;

namespace {

// The stage's tree with its Hosts.ini pointing every marketplace role at the stand-in.
void PointHostsAtStandIn(MarketStage& stage) {
    std::string ini = "[HOSTS]\r\n";
    for (const char* key : {"SourceSearch", "SourceCategory", "SourceProduct", "SourcePromo"})
        ini += std::string(key) + "=" + kClosedLoopbackOrigin + "\r\n";
    for (const char* key : {"MarketLogin", "MarketUpload", "MarketSell", "MarketTrade",
                            "MarketAdvertising", "MarketMain", "MarketImageCdn"})
        ini += std::string(key) + "=" + stage.market().origin() + "\r\n";
    WriteAll(stage.dir().native() + "/Data/Hosts.ini", ini);
}

std::string TitleLine(const char* state) {
    return GbkToUtf8(std::string(kDefaultApplicationTitle) + kTitleStateSeparator + state) + "\n";
}

TEST(LoginCommand, PrintsTheAccountStateAndExitsByIt) {
    MarketStage stage;
    ASSERT_TRUE(stage.started());
    PointHostsAtStandIn(stage);
    const std::string good = stage.dir().native() + "/good.txt";
    const std::string bad = stage.dir().native() + "/bad.txt";
    WriteAll(good, std::string(MarketStage::kDemoPassword) + "\r\n");
    WriteAll(bad, "guess\n");

    const struct {
        std::string passwordFile;
        int exitCode;
        std::string out;
    } cases[] = {
        {good, 0, TitleLine(kStateLoggedIn)},
        {bad, 1, TitleLine(kStateLoginFailed)},
        {stage.dir().native() + "/none.txt", 2, ""},
    };
    for (const auto& c : cases) {
        RunResult r = RunProgram(BinPath("vantrell-cli"),
                                 {"login", "--nick", MarketStage::kDemoNick, "--password-file",
                                  c.passwordFile, "--app-dir", stage.dir().native()});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.passwordFile << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << c.passwordFile;
    }
    EXPECT_EQ(stage.RequestsTo("/login").size(), 2u);
}

TEST(PriceCommand, PrintsThePriceOfTheSavedSettings) {
    MarketStage stage;
    const std::string dir = stage.dir().native();
    auto price = [&](const std::string& listPrice, const std::string& sitePrice) {
        return RunProgram(BinPath("vantrell-cli"), {"price", "--market-price", listPrice,
                                                    "--sell-price", sitePrice, "--app-dir", dir});
    };
    // The shipped settings: the site price as it is, never below 5 yuan.
    EXPECT_EQ(price("39.80", "20.00").out, "20.00\n");
    EXPECT_EQ(price("39.80", "3.20").out, "5.00\n");

    AppContext& ctx = stage.ctx();
    LoadSettings(ctx);
    ctx.config().SetYuanJiaDazheP(kListPrice);
    ctx.config().SetPriceDazheP("8");
    ASSERT_TRUE(SaveSettings(ctx).ok);
    RunResult r = price("39.80", "20.00");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "31.84\n");

    // Settings for this run only, and how the price came about on standard error.
    const struct {
        std::vector<std::string> sets;
        std::string listPrice, out, why;
    } runs[] = {
        {{"PriceDazheP=7.5"}, "19.90", "14.92\n", "discount: PriceDazheP 7.5 tenths -> 14.92"},
        {{"PriceDazheP=8.5"}, "20.70", "17.60\n", "base: the list price (YuanJiaDazheP=list)"},
        {{"JiaJianSign=-", "JiaJian=2"}, "39.80", "29.84\n", "adjustment: - JiaJian 2 -> 29.84"},
        {{"PriceDazheP=3", "EditShouJiaDiYu=5", "ShouJiaMoRenZhe=6"},
         "50.00",
         "30.00\n",
         "ratio floor: below EditShouJiaDiYu 5 tenths of the base, so ShouJiaMoRenZhe 6"},
        {{"PriceDazheP=3", "EditShouJiaDiYu=3", "ShouJiaMoRenZhe=6"},
         "10.00",
         "6.00\n",
         "ratio floor: below EditShouJiaDiYu 3 tenths of the base, so ShouJiaMoRenZhe 6"},
        {{"PriceDazheP=1", "PriceSet5P=false"},
         "20.00",
         "2.00\n",
         "price floor: off (PriceSet5P=false)"},
    };
    for (const auto& c : runs) {
        std::vector<std::string> args = {"price", "--market-price", c.listPrice, "--app-dir", dir};
        for (const std::string& set : c.sets) args.insert(args.end(), {"--set", set});
        const RunResult run = RunProgram(BinPath("vantrell-cli"), args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, c.out) << c.sets.front();
        EXPECT_NE(run.err.find(c.why), std::string::npos) << run.err;
    }
    // Nothing of it was saved.
    EXPECT_EQ(price("39.80", "20.00").out, "31.84\n");

    // A discount no seller can mean: the default (no discount) is used, and said. One that
    // is not a plain number counts as the number it starts with, and that is said too;
    // --set reads its value the same way.
    const struct {
        const char* file;
        std::vector<std::string> sets;
        const char* out;
        const char* said;
    } discounts[] = {
        {"150", {}, "39.80\n", "设置项 PriceDazheP 的值 \"150\" 无效，已改用默认值 10\n"},
        {"8.5折", {}, "33.83\n", "设置项 PriceDazheP 的值 \"8.5折\" 不是纯数字，按 8.5 使用\n"},
        {"12", {}, "47.76\n", ""},
        {"10",
         {"PriceDazheP=7折"},
         "27.86\n",
         "设置项 PriceDazheP 的值 \"7折\" 不是纯数字，按 7 使用\n"},
    };
    for (const auto& d : discounts) {
        ASSERT_TRUE(
            WriteProfileString(ctx.SettingsPath(), kSettingsSection, "PriceDazheP", d.file));
        std::vector<std::string> args = {"price", "--market-price", "39.80", "--sell-price",
                                         "20.00", "--app-dir",      dir};
        for (const std::string& set : d.sets) args.insert(args.end(), {"--set", GbkToUtf8(set)});
        r = RunProgram(BinPath("vantrell-cli"), args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, d.out) << d.file;
        if (*d.said)
            EXPECT_EQ(r.err.rfind(GbkToUtf8(d.said), 0), 0u) << r.err;
        else
            EXPECT_EQ(r.err.find(GbkToUtf8("设置项")), std::string::npos) << r.err;
    }
    // On the command line a value that would be refused is a usage error.
    r = RunProgram(BinPath("vantrell-cli"), {"price", "--market-price", "39.80", "--set",
                                             "PriceDazheP=-3", "--app-dir", dir});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out, "");

    ASSERT_TRUE(WriteProfileString(ctx.SettingsPath(), kSettingsSection, "PriceDazheP", "8"));
    r = price(" ", "20.00");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, GbkToUtf8("价格为空，上传失败") + "\n");
}

}  // namespace
