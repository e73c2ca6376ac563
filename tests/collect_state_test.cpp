#include <gtest/gtest.h>

#include "collect/list_url.h"
#include "core/category_tree.h"
#include "core/collection_panel.h"

using namespace vt;

namespace {
ListFilterSet Only(std::initializer_list<ListFilter> on) {
    ListFilterSet set{};
    for (ListFilter f : on) set[static_cast<int>(f)] = true;
    return set;
}
}  // namespace

TEST(ListUrl, QueryAndPathForms) {
    const std::string host = "category.vantrell.com";
    struct Case {
        std::string address, sort;
        ListFilterSet filters;
        std::string expected;
    } cases[] = {
        {"http://search.vantrell.com/?key=abc&category_path=01.00.00.00.00.00", "价格由低到高",
         Only({ListFilter::CuXiao}),
         "http://search.vantrell.com/"
         "?key=abc&category_path=01.00.00.00.00.00&sort_type=sort_xlowprice_asc"
         "&filter=0%7C1%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C"},
        {"http://category.vantrell.com/cp01.05.00.00.00.00.html", "销售由高到低",
         Only({ListFilter::YuShou}),
         "http://category.vantrell.com/cp01.05.00.00.00.00-srsort_sale_amt_desc"
         "-f0%7C0%7C0%7C0%7C1%7C0%7C0%7C0%7C0.html"},
        // The path form has no place for the mobile and clearance filters.
        {"http://category.vantrell.com/cp01.05.00.00.00.00.html", "未知",
         Only({ListFilter::Moble, ListFilter::WeiPin}),
         "http://category.vantrell.com/"
         "cp01.05.00.00.00.00-f0%7C0%7C0%7C0%7C0%7C0%7C0%7C0%7C0.html"},
        // A category path without the host stays in the query form.
        {"/cp01.05.00.00.00.00.html", "好评由低到高", Only({ListFilter::VTZY, ListFilter::Moble}),
         "/cp01.05.00.00.00.00.html&sort_type=sort_score_asc&filter=0%7C0%7C0%7C0%7C0%7C1%7C1%7C0%"
         "7C0%7C0%7C0%7C"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildListUrl(c.address, c.sort, c.filters, host), c.expected) << c.address;
}

TEST(ListUrl, PageMarkerGoesInFrontOfTheFirstCp) {
    EXPECT_EQ(InsertPageMarker("/cp01.05.00.00.00.00.html", 3), "/pg3-cp01.05.00.00.00.00.html");
    EXPECT_EQ(InsertPageMarker("http://h/cp01.05.html", 0), "http://h/pg0-cp01.05.html");
    EXPECT_EQ(InsertPageMarker("list.html", 2), "pg2-list.html");
}

TEST(CategoryTree, CheckedNodesBecomeEntriesInTreeOrder) {
    CategoryTree tree;
    int lit = tree.AddRoot({"/cp01.05.00.00.00.00.html", " 文学 "});
    int poem = tree.AddChild(lit, {"/cp01.05.01.00.00.00.html", "诗歌"});
    int prose = tree.AddChild(lit, {"/cp01.05.02.00.00.00.html", "散文"});
    int kids = tree.AddRoot({"/cp01.41.00.00.00.00.html", " 童书 "});
    int pic = tree.AddChild(kids, {"/cp01.41.01.00.00.00.html", "绘本"});
    int deep = tree.AddChild(pic, {"/cp01.41.01.01.00.00.html", "图画书"});
    (void)prose;
    tree.SetChecked(lit, true);
    tree.SetChecked(poem, true);
    tree.SetChecked(deep, true);  // parent unchecked: still taken, with its parent's name

    auto entries = CollectCheckedCategories(tree);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Url, "/cp01.05.00.00.00.00.html");
    EXPECT_EQ(entries[0].Fenlei, " 文学 ");
    EXPECT_EQ(entries[1].Url, "/cp01.05.01.00.00.00.html");
    EXPECT_EQ(entries[1].Fenlei, " 文学 ");
    EXPECT_EQ(entries[2].Url, "/cp01.41.01.01.00.00.html");
    EXPECT_EQ(entries[2].Fenlei, "绘本");
    EXPECT_EQ(tree.FindByText("绘本"), pic);
}

TEST(CollectionPanel, OpensIdleAndStopIsTheStartButton) {
    CollectionPanel panel;
    EXPECT_EQ(panel.Mode(), CollectMode::None);
    EXPECT_EQ(panel.SortLabel(), "销售由高到低");
    EXPECT_TRUE(panel.StartEnabled());
    EXPECT_FALSE(panel.StopEnabled());
    EXPECT_TRUE(panel.JobStopped());
    panel.SetRunning();
    EXPECT_FALSE(panel.JobStopped());
    EXPECT_TRUE(panel.StopEnabled());
    panel.PressStop();
    EXPECT_TRUE(panel.JobStopped());
    EXPECT_TRUE(panel.SelectSort("好评由低到高"));
    EXPECT_FALSE(panel.SelectSort("随便"));
    EXPECT_EQ(panel.SortIndex(), 7);
}
