#include "detail/process_book.h"

#include <memory>
#include <string>

#include "base/text.h"
#include "core/book_types.h"
#include "core/context.h"
#include "detail/book_filters.h"
#include "detail/collected_append.h"
#include "detail/description.h"
#include "detail/detail_page.h"

namespace vt {
namespace {

void SetStatus(AppContext& ctx, RowRef row, const char* status) {
    ctx.toCollect().SetCell(row, kStatusCol, status);
}

// A dropped book keeps its row with the reason and is counted in its "过滤：" box.
bool Drop(AppContext& ctx, RowRef row, const char* status, CounterBox box) {
    SetStatus(ctx, row, status);
    CountFiltered(ctx, box);
    return false;
}

// A page the network lost says so: no filter counts it, and the book stays to be
// collected by a later job (it is neither published nor dropped for its content).
bool PageNotRead(AppContext& ctx, RowRef row, const DetailPage& page) {
    if (page.readError.empty())
        return false;
    ctx.toCollect().SetCell(row, kStatusCol, std::string(kPageReadFailed) + "：" + page.readError);
    ctx.log().WriteLog(std::string(kPageReadFailed) + "：" + ctx.toCollect().Cell(row, kMarkCol) +
                       "，" + page.readError);
    return true;
}

// The fields both variants read from the page once the checks on the book's identity
// have passed.
void ReadPageTexts(const DetailPage& page, O_BookInfo& book, BookParams& params) {
    book.BuyingNote = ExtractBuyingNote(page);
    book.EditorRecommend = ExtractSection(page, BookSection::EditorRecommend);
    book.Abstract = ExtractSection(page, BookSection::Abstract);
    book.AuthorRemark = ExtractSection(page, BookSection::AuthorRemark);
    book.BookCatalog = ExtractSection(page, BookSection::BookCatalog);
    book.Preface = ExtractSection(page, BookSection::Preface);
    book.MediaReview = ExtractSection(page, BookSection::MediaReview);
    params = ExtractBookParams(page);
}

}  // namespace

bool ProcessBookFromRow(AppContext& ctx, RowRef row) {
    if (!ctx.toCollect().Holds(row))
        return false;
    const ToCollectRow cells = ctx.toCollect().RowAt(row);
    const std::string& id = cells[kMarkCol];
    const std::string trimmedId = Trim(id);
    // A blank around the mark would otherwise end up in the address and lose the page.
    const DetailPage page = FetchDetailPage(ctx, trimmedId);
    auto book = std::make_unique<O_BookInfo>();

    if (id.empty()) {
        return Drop(ctx, row, "标志为空", CounterBox::CollectedFiltered);
    }
    book->OuterCode = id;
    if (ctx.db().IsPublished(trimmedId)) {
        CountFiltered(ctx, CounterBox::PendingFiltered);
        return false;
    }
    if (PageNotRead(ctx, row, page))
        return false;
    // The stock query writes its own status, if any.
    if (ctx.config().CheckStock() && !CheckStock(ctx, trimmedId, row)) {
        CountFiltered(ctx, CounterBox::CollectedFiltered);
        return false;
    }
    book->BookName = cells[kTitleCol];
    if (book->BookName.empty()) {
        return Drop(ctx, row, "书名为空", CounterBox::CollectedFiltered);
    }
    if (cells[kSellPriceCol].empty()) {
        return Drop(ctx, row, "售价为空", CounterBox::CollectedFiltered);
    }
    // The forbidden-word test leaves "过滤：" and the word as the status.
    if (CountIfForbidden(ctx, book->BookName, CounterBox::CollectedFiltered, row))
        return false;

    book->MarketPrice = cells[kListPriceCol];
    book->SellPrice = cells[kSellPriceCol];
    book->CanBuy = HasBuyButton(page);
    book->PressName = cells[kPublisherCol];
    book->PressDate = cells[kDateCol];
    book->ISBN = ExtractIsbn(page);
    book->HeadTitle = ExtractHeadTitle(page);
    if (book->ISBN.empty()) {
        return Drop(ctx, row, "ISBN为空", CounterBox::CollectedFiltered);
    }
    if (CountIfForbidden(ctx, book->ISBN, CounterBox::CollectedFiltered, row))
        return false;
    book->Author = cells[kAuthorCol];
    if (CountIfForbidden(ctx, book->Author, CounterBox::CollectedFiltered, row))
        return false;

    book->ProductId = id;
    BookParams params;
    ReadPageTexts(page, *book, params);
    BuildDescriptions(ctx, *book, params);
    if (book->Description.empty()) {
        return Drop(ctx, row, "内容为空", CounterBox::CollectedFiltered);
    }
    book->RemoteImageUrl = Trim(ExtractMainImageUrl(page));
    if (book->RemoteImageUrl.empty()) {
        return Drop(ctx, row, "主图为空", CounterBox::CollectedFiltered);
    }
    AddCollected(ctx, std::move(book));
    return true;
}

bool ProcessBookFromPage(AppContext& ctx, RowRef row) {
    if (!ctx.toCollect().Holds(row))
        return false;
    const std::string id = Trim(ctx.toCollect().Cell(row, kMarkCol));
    if (ctx.db().IsPublished(id)) {
        CountFiltered(ctx, CounterBox::PendingFiltered);
        return false;
    }
    const DetailPage page = FetchDetailPage(ctx, id);
    if (PageNotRead(ctx, row, page) || page.text.empty())
        return false;
    const std::string title = ExtractProductName(page);
    const std::string listPrice = ExtractMarketPrice(page);
    if (listPrice.empty()) {
        return Drop(ctx, row, "定价为空", CounterBox::PendingFiltered);
    }
    const std::string salePrice = ExtractSellPrice(page);
    if (salePrice.empty()) {
        return Drop(ctx, row, "售价为空", CounterBox::PendingFiltered);
    }
    const std::string author = ExtractAuthor(page);
    const std::string publisher = ExtractPressName(page);
    const std::string date = ExtractPressDate(page);
    const std::string& basisPrice =
        ctx.config().PriceRangeBasis() == kListPrice ? listPrice : salePrice;
    if (!PriceInRange(basisPrice, ctx.config().PriceRangeFrom(), ctx.config().PriceRangeTo())) {
        return Drop(ctx, row, "价格不在设置的价格区间", CounterBox::PendingFiltered);
    }

    auto book = std::make_unique<O_BookInfo>();
    if (id.empty()) {
        return Drop(ctx, row, "标志为空", CounterBox::CollectedFiltered);
    }
    book->OuterCode = id;
    if (ctx.config().CheckStock() && !CheckStock(ctx, id, row)) {
        return Drop(ctx, row, "无货", CounterBox::CollectedFiltered);
    }
    book->BookName = title;
    if (book->BookName.empty()) {
        return Drop(ctx, row, "书名为空", CounterBox::CollectedFiltered);
    }
    if (IsForbiddenText(ctx, book->BookName, row)) {
        return Drop(ctx, row, "有违禁词", CounterBox::CollectedFiltered);
    }

    book->MarketPrice = listPrice;
    book->SellPrice = salePrice;
    book->CanBuy = true;
    book->PressName = publisher;
    book->PressDate = date;
    book->ISBN = ExtractIsbn(page);
    book->HeadTitle = ExtractHeadTitle(page);
    if (book->ISBN.empty()) {
        return Drop(ctx, row, "ISBN为空", CounterBox::CollectedFiltered);
    }
    if (IsForbiddenText(ctx, book->ISBN, row)) {
        return Drop(ctx, row, "有禁止销售的ISBN", CounterBox::CollectedFiltered);
    }
    book->Author = author;
    if (IsForbiddenText(ctx, book->Author, row)) {
        return Drop(ctx, row, "作者在禁止销售列表内", CounterBox::CollectedFiltered);
    }

    book->ProductId = id;
    BookParams params;
    ReadPageTexts(page, *book, params);
    BuildDescriptions(ctx, *book, params);
    if (book->Description.empty()) {
        return Drop(ctx, row, "图书内容为空", CounterBox::CollectedFiltered);
    }
    book->RemoteImageUrl = ExtractMainImageUrl(page);
    if (book->RemoteImageUrl.empty()) {
        return Drop(ctx, row, "主图为空", CounterBox::CollectedFiltered);
    }
    AddCollected(ctx, std::move(book));
    return true;
}

}  // namespace vt
