// The stand-in bookstore's stock: a catalogue generated from a seed, so that every run,
// test and benchmark sees the same books, categories and promotions. Besides ordinary
// books it holds a share of books with each page trait the collector has to cope with;
// `Book::Has` and `Catalog::FirstWith` make them findable.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vt::sim {

struct CatalogOptions {
    std::uint64_t seed = 20240601;
    int books = 3000;
    int pageSize = 60;  // books on one search, category or promotion page
};

// Page traits. A book carries at most one of them, so a test that picks a book by its
// trait sees nothing else unusual about it.
enum class Trait : int {
    NoDate,             // no publish date on the list or the product page
    NoListPrice,        // no list price anywhere
    NoSalePrice,        // no selling price anywhere
    NoIsbn,             // no "ISBN：" entry
    NoAuthor,           // no author link
    NoPicture,          // no main picture
    PngPicture,         // main picture is a PNG ("….png")
    UpperCaseJpg,       // main picture address ends ".JPG"
    ShortPictureName,   // picture named "1234567-1_w.jpg" (no trailing number)
    ShortBracket,       // title with a short bracket such as （上）
    LongBracket,        // title with a long bracket such as （第3版·修订本）
    BracketByteClash,   // the character before the opening bracket ends in a bracket byte
    ForbiddenInTitle,   // a word of ForbiddenWordSamples() in the title
    ForbiddenInAuthor,  // a word of ForbiddenWordSamples() in the author
    LongHeadTitle,      // head title over 150 bytes, a double-byte character across byte 150
    TwoIsbn,            // two "ISBN：" entries
    PartialCities,      // "仅支持部分城市购买"
    BackOrder,          // "暂时缺货，现在可以订购" (and no stock in any region)
    BuyingNote30,       // buying note of exactly 30 bytes once cleaned
    BuyingNote31,       // buying note of 31 bytes once cleaned
    RegionOutOfStock,   // out of stock in a few provinces (Book::outOfStockProvinces)
    NotSelfRun,         // not sold by the store itself ("Vantrell自营" absent)
    NoBuyButton,        // product page without a buy button
};
constexpr int kTraitCount = static_cast<int>(Trait::NoBuyButton) + 1;
const char* TraitName(Trait trait);

// The six text sections of a product page, in page order.
enum class Section : int { EditorRecommend, Abstract, AuthorRemark, Catalog, Preface, MediaReview };
constexpr int kSectionCount = 6;
// The section's heading as the product page shows it ("编辑推荐" …).
const char* SectionTitle(Section section);

struct Book {
    std::string id;      // product identifier (digits); the page is "/" + id + ".html"
    std::string title;   // as list and product pages show it
    std::string author;  // empty for NoAuthor
    std::string publisher;
    std::string listPrice;   // "89.00"; empty for NoListPrice
    std::string salePrice;   // "58.50"; empty for NoSalePrice
    std::string date;        // "2013-01-01"; empty for NoDate
    std::string isbn;        // ISBN-13; empty for NoIsbn
    std::string secondIsbn;  // only for TwoIsbn
    std::string headTitle;   // the selling-point line of the product page
    std::string picture;     // path of the main picture on the site; empty for NoPicture
    std::array<std::string, kSectionCount> sections;  // HTML; empty = section absent
    std::string wordCount, pageCount, edition, binding, format;
    std::string buyingNote;                        // text of the page's "Buying" item
    std::vector<std::string> outOfStockProvinces;  // province codes answering "nostock"
    std::string category;      // code of the lowest category, "01.05.02.00.00.00"
    int sales = 0;             // for the sales sort orders
    int score = 0;             // for the rating sort orders
    bool promo = false;        // list filter "促销"
    bool inStock = true;       // list filter "只看有货"
    bool clearance = false;    // list filter "尾品汇"
    bool preSale = false;      // list filter "预售"
    bool selfRun = true;       // list filter "Vantrell自营"
    bool mobilePrice = false;  // list filter "手机专享价"
    std::uint32_t traits = 0;

    bool Has(Trait t) const { return (traits >> static_cast<int>(t)) & 1u; }
    bool Plain() const { return traits == 0; }
    // Sale price in cents, 0 when the book has none.
    long SaleCents() const;
};

struct Category {
    std::string code;  // "01.05.00.00.00.00"
    std::string name;
    std::vector<Category> children;
    // Site path of the category's list page: "/cp" + code + ".html".
    std::string Path() const { return "/cp" + code + ".html"; }
};

struct Promotion {
    std::string path;  // "/subject/1001.html"
    std::string name;
    std::vector<std::string> ids;  // in page order; a few identifiers come twice
};

// The list filters a list address can switch on.
struct ListFilter {
    bool promo = false, inStock = false, clearance = false, preSale = false, selfRun = false,
         mobilePrice = false;
    bool Passes(const Book& book) const;
    bool Any() const { return promo || inStock || clearance || preSale || selfRun || mobilePrice; }
};

class Catalog {
public:
    explicit Catalog(CatalogOptions options = {});

    const CatalogOptions& options() const { return options_; }
    const std::vector<Book>& books() const { return books_; }
    // Top-level categories in the site's order; each holds its sub-categories.
    const std::vector<Category>& categories() const { return categories_; }
    const std::vector<Promotion>& promotions() const { return promotions_; }

    const Book* FindById(const std::string& id) const;
    const Category* FindCategory(const std::string& code) const;
    const Promotion* FindPromotion(const std::string& path) const;
    // First book (catalogue order) with the trait, or null.
    const Book* FirstWith(Trait trait) const;
    std::vector<const Book*> AllWith(Trait trait) const;
    // First book without any trait.
    const Book* FirstPlain() const;

    // Books whose title, author or publisher contains the keyword (whole GBK characters);
    // an empty keyword matches every book. Catalogue order.
    std::vector<const Book*> Search(const std::string& keyword) const;
    // Books filed under the category or any category below it. Catalogue order.
    std::vector<const Book*> InCategory(const std::string& code) const;

private:
    CatalogOptions options_;
    std::vector<Book> books_;
    std::vector<Category> categories_;
    std::vector<Promotion> promotions_;
};

// Orders books by one of the site's sort keys ("sort_sale_amt_desc", "sort_pubdate_asc",
// "sort_xlowprice_asc", "sort_score_desc" …). An unknown or empty key keeps the order.
// Ties keep catalogue order, so every ordering is deterministic.
void SortBooks(std::vector<const Book*>& books, const std::string& sortKey);

// The words the catalogue puts into titles and authors for the forbidden-word traits.
const std::vector<std::string>& ForbiddenWordSamples();
// Province codes the stock callback knows, with their names (two-digit division codes).
struct Province {
    std::string code;
    std::string name;
};
const std::vector<Province>& Provinces();
// The top-level book categories as (two-digit number, name), in the site's order: the
// same list the collector carries built in (it names 51 categories).
const std::vector<std::pair<std::string, std::string>>& TopCategoryList();

}  // namespace vt::sim
