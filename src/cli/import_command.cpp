// "import-codes": the results panel's "导入编码" from a file of product codes, processed
// and published like a promotion job, until every code is done.
#include "app/results_panel.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/job_session.h"
#include "detail/detail_thread.h"

namespace vt::cli {
namespace {

struct ImportOptions {
    CommonOptions common;
    AccountOptions account;
    std::string file;
    std::string report;
};

int RunImport(const ImportOptions& o) {
    auto ctx = MakeContext(o.common);
    SellerLogin login;
    if (!login.List(*ctx, o.account))
        return 1;
    ResultsPanel results(*ctx);
    AppContext& c = *ctx;
    if (!results.ImportCodes(Gbk(o.file), [&c] { StartDetailThread(c, DetailVariant::FromPage); }))
        return Fail("无法读取编码文件：" + Gbk(o.file));
    RunOptions run;
    run.reportPath = o.report;
    run.login = &login;
    run.importJob = true;
    return RunJobToEnd(*ctx, run);
}

}  // namespace

void AddImportCommand(CLI::App& app, Runner& run) {
    auto o = std::make_shared<ImportOptions>();
    auto* cmd = app.add_subcommand("import-codes", "Import product codes and publish them");
    cmd->add_option("file", o->file, "Text file, one product code per line")->required();
    cmd->add_option("--report", o->report, "Write the JSON report to this file");
    AddAccountOptions(*cmd, o->account);
    AddCommonOptions(*cmd, o->common);
    cmd->callback([o, &run] { run = [o] { return RunImport(*o); }; });
}

}  // namespace vt::cli
