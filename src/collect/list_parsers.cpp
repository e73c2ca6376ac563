#include "collect/list_parsers.h"

#include <optional>
#include <thread>

#include "base/bounded_lock.h"
#include "base/regex_ops.h"
#include "base/text.h"
#include "core/context.h"
#include "detail/book_filters.h"
#include "detail/detail_page.h"
#include "market/on_sale_check.h"

namespace vt {
namespace {

// The cells a list page gives for one book; the running number is added by the append.
ToCollectRow ListRow(const std::string& id, const std::string& title, const std::string& listPrice,
                     const std::string& price, const std::string& author,
                     const std::string& publisher, const std::string& date) {
    ToCollectRow row{};
    row[kMarkCol] = id;
    row[kTitleCol] = title;
    row[kListPriceCol] = listPrice;
    row[kSellPriceCol] = price;
    row[kAuthorCol] = author;
    row[kPublisherCol] = publisher;
    row[kDateCol] = date;
    return row;
}

const char kNoProducts[] = "没有找到相关的商品";
const char kTooManyFilters[] = "筛选条件太多了，没有找到相关商品";
const char kSelfRun[] = "Vantrell自营";

// One list pattern, compiled once for every page of the run (a compiled pattern may be
// matched by several crawlers at once).
class ListPattern {
public:
    explicit ListPattern(const char* pattern) : pattern_(pattern) {}

    // Every non-empty group of every match, in page order, as views into text.
    template <typename Visit>
    void ForEachGroup(const std::string& text, Visit visit) const {
        ForEachMatch(text, pattern_, [&](const MatchGroups& m) {
            for (std::size_t g = 1; g < m.size(); ++g)
                if (m.length(g) > 0)
                    visit(m.view(g));
            return true;
        });
    }

    // The first non-empty group, as RegexFirst gives it, as a view into text.
    std::string_view FirstView(const std::string& text) const {
        return RegexFirstView(text, pattern_);
    }
    std::string First(const std::string& text) const { return std::string(FirstView(text)); }

private:
    Pattern pattern_;
};

struct ListPatterns {
    ListPattern address{"class=\"pic\".*?href=\"(?<Url>.+?)\".+?<img"};
    ListPattern title{"<a title=\"(.*?)\""};
    ListPattern date{"([0-9]{4}-[0-9]{2}-[0-9]{2})"};
    ListPattern publisher{"name='P_cbs'.*?>(.*?)</a>"};
    ListPattern priceSale{"<p id=\"price_sale\"><span class=\"yen\">&yen;</span>(.*?)</p>"};

    ListPattern searchItem{"<li class=\"line(.*?)</li>"};
    ListPattern searchListPrice{"<span class=\"search_pre_price\">&yen;(.*?)</span>"};
    ListPattern searchPrice{"<span class=\"search_now_price\">&yen;(.*?)</span>"};
    ListPattern searchPriceRight{"<div class=\"right\"><span class=\"price_d\">&yen;(.*?)</span>"};
    ListPattern searchAuthor{"name='itemlist-author'.*?>(.*?)</a>"};
    ListPattern searchPublisher{"name='P_cbs'.*?>(.*?)</a></span><p class=\"bottom_p\">"};

    ListPattern categoryItem{"class=\"inner\">(.*?)<li class=\"line"};
    ListPattern categoryListPrice{"<span class=\"price_r\">&yen;(.*?)</span>"};
    ListPattern categoryPrice{"<span class=\"price_n\">&yen;(.*?)</span>"};
    ListPattern categoryAuthor{"name='P_zz'.*?>(.*?)</a>"};

    ListPattern promoItem{"onclick=\"showcatalog\\(([0-9]*?),.*?\\) \">加入购物车</a"};
};

const ListPatterns& Patterns() {
    static const ListPatterns patterns;
    return patterns;
}

constexpr int kSearchRowWaitMs = 50;
// Checks made before a book has a row write no status.
constexpr int kNoRow = -1;

bool Contains(std::string_view text, const char* part) {
    return text.find(part) != std::string::npos;
}

void CountPending(AppContext& ctx) {
    CountFiltered(ctx, CounterBox::PendingFiltered);
}

// The links' pattern, prepared once per page for all its items.
Pattern ProductLinks(AppContext& ctx) {
    return ProductLinkPattern(ctx.hosts().Host(HostRole::SourceProduct));
}

std::string ProductId(const Pattern& productLinks, const std::string& address) {
    return Trim(ExtractProductIds(productLinks, address));
}

// The marketplace already sells a book with this outer code.
bool OnSale(AppContext& ctx, const std::string& id) {
    return ctx.config().CheckByOuterCode() &&
           !FindOnSaleByOuterCode(ctx, id, ctx.job().GoodsToken).empty();
}

bool IsGbkTrail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

std::size_t CharWidth(const std::string& s, std::size_t i) {
    if (i + 1 < s.size() && IsGbkLeadByte(static_cast<unsigned char>(s[i])) &&
        IsGbkTrail(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
}

// Width of the bracket character at i (1 or 2), or 0 when there is none.
std::size_t BracketAt(const std::string& s, std::size_t i, char ascii, const char* fullWidth) {
    if (s[i] == ascii)
        return 1;
    if (CharWidth(s, i) == 2 && s.compare(i, 2, fullWidth) == 0)
        return 2;
    return 0;
}

// When an opening bracket at i is closed by the nearest closing bracket that
// has at least six bytes before it (counted from the opening bracket's end),
// the position after that closing bracket; npos otherwise.
std::size_t BracketEnd(const std::string& s, std::size_t i) {
    constexpr std::size_t kMinInside = 6;
    const std::size_t open = BracketAt(s, i, '(', "（");
    if (open == 0)
        return std::string::npos;
    const std::size_t inside = i + open;
    for (std::size_t j = inside; j < s.size(); j += CharWidth(s, j)) {
        if (j - inside < kMinInside)
            continue;
        if (const std::size_t close = BracketAt(s, j, ')', "）"))
            return j + close;
    }
    return std::string::npos;
}

bool InPriceRange(AppContext& ctx, const std::string& listPrice, const std::string& price) {
    const SysConfig& cfg = ctx.config();
    return PriceInRange(cfg.PriceRangeBasis() == kListPrice ? listPrice : price,
                        cfg.PriceRangeFrom(), cfg.PriceRangeTo());
}

bool CategoryItem(AppContext& ctx, std::string_view pageItem, const Pattern& productLinks) {
    // Fields never carry the page's zero bytes (see WithoutZeroBytes).
    const std::string item = WithoutZeroBytes(pageItem);
    if (!Contains(item, kSelfRun))
        return false;
    const std::string address = Patterns().address.First(item);
    const std::string id = ProductId(productLinks, address);
    if (ctx.config().CHKFiltData()) {
        if (ctx.db().IsPublished(id) || ctx.db().IsForbiddenMark(id) || OnSale(ctx, id)) {
            CountPending(ctx);
            return false;
        }
    }
    const std::string title = Patterns().title.First(item);
    const std::string listPrice = Patterns().categoryListPrice.First(item);
    std::string price = Patterns().categoryPrice.First(item);
    if (price.empty())
        price = Patterns().priceSale.First(item);
    const std::string date = Patterns().date.First(item);
    const std::string author = Patterns().categoryAuthor.First(item);
    const std::string publisher = Trim(Patterns().publisher.FirstView(item));

    if (ctx.db().IsForbiddenPublisher(publisher) || listPrice.empty() || price.empty() ||
        date.empty() || publisher.empty() || author.empty() || title.empty() || address.empty() ||
        !Contains(address, ".html") || !InPriceRange(ctx, listPrice, price)) {
        CountPending(ctx);
        return false;
    }
    AppendListRow(ctx, ListRow(id, title, listPrice, price, author, publisher, date),
                  kRowInsertWaitMs);
    return true;
}

// One search item, its zero bytes already dropped; true when a row was appended.
bool SearchItem(AppContext& ctx, const std::string& item, const Pattern& productLinks) {
    const SysConfig& cfg = ctx.config();
    const std::string address = Trim(Patterns().address.FirstView(item));
    const std::string id = ProductId(productLinks, address);
    if (cfg.CHKFiltData()) {
        if (ctx.db().IsPublished(id) || OnSale(ctx, id)) {
            CountPending(ctx);
            return false;
        }
    } else if (!CheckStock(ctx, id, kNoRow)) {
        return false;
    }

    std::string title = Trim(Patterns().title.FirstView(item));
    CountIfForbidden(ctx, title, CounterBox::PendingFiltered, kNoRow);
    if (cfg.RemoveLastKuoHaoP())
        title = CutAtLastBracket(title);
    title = RemoveTitleBrackets(title);

    const std::string listPrice = Trim(Patterns().searchListPrice.FirstView(item));
    std::string price = Trim(Patterns().searchPrice.FirstView(item));
    if (price.empty())
        price = Patterns().priceSale.First(item);
    if (price.empty() && cfg.CHKFiltData())
        price = Trim(Patterns().searchPriceRight.FirstView(item));
    const std::string date = Trim(Patterns().date.FirstView(item));
    const std::string author = Trim(Patterns().searchAuthor.FirstView(item));
    CountIfForbidden(ctx, author, CounterBox::PendingFiltered, kNoRow);
    const std::string publisher = Trim(Patterns().searchPublisher.FirstView(item));

    if (listPrice.empty() || price.empty() || date.empty() || publisher.empty() || author.empty() ||
        title.empty() || address.empty() || !Contains(address, ".html")) {
        CountPending(ctx);
        return false;
    }
    AppendListRow(ctx, ListRow(id, title, listPrice, price, author, publisher, date),
                  kSearchRowWaitMs);
    return true;
}

}  // namespace

bool ReportsNoProducts(const std::string& page) {
    return Contains(page, kTooManyFilters) || Contains(page, kNoProducts);
}

std::string CutAtLastBracket(const std::string& title) {
    // "(" never occurs as the second byte of a GBK character, so a byte search is
    // safe.
    const std::size_t at = title.rfind('(');
    return at == std::string::npos ? title : title.substr(0, at);
}

std::string RemoveTitleBrackets(const std::string& title) {
    std::string out;
    std::size_t i = 0;
    while (i < title.size()) {
        const std::size_t end = BracketEnd(title, i);
        if (end != std::string::npos) {
            i = end;
            continue;
        }
        const std::size_t width = CharWidth(title, i);
        out.append(title, i, width);
        i += width;
    }
    return out;
}

int AppendListRow(AppContext& ctx, ToCollectRow cells, int waitMs) {
    CollectJob& job = ctx.job();
    int index;
    {
        // A row is never added without the lock, and a found book is never dropped
        // for want of it: wait again until the lock is had.
        while (!LockWithin(job.RowInsertLock, waitMs)) {
        }
        std::unique_lock<std::timed_mutex> lock(job.RowInsertLock, std::adopt_lock);
        ++job.RowCounter;
        cells[kNumberCol] = std::to_string(++job.RunningNumber);
        index = ctx.toCollect().Append(std::move(cells));
    }
    ctx.counters().SetNumber(CounterBox::ToCollect, ctx.toCollect().Count());
    return index;
}

void ParseSearchPage(AppContext& ctx, const std::string& page) {
    const Pattern productLinks = ProductLinks(ctx);
    Patterns().searchItem.ForEachGroup(page, [&](std::string_view item) {
        if (ctx.config().VantrellZiShouP() && !Contains(item, kSelfRun))
            return;
        // Fields never carry the page's zero bytes (see WithoutZeroBytes), and a forbidden
        // word split by one is still found.
        SearchItem(ctx, WithoutZeroBytes(item), productLinks);
    });
}

bool ParseSearchItem(AppContext& ctx, const std::string& pageItem) {
    return SearchItem(ctx, WithoutZeroBytes(pageItem), ProductLinks(ctx));
}

void ParseCategoryPage(AppContext& ctx, const std::string& page) {
    const Pattern productLinks = ProductLinks(ctx);
    Patterns().categoryItem.ForEachGroup(
        page, [&](std::string_view item) { CategoryItem(ctx, item, productLinks); });
}

void ParsePromoPage(AppContext& ctx, const std::string& page) {
    CollectJob& job = ctx.job();
    Patterns().promoItem.ForEachGroup(page, [&](std::string_view found) {
        const std::string id = Trim(WithoutZeroBytes(found));
        {
            // The check and the append are one step, as the page lists some books
            // twice.
            while (!LockWithin(job.RowInsertLock, kRowInsertWaitMs)) {
            }
            std::unique_lock<std::timed_mutex> lock(job.RowInsertLock, std::adopt_lock);
            if (ctx.db().IsPublished(id) || OnSale(ctx, id))
                return;
            ++job.RowCounter;
            ++job.RunningNumber;
            ToCollectRow row{};
            row[kMarkCol] = id;
            ctx.toCollect().Append(std::move(row));
        }
        ctx.counters().SetNumber(CounterBox::ToCollect, ctx.toCollect().Count());
    });
}

}  // namespace vt
