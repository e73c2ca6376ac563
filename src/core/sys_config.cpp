#include "core/sys_config.h"

namespace vt {

std::vector<FreightTemplate> SysConfig::FreightTemplates() const {
    std::lock_guard<std::mutex> l(mutex_);
    return freightTemplates_;
}

void SysConfig::SetFreightTemplates(std::vector<FreightTemplate> entries, int selected) {
    std::lock_guard<std::mutex> l(mutex_);
    freightTemplates_ = std::move(entries);
    selectedFreight_ = selected;
}

int SysConfig::SelectedFreightIndex() const {
    std::lock_guard<std::mutex> l(mutex_);
    return selectedFreight_;
}

void SysConfig::SelectFreightTemplate(int index) {
    std::lock_guard<std::mutex> l(mutex_);
    selectedFreight_ = index;
}

std::string SysConfig::SelectedFreightTemplate() const {
    std::lock_guard<std::mutex> l(mutex_);
    if (selectedFreight_ < 0 ||
        static_cast<std::size_t>(selectedFreight_) >= freightTemplates_.size())
        return {};
    return freightTemplates_[static_cast<std::size_t>(selectedFreight_)].value;
}

std::vector<Region> SysConfig::Regions() const {
    std::lock_guard<std::mutex> l(mutex_);
    return regions_;
}

void SysConfig::SetRegions(std::vector<Region> regions) {
    std::lock_guard<std::mutex> l(mutex_);
    regions_ = std::move(regions);
}

bool SysConfig::SetRegionTicked(std::size_t row, bool ticked) {
    std::lock_guard<std::mutex> l(mutex_);
    if (row >= regions_.size())
        return false;
    regions_[row].ticked = ticked;
    return true;
}

std::vector<std::string> SysConfig::TickedRegionCodes() const {
    std::lock_guard<std::mutex> l(mutex_);
    std::vector<std::string> codes;
    for (const Region& r : regions_)
        if (r.ticked)
            codes.push_back(r.code);
    return codes;
}

std::vector<CategoryMapping> SysConfig::CategoryMappings() const {
    std::lock_guard<std::mutex> l(mutex_);
    return categoryMappings_;
}

void SysConfig::SetCategoryMappings(std::vector<CategoryMapping> rows) {
    std::lock_guard<std::mutex> l(mutex_);
    categoryMappings_ = std::move(rows);
}

bool SysConfig::SetMappingShop(std::size_t row, std::string shop) {
    std::lock_guard<std::mutex> l(mutex_);
    if (row >= categoryMappings_.size())
        return false;
    categoryMappings_[row].shop = std::move(shop);
    return true;
}

std::vector<std::string> SysConfig::ShopCategoryNames() const {
    std::lock_guard<std::mutex> l(mutex_);
    return shopCategoryNames_;
}

void SysConfig::SetShopCategoryNames(std::vector<std::string> names) {
    std::lock_guard<std::mutex> l(mutex_);
    shopCategoryNames_ = std::move(names);
}

std::string SysConfig::ShopCategoryId(const std::string& name) const {
    std::lock_guard<std::mutex> l(mutex_);
    auto it = shopCategoryIds_.find(name);
    return it == shopCategoryIds_.end() ? std::string() : it->second;
}

void SysConfig::SetShopCategoryId(const std::string& name, std::string id) {
    std::lock_guard<std::mutex> l(mutex_);
    shopCategoryIds_[name] = std::move(id);
}

std::size_t SysConfig::ShopCategoryCount() const {
    std::lock_guard<std::mutex> l(mutex_);
    return shopCategoryIds_.size();
}

}  // namespace vt
