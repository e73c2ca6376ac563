// The live settings record. The settings pages write it while worker threads read it,
// so every single field read or write is one locked step and getters return copies;
// no caller may rely on two fields being read together.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// The keys of Data/Setting.ini, in the order of the settings pages. The key name is the
// field name. B: check box (bool), T: edit text, R: two-button radio group (int).
#define VT_SYSCONFIG_KEYS(B, T, R) \
    B(PriceSet5P)                  \
    B(DirectSentP)                 \
    B(HasFapiaoP)                  \
    B(HasBaoXiuP)                  \
    B(DiscripToMobleP)             \
    R(MaidianShezhiP)              \
    T(DiyContentP)                 \
    T(StartPageFrom)               \
    T(CaiJiYeShu)                  \
    R(PaixiajiankucunP)            \
    B(VantrellZiShouP)             \
    B(RemoveLastKuoHaoP)           \
    B(CHKIsbnForPicName)           \
    B(CHKNeedNoPicBook)            \
    B(CHKNoPicBookData)            \
    B(CHKNoDownPic)                \
    B(CHKFiltData)                 \
    B(CHKTaobao)                   \
    B(CHKTaobao5)                  \
    B(CHKEcshop)                   \
    B(CHKShopex)                   \
    B(CHKExcel)                    \
    T(TitleQianzhuiP)              \
    T(TitleHouzhuiP)               \
    B(DiyTitleCheckP)              \
    T(DiyTitleContentP)            \
    T(TitleLengthP)                \
    T(BookStoreCountP)             \
    T(PrivinceP)                   \
    T(CityP)                       \
    T(PriceDazheP)                 \
    T(JiaJian)                     \
    R(JiaJianSign)                 \
    T(ShouJiaDiYu)                 \
    T(EditShouJiMoRen)             \
    T(EditShouJiaDiYu)             \
    T(ShouJiaMoRenZhe)             \
    R(YuanJiaDazheP)               \
    B(SolderBaoyouP)               \
    B(TopAddPicP)                  \
    B(FootAddPicP)                 \
    T(RetryCount)                  \
    T(SiteDownFailures)            \
    T(MaxPageKB)                   \
    T(MaxPictureKB)

// Settings held only in memory: unchecked, empty or at their first entry at start.
//   CheckStock        "检查有货没货"
//   CheckByOuterCode  "通过商家编码检查是否已经上传"
//   PriceRangeBasis   "采集价格范围": kListPrice "图书定价" / kSalePrice "售价"
//   PriceRangeFrom/To the "从" and "到" boxes of that group (yuan, as typed)
//   StockRule         kAnyRegionOutMeansOut "区域无货算无货…" / kOneRegionInMeansIn
//   "区域有货算有货…"
//   ForbiddenMarksText, ForbiddenPublishersText  the boxes of the marks and publishers
//                     editors, filled from Filter.db at start and saved only by their
//                     own buttons
#define VT_SYSCONFIG_MEMORY(B, T, R) \
    B(CheckStock)                    \
    B(CheckByOuterCode)              \
    R(PriceRangeBasis)               \
    T(PriceRangeFrom)                \
    T(PriceRangeTo)                  \
    R(StockRule)                     \
    T(ForbiddenMarksText)            \
    T(ForbiddenPublishersText)

// The text boxes kept in Data/File, in the order they are saved: the description
// prefix and suffix, the filter keywords (forbidden words), the forbidden books and the
// default content of empty description sections.
#define VT_SYSCONFIG_TEXT_LISTS(X) \
    X(PrefixText)                  \
    X(SuffixText)                  \
    X(ForbiddenWordsText)          \
    X(ForbiddenBooksText)          \
    X(DefaultContentText)

namespace vt {

// Radio group values. Every group is "first button = 0, second = 1"; kNoChoice is a
// group with neither button selected.
inline constexpr int kNoChoice = -1;
inline constexpr int kCustomSellingPoint = 0;     // MaidianShezhiP "使用自定义卖点"
inline constexpr int kCollectedSellingPoint = 1;  // MaidianShezhiP "使用采集卖点内容"
inline constexpr int kListPrice = 0;  // YuanJiaDazheP "原价", PriceRangeBasis "图书定价"
inline constexpr int kSalePrice = 1;  // YuanJiaDazheP "Vantrell售价", PriceRangeBasis "售价"
inline constexpr int kPlus = 0;       // JiaJianSign "+" (also any value but kMinus in the file)
inline constexpr int kMinus = 1;      // JiaJianSign "-"
inline constexpr int kAnyRegionOutMeansOut = 0;
inline constexpr int kOneRegionInMeansIn = 1;

// One entry of the freight template choice: the text shown and the value sent.
struct FreightTemplate {
    std::string text;
    std::string value;
    bool operator==(const FreightTemplate&) const = default;
};

// One row of the region list.
struct Region {
    std::string code;
    std::string name;
    bool ticked = false;
    bool operator==(const Region&) const = default;
};

// One row of the shop-category mapping list: source-site category, shop category name.
struct CategoryMapping {
    std::string source;
    std::string shop;
    bool operator==(const CategoryMapping&) const = default;
};

class SysConfig {
public:
    SysConfig() = default;
    SysConfig(const SysConfig&) = delete;
    SysConfig& operator=(const SysConfig&) = delete;

#define VT_BOOL_ACCESSORS(name)                \
    bool name() const {                        \
        std::lock_guard<std::mutex> l(mutex_); \
        return name##_;                        \
    }                                          \
    void Set##name(bool value) {               \
        std::lock_guard<std::mutex> l(mutex_); \
        name##_ = value;                       \
    }
#define VT_TEXT_ACCESSORS(name)                \
    std::string name() const {                 \
        std::lock_guard<std::mutex> l(mutex_); \
        return name##_;                        \
    }                                          \
    void Set##name(std::string value) {        \
        std::lock_guard<std::mutex> l(mutex_); \
        name##_ = std::move(value);            \
    }
#define VT_RADIO_ACCESSORS(name)               \
    int name() const {                         \
        std::lock_guard<std::mutex> l(mutex_); \
        return name##_;                        \
    }                                          \
    void Set##name(int value) {                \
        std::lock_guard<std::mutex> l(mutex_); \
        name##_ = value;                       \
    }
    VT_SYSCONFIG_KEYS(VT_BOOL_ACCESSORS, VT_TEXT_ACCESSORS, VT_RADIO_ACCESSORS)
    VT_SYSCONFIG_MEMORY(VT_BOOL_ACCESSORS, VT_TEXT_ACCESSORS, VT_RADIO_ACCESSORS)
    VT_SYSCONFIG_TEXT_LISTS(VT_TEXT_ACCESSORS)
#undef VT_BOOL_ACCESSORS
#undef VT_TEXT_ACCESSORS
#undef VT_RADIO_ACCESSORS

    // Freight template choice: filled by the freight loader, not saved.
    std::vector<FreightTemplate> FreightTemplates() const;
    // Replaces the entries and selects one (kNoChoice or an out-of-range index: none).
    void SetFreightTemplates(std::vector<FreightTemplate> entries, int selected);
    int SelectedFreightIndex() const;
    void SelectFreightTemplate(int index);
    // The value of the selected entry; empty when none is selected.
    std::string SelectedFreightTemplate() const;

    // Region list, in list order.
    std::vector<Region> Regions() const;
    void SetRegions(std::vector<Region> regions);
    // False when there is no such row.
    bool SetRegionTicked(std::size_t row, bool ticked);
    // The codes of the ticked rows, in list order.
    std::vector<std::string> TickedRegionCodes() const;

    // Shop-category mapping list, top row first (the order the page shows).
    std::vector<CategoryMapping> CategoryMappings() const;
    void SetCategoryMappings(std::vector<CategoryMapping> rows);
    // Sets the shop category of one row; false when there is no such row.
    bool SetMappingShop(std::size_t row, std::string shop);

    // The seller's shop categories, read from the shop (not saved): the names offered by
    // the mapping list's drop-down, and the id of each name seen in this run.
    std::vector<std::string> ShopCategoryNames() const;
    void SetShopCategoryNames(std::vector<std::string> names);
    // Empty when the name is unknown.
    std::string ShopCategoryId(const std::string& name) const;
    void SetShopCategoryId(const std::string& name, std::string id);
    std::size_t ShopCategoryCount() const;

private:
    mutable std::mutex mutex_;

#define VT_BOOL_FIELD(name) bool name##_ = false;
#define VT_TEXT_FIELD(name) std::string name##_;
#define VT_RADIO_FIELD(name) int name##_ = 0;
    VT_SYSCONFIG_KEYS(VT_BOOL_FIELD, VT_TEXT_FIELD, VT_RADIO_FIELD)
    VT_SYSCONFIG_MEMORY(VT_BOOL_FIELD, VT_TEXT_FIELD, VT_RADIO_FIELD)
    VT_SYSCONFIG_TEXT_LISTS(VT_TEXT_FIELD)
#undef VT_BOOL_FIELD
#undef VT_TEXT_FIELD
#undef VT_RADIO_FIELD

    std::vector<FreightTemplate> freightTemplates_;
    int selectedFreight_ = kNoChoice;
    std::vector<Region> regions_;
    std::vector<CategoryMapping> categoryMappings_;
    std::vector<std::string> shopCategoryNames_;
    std::map<std::string, std::string> shopCategoryIds_;
};

}  // namespace vt
