// "vantrell-sim demo": the whole system on the stand-ins, in one process: the stand-in bookstore
// and marketplace start on free ports of 127.0.0.1, the demo account logs in, a title job runs over
// two list pages, and the shop's new items are shown.
#include "sim/demo_command.h"

#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/panel_actions.h"
#include "app/startup.h"
#include "base/files.h"
#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/job_session.h"
#include "core/publish_state.h"
#include "market/cookie_sources.h"
#include "market/login_checks.h"
#include "sim/bookstore_sim.h"
#include "sim/market_sim.h"

namespace fs = std::filesystem;

namespace vt::cli {
namespace {

struct DemoOptions {
    std::string dir;  // UTF-8; default: "demo-run" beside the executable
    std::string keyword = "\xE4\xB8\xAD\xE5\x9B\xBD";  // UTF-8 as typed (the default is 中国)
    int pacingMs = 200;
    std::string report;
    bool preview = false;
};

constexpr const char* kDemoMark = ".vantrell-demo";

// Whether the folder may be wiped: it does not exist, is empty, or holds only what an
// earlier demo made there (its mark and the four folders of a tree). A folder holding
// anything else is the seller's, and is left alone.
bool DemoMayWipe(const fs::path& dir, std::string& why) {
    std::error_code ec;
    if (!fs::exists(dir, ec))
        return true;
    if (!fs::is_directory(dir, ec)) {
        why = dir.string() + " is a file, not a folder";
        return false;
    }
    const bool empty = fs::is_empty(dir, ec);
    if (empty)
        return true;
    if (!fs::exists(dir / kDemoMark, ec)) {
        why = dir.string() + " is not empty and was not made by the demo";
        return false;
    }
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name != kDemoMark && name != "Data" && name != "DataBase" && name != "Log" &&
            name != "images") {
            why = dir.string() + " holds " + name + ", which the demo did not make";
            return false;
        }
    }
    return true;
}

// A fresh installed tree for the demo, so that it never touches the seller's own
// databases and every run publishes from an empty record. Its Hosts.ini names the
// stand-ins, never the real sites of the shipped one.
bool PrepareTree(const fs::path& dir, const fs::path& installed, const std::string& store,
                 const std::string& market) {
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
    std::ofstream(dir / kDemoMark) << "made by vantrell-sim demo; wiped by the next one\n";
    fs::copy(installed / "Data", dir / "Data", fs::copy_options::recursive, ec);
    if (ec)
        return false;
    for (const char* sub : {"DataBase", "Log", "images"}) fs::create_directories(dir / sub, ec);
    std::ofstream hosts(dir / "Data/Hosts.ini", std::ios::binary | std::ios::trunc);
    hosts << "[HOSTS]\r\n";
    for (std::size_t i = 0; i < kHostRoleCount; ++i) {
        auto role = static_cast<HostRole>(i);
        hosts << HostKey(role) << "=" << (role <= HostRole::SourcePromo ? store : market) << "\r\n";
    }
    hosts.close();
    return !ec && hosts;
}

int RunDemo(const DemoOptions& o) {
    const fs::path installed = GbkToUtf8(AppDir());
    const fs::path dir = o.dir.empty() ? installed / "demo-run" : fs::path(o.dir);
    if (o.pacingMs < 0 || o.pacingMs > 60000)
        return Error("--pacing-ms must be from 0 to 60000", kExitUsage);
    std::string why;
    if (!DemoMayWipe(dir, why))
        return Error("demo --dir " + why + "; give an empty or new folder", kExitUsage);

    sim::BookstoreSim bookstore;
    sim::MarketSim market;
    if (!bookstore.Start("127.0.0.1", 0) || !market.Start("127.0.0.1", 0))
        return Fail("无法启动模拟站点");
    if (!PrepareTree(dir, installed, bookstore.origin(), market.origin()))
        return Fail("无法准备演示目录：" + Gbk(dir.string()));
    std::cout << "stand-in bookstore   " << bookstore.origin() << "\n"
              << "stand-in marketplace " << market.origin() << "\n";

    AppContext ctx(Utf8ToGbk(fs::absolute(dir).string()));
    StartUp(ctx);
    // The stand-in has no rate limit; the product keeps its three seconds per upload.
    ctx.publishing().SetPublishPacingMs(o.pacingMs);
    std::cout << "publishing pacing shortened for the demo: " << o.pacingMs
              << " ms per upload and thread (the product paces 3000 ms)\n";

    PasswordLogin login(ctx.hosts(), "vantrell_demo", "demo123");
    if (ConfirmMultiLogin(ctx, login) != MultiLoginOutcome::Added)
        return Fail("演示账户登录失败");
    std::cout << U8(ctx.session().Title()) << "\n";

    std::vector<std::string> messages;
    ctx.SetMessageSink([&messages](const std::string& m) { messages.push_back(m); });
    ctx.config().SetStartPageFrom("1");
    ctx.config().SetCaiJiYeShu("2");
    ChooseMode(ctx, CollectMode::Title);
    ctx.panel().SetInput(CollectInput::Title, Gbk(o.keyword));
    if (o.preview) {
        // Every data file, books without a picture apart: what the seller looks at before
        // publishing.
        ctx.panel().SetPreviewOnly(true);
        SysConfig& cfg = ctx.config();
        cfg.SetCHKTaobao(true);
        cfg.SetCHKTaobao5(true);
        cfg.SetCHKEcshop(true);
        cfg.SetCHKShopex(true);
        cfg.SetCHKExcel(true);
        cfg.SetCHKNoPicBookData(true);
        std::cout << "preview: every item is built and written to the data files, none published\n";
    }
    std::cout << "title job \"" << o.keyword << "\", list pages 1 to 2\n" << std::flush;
    if (!PressStart(ctx)) {
        for (const auto& m : messages) std::cerr << U8(m) << "\n";
        return 1;
    }
    RunOptions run;
    run.command = "demo";
    run.reportPath = o.report;
    run.roles = {HostRole::SourceSearch, HostRole::SourceProduct, HostRole::MarketUpload};
    int code = RunJobToEnd(ctx, run);

    auto items = market.Items();
    std::cout << "\nthe stand-in shop now holds " << items.size() << " items:\n";
    for (const auto& item : items)
        std::cout << "  " << item.outerCode << "  " << U8(item.price) << "  category "
                  << item.categoryId << "  " << U8(item.title) << "\n";
    // The job's summary said where the log, databases and pictures went; the data files
    // lie among the pictures.
    std::error_code ec;
    const fs::path day = fs::absolute(dir) / "images" / GbkToUtf8(DayFolderName());
    for (const auto& entry : fs::directory_iterator(day, ec))
        if (entry.is_regular_file() && entry.path().extension() != ".JPG")
            std::cout << "data file: " << entry.path().string() << "\n";
    return code;
}

}  // namespace

void AddDemoCommand(CLI::App& app, Runner& run) {
    auto o = std::make_shared<DemoOptions>();
    auto* cmd = app.add_subcommand("demo", "Run a title job against the stand-ins, in-process");
    cmd->add_option("--dir", o->dir,
                    "Folder for the demo's installed tree (new, empty, or an earlier demo's)");
    cmd->add_option("--keyword", o->keyword, "Title keyword");
    cmd->add_option("--pacing-ms", o->pacingMs, "Publishing pacing per upload for the demo");
    cmd->add_option("--report", o->report, "Write the JSON report to this file");
    cmd->add_flag("--preview", o->preview,
                  "Build every item and write every data file, publish nothing");
    cmd->callback([o, &run] { run = [o] { return RunDemo(*o); }; });
}

}  // namespace vt::cli
