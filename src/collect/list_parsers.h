// The bookstore's list pages cut into books: the search-result layout (keyword jobs), the
// category layout (category jobs) and the promotion layout (promotion jobs). Each parser
// applies the checks that can be decided from the list and appends one to-collect row per
// book that passes; books dropped here are counted in the top "过滤：" box. Parsers run on
// the crawler threads, several at once; none throws.
#pragma once

#include <string>

#include "core/book_types.h"

namespace vt {

class AppContext;

// Search-result page: one item per <li class="line…">.
void ParseSearchPage(AppContext& ctx, const std::string& page);
// One search item; true when a row was appended.
bool ParseSearchItem(AppContext& ctx, const std::string& item);

// Category page: only the store's own books ("Vantrell自营"), within the price range.
void ParseCategoryPage(AppContext& ctx, const std::string& page);

// Promotion page: one row per listed product identifier (duplicates included) that is not
// published yet; the row holds only the identifier.
void ParsePromoPage(AppContext& ctx, const std::string& page);

// True when a list page says it has no products.
bool ReportsNoProducts(const std::string& page);

// Appends one row under RowInsertLock (waiting waitMs per try, trying again until it is
// had), numbering it with the next running number, and shows the new row count in the
// "待采集：" box. Returns the row's index.
int AppendListRow(AppContext& ctx, ToCollectRow cells, int waitMs);

// Title cleanup of the search layout.
// Everything from the last ASCII "(" on is cut away; a title without one is unchanged.
std::string CutAtLastBracket(const std::string& title);
// An opening bracket ("(" or "（") followed by at least six bytes and a closing bracket
// (")" or "）") is removed together with everything up to that closing bracket. Brackets
// are matched as whole characters, so a double-byte character is never split.
std::string RemoveTitleBrackets(const std::string& title);

}  // namespace vt
