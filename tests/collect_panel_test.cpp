// The collection panel's controls: mode buttons and the category tree, the start
// command's checks and messages, stop.
#include <gtest/gtest.h>

#include "app/collect_job_start.h"
#include "app/panel_actions.h"
#include "app/startup.h"
#include "base/encoders.h"
#include "core/context.h"
#include "support/local_sites.h"

using namespace vt;
using vt::testing::LocalSites;
using vt::testing::U8;
using vt::testing::WaitUntil;

namespace {

class PanelTest : public ::testing::Test {
protected:
    PanelTest() : ctx(sites.ctx()) {
        ctx.SetMessageSink([this](const std::string& m) { messages.push_back(m); });
    }
    std::vector<bool> InputsEnabled() {
        CollectionPanel& p = ctx.panel();
        return {p.InputEnabled(CollectInput::Title), p.InputEnabled(CollectInput::Author),
                p.InputEnabled(CollectInput::Publisher),
                p.InputEnabled(CollectInput::PromoAddress)};
    }

    LocalSites sites;
    AppContext& ctx;
    std::vector<std::string> messages;
};

}  // namespace

TEST_F(PanelTest, ModeButtonsEnableTheirInputAndEmptyOrReloadTheTree) {
    CategoryTree& tree = ctx.panel().tree();
    const std::size_t tops = sites.store().catalog().categories().size();

    ChooseMode(ctx, CollectMode::Category);
    EXPECT_EQ(InputsEnabled(), (std::vector<bool>{false, false, false, false}));
    EXPECT_TRUE(tree.Enabled());
    ASSERT_EQ(tree.Roots().size(), tops);
    OpenCategoryNode(ctx, tree.Roots()[0]);
    EXPECT_GT(tree.Count(), static_cast<int>(tops));

    struct Case {
        CollectMode mode;
        std::vector<bool> inputs;
    } cases[] = {
        {CollectMode::Title, {true, false, false, false}},
        {CollectMode::Author, {false, true, false, false}},
        {CollectMode::Publisher, {false, false, true, false}},
        {CollectMode::Promo, {false, false, false, true}},
    };
    for (const auto& c : cases) {
        ChooseMode(ctx, c.mode);
        EXPECT_EQ(ctx.panel().Mode(), c.mode);
        EXPECT_EQ(InputsEnabled(), c.inputs) << static_cast<int>(c.mode);
        EXPECT_EQ(tree.Count(), 0);
        EXPECT_FALSE(tree.Enabled());
    }

    // Back to the categories: the top level again, the sub-categories read before are gone.
    ChooseMode(ctx, CollectMode::Category);
    EXPECT_EQ(tree.Count(), static_cast<int>(tops));
    EXPECT_FALSE(tree.Info(tree.Roots()[0]).ChildrenLoaded);
}

TEST_F(PanelTest, StartChecksTheModesInputAndTheLogin) {
    struct Case {
        CollectMode mode;
        const char* title;
        const char* author;
        const char* promo;
        const char* message;
    } cases[] = {
        {CollectMode::Title, "", "", "", "图书名不能为空！"},
        {CollectMode::Author, "算法导论", "", "", "作者不能为空！"},
        {CollectMode::Publisher, "算法导论", "佚名", "", "出版社不能为空！"},
        {CollectMode::Promo, "", "", "", "活动地址不能为空哦！"},
        // Nobody listed in the multi-login panel.
        {CollectMode::Title, "算法导论", "", "", "未登录，请先在多开页面登录，然后再点开始采集。"},
        {CollectMode::Category, "", "", "", "未登录，请先在多开页面登录，然后再点开始采集。"},
        {CollectMode::Promo, "", "", "/subject/1001.html",
         "未登录，请先在多开页面登录，然后再点开始采集。"},
    };
    for (const auto& c : cases) {
        messages.clear();
        ctx.panel().SetMode(c.mode);
        ctx.panel().SetInput(CollectInput::Title, c.title);
        ctx.panel().SetInput(CollectInput::Author, c.author);
        ctx.panel().SetInput(CollectInput::PromoAddress, c.promo);
        EXPECT_FALSE(PressStart(ctx));
        EXPECT_EQ(messages, (std::vector<std::string>{c.message})) << U8(c.message);
        EXPECT_TRUE(ctx.panel().StartEnabled());
        EXPECT_EQ(ctx.workers().Launched(), 0u);
    }
}

TEST_F(PanelTest, TitleModeEmptiesBothListsEvenWhenTheLoginCheckFails) {
    ToCollectRow row{};
    row[kMarkCol] = "1";
    ctx.toCollect().Append(row);
    ctx.collected().Append(CollectedRow{});
    ctx.counters().SetNumber(CounterBox::ToCollect, 1);

    ctx.panel().SetMode(CollectMode::Author);
    ctx.panel().SetInput(CollectInput::Author, "鲁迅");
    EXPECT_FALSE(PressStart(ctx));
    EXPECT_EQ(ctx.toCollect().Count(), 1);  // only the title mode empties
    EXPECT_EQ(ctx.collected().Count(), 1);

    ctx.panel().SetMode(CollectMode::Title);
    ctx.panel().SetInput(CollectInput::Title, "呐喊");
    EXPECT_FALSE(PressStart(ctx));
    EXPECT_EQ(ctx.toCollect().Count(), 0);
    EXPECT_EQ(ctx.collected().Count(), 0);
    EXPECT_EQ(ctx.counters().Text(CounterBox::ToCollect), "");
}

TEST_F(PanelTest, NoModeOrARunningJobMakesStartDoNothing) {
    EXPECT_FALSE(PressStart(ctx));
    ctx.panel().SetMode(CollectMode::Title);
    ctx.panel().SetRunning();
    EXPECT_FALSE(PressStart(ctx));  // the start button is disabled
    EXPECT_TRUE(messages.empty());

    PressStop(ctx);
    EXPECT_TRUE(ctx.panel().StartEnabled());
    EXPECT_FALSE(ctx.panel().StopEnabled());
    EXPECT_TRUE(ctx.panel().JobStopped());
}

TEST_F(PanelTest, AJobStartsWithTheModesOwnInputAndANewOneWaitsForTheStoppedOne) {
    std::vector<std::pair<int, bool>> publisherStarts;
    ctx.stages().startPublishers = [&](int count, bool importVariant) {
        publisherStarts.emplace_back(count, importVariant);
    };
    ctx.session().AddAccount("tracknick=shop");
    ctx.config().SetCHKFiltData(true);
    ctx.config().SetStartPageFrom("1");
    ctx.config().SetCaiJiYeShu("2");

    // The author mode searches for the author, whatever the title box holds.
    const std::string author = sites.store().catalog().books().front().author;
    ctx.panel().SetInput(CollectInput::Title, "算法导论");
    ctx.panel().SetInput(CollectInput::Author, author);
    ChooseMode(ctx, CollectMode::Author);
    ASSERT_TRUE(PressStart(ctx));
    EXPECT_FALSE(ctx.panel().StartEnabled());
    EXPECT_TRUE(ctx.panel().StopEnabled());
    EXPECT_FALSE(PressStart(ctx));  // no second job while this one runs
    ASSERT_TRUE(WaitUntil([&] { return ctx.job().RunningListThreads == 0; }));
    EXPECT_EQ(sites.StoreTargets("key=" + UrlEncodeAnsi(author) + "&").size(), 3u);
    EXPECT_TRUE(sites.StoreTargets("key=" + UrlEncodeAnsi("算法导论")).empty());
    EXPECT_EQ(ctx.workers().Launched(), static_cast<std::size_t>(kKeywordCrawlers + 1));
    EXPECT_GT(ctx.toCollect().Count(), 0);

    // Stop, then a promotion job: the old workers are waited for and the crawl is reset.
    PressStop(ctx);
    ctx.panel().SetInput(CollectInput::PromoAddress, sites.store().origin() + "/subject/1003.html");
    ChooseMode(ctx, CollectMode::Promo);
    ASSERT_TRUE(PressStart(ctx));
    ASSERT_TRUE(WaitUntil([&] { return ctx.job().RunningListThreads == 0; }));
    EXPECT_EQ(ctx.workers().Launched(), static_cast<std::size_t>(kPromoCrawlers + 1));
    EXPECT_EQ(sites.StoreTargets("/subject/1003.html?page_index=").size(), 2u);
    EXPECT_EQ(ctx.toCollect().Cell(0, kNumberCol), "");  // promotion rows hold the id only
    EXPECT_EQ(publisherStarts, (std::vector<std::pair<int, bool>>{{1, false}, {1, false}}));
    EXPECT_TRUE(messages.empty());
    PressStop(ctx);
}

TEST_F(PanelTest, AfterStartUpAJobAlsoStartsItsPublishingThread) {
    StartUp(ctx);
    ctx.session().AddAccount("tracknick=shop");
    ctx.config().SetStartPageFrom("1");
    ctx.config().SetCaiJiYeShu("1");
    ctx.panel().SetInput(CollectInput::PromoAddress, sites.store().origin() + "/subject/1003.html");
    ChooseMode(ctx, CollectMode::Promo);
    ASSERT_TRUE(PressStart(ctx));
    // Ten crawlers, the detail thread and one publishing thread.
    EXPECT_EQ(ctx.workers().Launched(), static_cast<std::size_t>(kPromoCrawlers + 2));
    PressStop(ctx);
    ctx.workers().JoinAll();
}
