// Reading one book's product page: the fetch, every field extractor, the buy button,
// the availability note, the product ids of a page, and the regional stock query.
// A missing match gives an empty value; nothing here reports an error by itself.
#pragma once

#include <string>

#include "core/work_lists.h"

namespace vt {

class AppContext;
class Pattern;

// The whole text of one product page (GBK), as the fetch returned it.
struct DetailPage {
    std::string text;
    // Why the page could not be read (the network or the server, after the retries);
    // empty when it was. A page that came but lacks a field is not a read failure.
    std::string readError = {};
};

// The status of a book whose product page could not be read, before the cause.
inline constexpr char kPageReadFailed[] = "页面读取失败";

// The book's print details (word count, page count, edition, binding, format): they
// only fill description placeholders.
struct BookParams {
    std::string WordCount;
    std::string PageCount;
    std::string Edition;
    std::string Binding;
    std::string BookFormat;
};

// The six text sections of a product page.
enum class BookSection {
    EditorRecommend,
    Abstract,
    AuthorRemark,
    BookCatalog,
    Preface,
    MediaReview
};
// The section's heading on the page ("编辑推荐" …).
const char* SectionHeading(BookSection section);

// The five print details.
enum class BookParam { WordCount, PageCount, Edition, Binding, BookFormat };

// "/" + id + ".html" on the product host, read with the store's options (retries);
// readError says when it could not be read.
DetailPage FetchDetailPage(AppContext& ctx, const std::string& id);

std::string ExtractProductName(const DetailPage& page);
std::string ExtractMarketPrice(const DetailPage& page);
std::string ExtractSellPrice(const DetailPage& page);
std::string ExtractAuthor(const DetailPage& page);
std::string ExtractPressName(const DetailPage& page);
std::string ExtractPressDate(const DetailPage& page);
// Every "ISBN：" value, joined by "\r\n".
std::string ExtractIsbn(const DetailPage& page);
// The section's HTML without its pictures and opening link tags.
std::string ExtractSection(const DetailPage& page, BookSection section);
std::string ExtractBookParam(const DetailPage& page, BookParam value);
BookParams ExtractBookParams(const DetailPage& page);
// At most 150 bytes, never ending inside a double-byte character.
std::string ExtractHeadTitle(const DetailPage& page);
std::string ExtractMainImageUrl(const DetailPage& page);
std::string ExtractBuyingNote(const DetailPage& page);
bool HasBuyButton(const DetailPage& page);

// Every product id linked on a page of the product host, each followed by "\r\n".
std::string ExtractProductIds(const std::string& productHost, const std::string& text);
std::string ExtractProductIds(AppContext& ctx, const std::string& text);
// The same with the links' pattern prepared once for many texts (a list page's items).
Pattern ProductLinkPattern(const std::string& productHost);
std::string ExtractProductIds(const Pattern& productLinks, const std::string& text);

// True when the book counts as in stock under the regional stock rule, asking the
// ticked regions of the settings in list order. Under the any-region-out rule a region
// out of stock writes id + "：缺货" into the row's status.
bool CheckStock(AppContext& ctx, const std::string& id, RowRef row);

}  // namespace vt
