// The category tree: the home page's top-level block, sub-category blocks, the built-in
// list, and a node's children read once, against the stand-in bookstore on 127.0.0.1.
#include <gtest/gtest.h>

#include "base/files.h"
#include "collect/category_fetch.h"
#include "core/category_tree.h"
#include "sim/catalog.h"
#include "support/local_sites.h"

using namespace vt;
using vt::testing::LocalSites;
using vt::testing::U8;

TEST(CategoryFetch, BuiltInListIsTheSitesTopLevelWithBlanksAroundNames) {
    const auto list = BuiltInTopCategories();
    const auto& site = sim::TopCategoryList();
    ASSERT_EQ(list.size(), site.size());
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].Url, "/cp01.05.00.00.00.00.html");
    EXPECT_EQ(list[0].Text, " 文学 ");
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].Url, "/cp01." + site[i].first + ".00.00.00.00.html") << i;
        EXPECT_EQ(list[i].Text, " " + site[i].second + " ") << U8(list[i].Text);
        EXPECT_FALSE(list[i].ChildrenLoaded);
    }
}

TEST(CategoryFetch, BlockExtractionKeepsTheLastNonEmptyBlock) {
    vt::testing::TempAppDir dir(false);
    Log log(dir.path() + "/Log");
    const std::string twoBlocks =
        "<div name=\"C1\"><a href=\"/cp01.05.01.00.00.00.html\" title=\"诗歌\">诗歌</a></div>"
        "<div name=\"C1\"><a href=\"/cp01.05.02.00.00.00.html\" title=\"散文\">散文</a>"
        "<a class=\"x\" href=\"/cp01.05.03.00.00.00.html\" target=\"_blank\" title=\"小品\">小品"
        "</a></div>";
    auto sub = ReadCategoryPage(twoBlocks, false, log);
    ASSERT_EQ(sub.size(), 2u);
    EXPECT_EQ(sub[0].Url, "/cp01.05.02.00.00.00.html");
    EXPECT_EQ(sub[0].Text, "散文");
    EXPECT_EQ(sub[1].Text, "小品");

    // Without a C1 block the sub-category list is read; its pattern wants exactly one blank
    // between the address and the title.
    const std::string list =
        "<ul id=\"category_subcontent_list\"><li><a href=\"/cp01.05.02.01.00.00.html\" "
        "title=\"现代散文\">现代散文</a></li><li><a href=\"/cp01.05.02.02.00.00.html\"  "
        "title=\"古代散文\">古代散文</a></li></ul>";
    sub = ReadCategoryPage(list, false, log);
    ASSERT_EQ(sub.size(), 1u);
    EXPECT_EQ(sub[0].Text, "现代散文");

    EXPECT_TRUE(ReadCategoryPage("<html>nothing here</html>", false, log).empty());
    // A home page without the book block gives no categories (the built-in list is only
    // for patterns that cannot be used).
    EXPECT_TRUE(ReadCategoryPage("", true, log).empty());
    EXPECT_TRUE(ReadCategoryPage(twoBlocks, true, log).empty());
}

TEST(CategoryFetch, AnItemWithoutAddressGivesAnEmptyRecord) {
    auto list =
        ExtractCategories("<a href=\"\" title=\"空\"></a><a href=\"/cp1.html\" title=\"有\">",
                          "<a.+?href=\"(?<URL>[^< ]*)\".*?title=\"(?<Text>.+?)\"");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Url, "");
    EXPECT_EQ(list[0].Text, "");
    EXPECT_EQ(list[1].Url, "/cp1.html");
    EXPECT_EQ(list[1].Text, "有");
}

class CategorySiteTest : public ::testing::Test {
protected:
    LocalSites sites;
    AppContext& ctx = sites.ctx();
};

TEST_F(CategorySiteTest, HomePageGivesTheTopLevelCategoriesInPageOrder) {
    CategoryTree& tree = ctx.panel().tree();
    LoadTopCategories(ctx, tree);
    const auto& tops = sites.store().catalog().categories();
    const auto roots = tree.Roots();
    ASSERT_EQ(roots.size(), tops.size());
    for (std::size_t i = 0; i < roots.size(); ++i) {
        EXPECT_EQ(tree.Info(roots[i]).Text, tops[i].name);
        EXPECT_EQ(tree.Info(roots[i]).Url, sites.store().origin() + tops[i].Path());
    }
    // The home page is asked for by the category host's address.
    EXPECT_EQ(sites.StoreTargets(kCategoryHomePath).size(), 1u);
}

TEST_F(CategorySiteTest, ANodesChildrenAreFetchedOnceAndAPathGetsTheCategoryHost) {
    CategoryTree& tree = ctx.panel().tree();
    const VTCateInfo literature = BuiltInTopCategories().at(0);
    const int node = tree.AddRoot(literature);

    ExpandCategory(ctx, tree, node);
    ExpandCategory(ctx, tree, node);

    EXPECT_EQ(sites.StoreTargets("/cp01.05.00.00.00.00.html").size(), 1u);
    const auto* top = sites.store().catalog().FindCategory("01.05.00.00.00.00");
    ASSERT_NE(top, nullptr);
    const auto children = tree.Children(node);
    ASSERT_EQ(children.size(), top->children.size());
    for (std::size_t i = 0; i < children.size(); ++i)
        EXPECT_EQ(tree.Info(children[i]).Text, top->children[i].name);
    EXPECT_TRUE(tree.Info(node).ChildrenLoaded);
    EXPECT_TRUE(tree.Enabled());
}

TEST_F(CategorySiteTest, AnUnreachablePageLeavesTheNodeLoadedWithoutChildren) {
    sites.store().Stop();
    CategoryTree& tree = ctx.panel().tree();
    LoadTopCategories(ctx, tree);
    EXPECT_EQ(tree.Count(), 0);

    const int node = tree.AddRoot({"/cp01.41.00.00.00.00.html", " 童书 "});
    ExpandCategory(ctx, tree, node);
    EXPECT_TRUE(tree.Children(node).empty());
    EXPECT_TRUE(tree.Info(node).ChildrenLoaded);
    EXPECT_TRUE(tree.Enabled());
}
