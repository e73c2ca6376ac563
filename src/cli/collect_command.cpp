// "collect": a collection job from request to published items without any window. The
// request is set on the collection panel as a seller would set it, the job is started
// with "开始采集", and the command waits until the pipeline has drained.
#include <iostream>

#include "app/panel_actions.h"
#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/input_checks.h"
#include "cli/job_session.h"
#include "cli/list_aliases.h"
#include "cli/setting_overrides.h"
#include "cli/site_probe.h"
#include "collect/category_fetch.h"
#include "collect/list_crawlers.h"

namespace vt::cli {
namespace {

struct CollectOptions {
    CommonOptions common;
    AccountOptions account;
    std::string title, author, publisher, category, promo;
    CollectMode mode = CollectMode::None;  // the mode option given (its text may be empty)
    std::string sort;
    std::vector<std::string> filters;
    std::string from, to;
    std::string report;
    int pacingMs = -1;
    std::vector<std::string> sets;
    bool noPublish = false;
};

constexpr long kMaxPage = 10000;

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        std::string part = Trim(text.substr(pos, comma - pos));
        if (!part.empty())
            parts.push_back(part);
        pos = comma + 1;
    }
    return parts;
}

// A node of the tree by its address or its name. A top-level category is looked up
// among the roots; a lower one is named "top>lower" (or found by its address among the
// children of the opened top-level nodes).
int FindCategory(AppContext& ctx, const std::string& path) {
    CategoryTree& tree = ctx.panel().tree();
    auto match = [&](int node, const std::string& want) {
        VTCateInfo info = tree.Info(node);
        return info.Url == want || Trim(info.Text) == want;
    };
    std::size_t arrow = path.find('>');
    std::string top = Trim(path.substr(0, arrow));
    for (int root : tree.Roots()) {
        if (arrow == std::string::npos && match(root, top))
            return root;
        if (arrow != std::string::npos && match(root, top)) {
            OpenCategoryNode(ctx, root);
            std::string lower = Trim(path.substr(arrow + 1));
            for (int child : tree.Children(root))
                if (match(child, lower))
                    return child;
            return CategoryTree::kNoNode;
        }
    }
    // An address of a lower category: open the top-level nodes until it shows up.
    if (arrow == std::string::npos && path.find('/') != std::string::npos) {
        for (int root : tree.Roots()) {
            OpenCategoryNode(ctx, root);
            for (int child : tree.Children(root))
                if (match(child, top))
                    return child;
        }
    }
    return CategoryTree::kNoNode;
}

// What a request says before anything is fetched; empty when it can start.
std::string CheckRequest(const CollectOptions& o, long& from, long& to) {
    std::string problem = CheckAccountOptions(o.account, true);
    if (problem.empty() && !o.report.empty())
        problem = CheckReportPath(o.report);
    if (problem.empty())
        problem = CheckSettingOverrides(o.sets, o.account.Given());
    if (problem.empty() && o.mode == CollectMode::Category && SplitCommas(o.category).empty())
        problem = "--category names no category (inspect categories lists them)";
    if (problem.empty() && o.mode == CollectMode::Promo)
        problem = CheckHttpAddress("--promo", o.promo);
    if (problem.empty() && !o.from.empty())
        problem = CheckWholeNumber("--from", o.from, 0, kMaxPage, from);
    if (problem.empty() && !o.to.empty())
        problem = CheckWholeNumber("--to", o.to, 0, kMaxPage, to);
    if (problem.empty() && !o.sort.empty() && SortLabelOf(o.sort).empty())
        problem = "unknown --sort \"" + o.sort + "\"; one of: " + SortChoices();
    for (const std::string& f : o.filters) {
        ListFilter filter;
        if (problem.empty() && !FindFilter(f, filter))
            problem = "unknown --filter \"" + f + "\"; one of: " + FilterChoices();
    }
    return problem;
}

// The bookstore role a mode's list pages come from.
HostRole ListRole(CollectMode mode) {
    switch (mode) {
        case CollectMode::Category:
            return HostRole::SourceCategory;
        case CollectMode::Promo:
            return HostRole::SourcePromo;
        default:
            return HostRole::SourceSearch;
    }
}

int RunCollect(const CollectOptions& o) {
    long from = 0, to = 0;
    const std::string problem = CheckRequest(o, from, to);
    if (!problem.empty())
        return Error(problem, kExitUsage);
    int code = kExitOk;
    auto ctx = MakeContext(o.common, code);
    if (!ctx)
        return code;
    std::vector<std::string> messages;
    ctx->SetMessageSink([&messages](const std::string& m) { messages.push_back(m); });
    auto refusal = [&messages]() {
        std::string all;
        for (const auto& m : messages) all += (all.empty() ? "" : "; ") + U8(m);
        return Error(all.empty() ? std::string("the job did not start") : all, kExitUsage);
    };

    ApplySettingOverrides(*ctx, o.sets);
    // "from" and "to" are stored like the settings (for this run only); what is not
    // given comes from Setting.ini, and the two must make a range.
    if (!o.from.empty())
        ctx->config().SetStartPageFrom(std::to_string(from));
    if (!o.to.empty())
        ctx->config().SetCaiJiYeShu(std::to_string(to));
    // A page setting reads as the number it starts with, as the job reads it; one that is
    // not a plain number has been reported at start.
    const std::string fromText = U8(ctx->config().StartPageFrom());
    const std::string toText = U8(ctx->config().CaiJiYeShu());
    if (o.mode != CollectMode::Promo && FromPageSetting(*ctx) > ToPageSetting(*ctx))
        return Error("the first page " + fromText + " comes after the last page " + toText +
                         " (--from must not exceed --to)",
                     kExitUsage);
    CollectionPanel& panel = ctx->panel();
    if (!o.sort.empty())
        panel.SelectSort(SortLabelOf(o.sort));
    for (const std::string& caption : o.filters) {
        ListFilter filter;
        if (FindFilter(caption, filter))
            panel.SetFilter(filter, true);
    }

    SellerLogin login;
    if (const int code =
            ReachSitesAndLogIn(*ctx,
                               {ListRole(o.mode), HostRole::SourceProduct, HostRole::MarketLogin,
                                HostRole::MarketUpload, HostRole::MarketSell},
                               login, o.account, o.sets);
        code != kExitOk)
        return code;

    // The mode button and its input box, as the seller would set them; an empty input
    // is left to the job start, which names what is missing.
    const std::pair<CollectInput, const std::string*> inputs[] = {
        {CollectInput::Title, &o.title},
        {CollectInput::Author, &o.author},
        {CollectInput::Publisher, &o.publisher},
        {CollectInput::PromoAddress, &o.promo}};
    ChooseMode(*ctx, o.mode);
    for (const auto& [input, text] : inputs) panel.SetInput(input, Gbk(*text));
    if (o.mode == CollectMode::Category) {
        for (const std::string& path : SplitCommas(Gbk(o.category))) {
            int node = FindCategory(*ctx, path);
            if (node == CategoryTree::kNoNode)
                return Error("no category \"" + U8(path) +
                                 "\"; inspect categories [NAME] lists them (a lower one as "
                                 "TOP>NAME)",
                             kExitUsage);
            panel.tree().SetChecked(node, true);
        }
    }

    ApplyPacing(*ctx, o.pacingMs);
    if (o.mode == CollectMode::Promo)
        std::cerr << "collecting the promotion page " << o.promo << "\n";
    else
        std::cerr << "collecting list pages " << fromText << " to " << toText
                  << ((o.from.empty() || o.to.empty()) ? " (defaults from Data/Setting.ini)" : "")
                  << "\n";
    std::cerr << "upload pacing: " << ctx->publishing().PublishPacingMs()
              << " ms per upload and account" << std::endl;
    panel.SetPreviewOnly(o.noPublish);
    KeepRecordsOnlyForDataFiles(*ctx);
    if (!PressStart(*ctx))
        return refusal();
    for (const auto& m : messages) std::cerr << U8(m) << std::endl;
    RunOptions run;
    run.command = "collect";
    run.reportPath = o.report;
    run.login = &login;
    run.roles = {ListRole(o.mode), HostRole::SourceProduct, HostRole::MarketUpload,
                 HostRole::MarketSell};
    return RunJobToEnd(*ctx, run);
}

}  // namespace

void AddCollectCommand(CLI::App& app, Runner& run) {
    auto o = std::make_shared<CollectOptions>();
    auto* cmd = app.add_subcommand("collect", "Collect books and publish them to the shop");
    auto* mode = cmd->add_option_group("mode", "What to collect (one of them)");
    const std::pair<CLI::Option*, CollectMode> modes[] = {
        {mode->add_option("--title", o->title, "Book title keyword (" + U8("按图书名称") + ")"),
         CollectMode::Title},
        {mode->add_option("--author", o->author, "Author keyword (" + U8("按作者") + ")"),
         CollectMode::Author},
        {mode->add_option("--publisher", o->publisher,
                          "Publisher keyword (" + U8("按出版社") + ")"),
         CollectMode::Publisher},
        {mode->add_option("--category", o->category,
                          "Categories by address or name, comma-separated; a lower one as TOP>NAME "
                          "(inspect categories lists them)"),
         CollectMode::Category},
        {mode->add_option("--promo", o->promo,
                          "Promotion page address, http(s) (" + U8("按活动地址采集") + ")"),
         CollectMode::Promo}};
    mode->require_option(1);
    for (const auto& [option, value] : modes)
        option->each([o, value = value](const std::string&) { o->mode = value; });
    cmd->add_option("--sort", o->sort, "Sort order by alias or label: " + SortChoices());
    cmd->add_option("--filter", o->filters,
                    "List filter by alias or caption, repeatable: " + FilterChoices());
    cmd->add_option("--from", o->from,
                    "First list page, 0 to 10000 (a keyword job skips page 0; default: "
                    "StartPageFrom of Setting.ini)");
    cmd->add_option("--to", o->to, "Last list page (default: CaiJiYeShu of Setting.ini)");
    cmd->add_option("--report", o->report,
                    "Write the JSON report to this file (\"-\": standard output)");
    AddPacingOption(*cmd, o->pacingMs);
    AddSetOption(*cmd, o->sets);
    cmd->add_flag("--no-publish", o->noPublish,
                  "Preview: build every item and write the data files, publish nothing");
    AddAccountOptions(*cmd, o->account);
    AddCommonOptions(*cmd, o->common);
    cmd->callback([o, &run] { run = [o] { return RunCollect(*o); }; });
}

}  // namespace vt::cli
