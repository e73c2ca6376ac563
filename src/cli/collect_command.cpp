// "collect": a collection job from request to published items without any window. The
// request is set on the collection panel as a seller would set it, the job is started
// with "开始采集", and the command waits until the pipeline has drained.
#include <iostream>

#include "app/panel_actions.h"
#include "base/text.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/job_session.h"
#include "collect/category_fetch.h"

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
    bool noPublish = false;
};

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

int RunCollect(const CollectOptions& o) {
    auto ctx = MakeContext(o.common);
    std::vector<std::string> messages;
    ctx->SetMessageSink([&messages](const std::string& m) { messages.push_back(m); });
    auto failWithMessages = [&messages]() {
        std::string all;
        for (const auto& m : messages) all += (all.empty() ? "" : "\n") + m;
        return Fail(all.empty() ? std::string("未开始采集") : all);
    };

    // "from" and "to" are stored like the settings (for this run only).
    if (!o.from.empty())
        ctx->config().SetStartPageFrom(Gbk(o.from));
    if (!o.to.empty())
        ctx->config().SetCaiJiYeShu(Gbk(o.to));
    CollectionPanel& panel = ctx->panel();
    if (!o.sort.empty() && !panel.SelectSort(Gbk(o.sort)))
        return Fail("未知的排序方式：" + Gbk(o.sort));
    for (const std::string& caption : o.filters) {
        bool known = false;
        for (int i = 0; i < kListFilters; ++i) {
            auto filter = static_cast<ListFilter>(i);
            if (Gbk(caption) == ListFilterCaption(filter)) {
                panel.SetFilter(filter, true);
                known = true;
            }
        }
        if (!known)
            return Fail("未知的筛选条件：" + Gbk(caption));
    }

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
                return Fail("找不到类目：" + path);
            panel.tree().SetChecked(node, true);
        }
    }

    panel.SetPreviewOnly(o.noPublish);
    SellerLogin login;
    if (!login.List(*ctx, o.account))
        return 1;
    if (!PressStart(*ctx))
        return failWithMessages();
    for (const auto& m : messages) std::cerr << U8(m) << std::endl;
    RunOptions run;
    run.reportPath = o.report;
    run.login = &login;
    return RunJobToEnd(*ctx, run);
}

}  // namespace

void AddCollectCommand(CLI::App& app, Runner& run) {
    auto o = std::make_shared<CollectOptions>();
    auto* cmd = app.add_subcommand("collect", "Collect books and publish them to the shop");
    auto* mode = cmd->add_option_group("mode", "What to collect (one of them)");
    const std::pair<CLI::Option*, CollectMode> modes[] = {
        {mode->add_option("--title", o->title, "Book title keyword (按图书名称)"),
         CollectMode::Title},
        {mode->add_option("--author", o->author, "Author keyword (按作者)"), CollectMode::Author},
        {mode->add_option("--publisher", o->publisher, "Publisher keyword (按出版社)"),
         CollectMode::Publisher},
        {mode->add_option(
             "--category", o->category,
             "Categories by address or name, comma-separated; a lower one as TOP>NAME"),
         CollectMode::Category},
        {mode->add_option("--promo", o->promo, "Promotion page address (按活动地址采集)"),
         CollectMode::Promo}};
    mode->require_option(1);
    for (const auto& [option, value] : modes)
        option->each([o, value = value](const std::string&) { o->mode = value; });
    cmd->add_option("--sort", o->sort, "Sort order by its label (销售由高到低 …)");
    cmd->add_option("--filter", o->filters, "List filters by caption (Vantrell自营, 只看有货 …)");
    cmd->add_option("--from", o->from, "First list page");
    cmd->add_option("--to", o->to, "Last list page");
    cmd->add_option("--report", o->report, "Write the JSON report to this file");
    cmd->add_flag("--no-publish", o->noPublish,
                  "Preview: build every item and write the data files, publish nothing");
    AddAccountOptions(*cmd, o->account);
    AddCommonOptions(*cmd, o->common);
    cmd->callback([o, &run] { run = [o] { return RunCollect(*o); }; });
}

}  // namespace vt::cli
