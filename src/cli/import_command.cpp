// "import-codes": the results panel's "导入编码" from a file of product codes, processed
// and published like a promotion job, until every code is done.
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <iterator>

#include "app/results_panel.h"
#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/input_checks.h"
#include "cli/job_session.h"
#include "cli/setting_overrides.h"
#include "cli/site_probe.h"
#include "detail/detail_thread.h"

namespace vt::cli {
namespace {

struct ImportOptions {
    CommonOptions common;
    AccountOptions account;
    std::string file;
    std::string report;
    int pacingMs = -1;
    std::vector<std::string> sets;
};

// The codes file without its blank lines, which would only become rows dropped as
// "标志为空", and without the byte order mark an editor puts in front, which would stick
// to the first code.
std::string WithoutBlankLines(const std::string& bytes, int& codes) {
    static const std::string kBom = "\xEF\xBB\xBF";
    const bool bom = bytes.rfind(kBom, 0) == 0;
    std::string out;
    codes = 0;
    std::size_t pos = bom ? kBom.size() : 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!Trim(line).empty()) {
            out += line + "\r\n";
            ++codes;
        }
        pos = end + 1;
    }
    return out;
}

// A private copy of the cleaned codes, removed when the command ends.
class CodesCopy {
public:
    bool Write(const std::string& bytes) {
        char pattern[] = "/tmp/vantrell-codes-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd < 0)
            return false;
        close(fd);
        path_ = pattern;
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << bytes;
        return static_cast<bool>(out);
    }
    ~CodesCopy() {
        if (!path_.empty())
            unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int RunImport(const ImportOptions& o) {
    std::string problem = CheckAccountOptions(o.account, true);
    if (problem.empty())
        problem = CheckReadableFile("codes file", o.file);
    if (problem.empty() && !o.report.empty())
        problem = CheckReportPath(o.report);
    if (problem.empty())
        problem = CheckSettingOverrides(o.sets, o.account.Given());
    if (!problem.empty())
        return Error(problem, kExitUsage);
    std::ifstream in(o.file, std::ios::binary);
    int codes = 0;
    const std::string cleaned = WithoutBlankLines(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), codes);
    if (codes == 0)
        return Error("codes file " + o.file + " holds no product codes", kExitUsage);
    CodesCopy copy;
    if (!copy.Write(cleaned))
        return Error("the codes could not be copied to a temporary file", kExitFailure);

    int code = kExitOk;
    auto ctx = MakeContextWithSettings(o.common, o.sets, code);
    if (!ctx)
        return code;
    SellerLogin login;
    if (const int code = ReachSitesAndLogIn(*ctx,
                                            {HostRole::SourceProduct, HostRole::MarketLogin,
                                             HostRole::MarketUpload, HostRole::MarketSell},
                                            login, o.account, o.sets);
        code != kExitOk)
        return code;
    ApplyPacing(*ctx, o.pacingMs);
    std::cerr << "importing " << codes << " codes; upload pacing "
              << ctx->publishing().PublishPacingMs() << " ms per upload" << std::endl;
    KeepRecordsOnlyForDataFiles(*ctx);
    ResultsPanel results(*ctx);
    AppContext& c = *ctx;
    if (!results.ImportCodes(Gbk(copy.path()),
                             [&c] { StartDetailThread(c, DetailVariant::FromPage); }))
        return Error("the codes file " + o.file + " could not be read", kExitUsage);
    RunOptions run;
    run.command = "import-codes";
    run.reportPath = o.report;
    run.login = &login;
    run.importJob = true;
    run.roles = {HostRole::SourceProduct, HostRole::MarketUpload, HostRole::MarketSell};
    return RunJobToEnd(*ctx, run);
}

}  // namespace

void AddImportCommand(CLI::App& app, Runner& run) {
    auto o = std::make_shared<ImportOptions>();
    auto* cmd = app.add_subcommand("import-codes", "Import product codes and publish them");
    cmd->add_option("file", o->file,
                    "Text file, one product code per line (blank lines skipped, UTF-8 or GBK)")
        ->required();
    cmd->add_option("--report", o->report,
                    "Write the JSON report to this file (\"-\": standard output)");
    AddPacingOption(*cmd, o->pacingMs);
    AddSetOption(*cmd, o->sets);
    AddAccountOptions(*cmd, o->account);
    AddCommonOptions(*cmd, o->common);
    cmd->callback([o, &run] { run = [o] { return RunImport(*o); }; });
}

}  // namespace vt::cli
