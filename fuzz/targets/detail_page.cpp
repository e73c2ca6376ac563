// Every field read from a product page. Fields go into titles, descriptions and the
// databases, so none may carry a zero byte, and the cut ones keep their bounds.
#include "detail/detail_page.h"

#include "base/text.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"

namespace vt::fuzz {

namespace {

void Field(const std::string& value) {
    Require(!HasZeroByte(value), "an extracted field holds no zero byte");
}

}  // namespace

int FuzzDetailPage(const std::uint8_t* data, std::size_t size) {
    const DetailPage page{std::string(reinterpret_cast<const char*>(data), size)};
    Field(ExtractProductName(page));
    Field(ExtractMarketPrice(page));
    Field(ExtractSellPrice(page));
    Field(ExtractAuthor(page));
    Field(ExtractPressName(page));
    Field(ExtractPressDate(page));
    Field(ExtractIsbn(page));
    for (BookSection section :
         {BookSection::EditorRecommend, BookSection::Abstract, BookSection::AuthorRemark,
          BookSection::BookCatalog, BookSection::Preface, BookSection::MediaReview})
        Field(ExtractSection(page, section));
    const BookParams params = ExtractBookParams(page);
    for (const std::string* value : {&params.WordCount, &params.PageCount, &params.Edition,
                                     &params.Binding, &params.BookFormat})
        Field(*value);
    const std::string head = ExtractHeadTitle(page);
    Field(head);
    Require(head.size() <= 150, "the head title keeps to 150 bytes");
    // The cut never splits a character it made; a lone byte the page itself ends the
    // title with is kept as it is, so cutting again changes nothing.
    Require(GbkPrefix(head, 150) == head, "the head title is cut once, on a whole character");
    Field(ExtractMainImageUrl(page));
    const std::string note = ExtractBuyingNote(page);
    Field(note);
    HasBuyButton(page);
    Field(ExtractProductIds("product.vantrell.test", page.text));
    return 0;
}

}  // namespace vt::fuzz
