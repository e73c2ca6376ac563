// The checks a book can fail on its way to the collected list that are shared with the
// list stage: the forbidden-word test, the "过滤：" counters, and the price range.
#pragma once

#include <string>
#include <string_view>

#include "core/filter_words.h"
#include "core/result_counters.h"
#include "core/work_lists.h"

namespace vt {

class AppContext;

// Rebuilds the job's word lists from the forbidden-books and filter-keywords boxes.
// Called at job start and at a code import, before any worker runs.
void RebuildFilterWords(AppContext& ctx);

// The first non-empty word of the list that occurs in the text (whole GBK characters,
// case-sensitive); null when none does.
const std::string* FirstForbiddenWord(const WordList& words, std::string_view text);

// True when the text holds a forbidden word; the to-collect row's status then becomes
// "过滤：" followed by that word. No match leaves the status alone.
bool IsForbiddenText(AppContext& ctx, std::string_view text, RowRef row);

// Adds one to the box and shows it, as one step.
void CountFiltered(AppContext& ctx, CounterBox box);

// IsForbiddenText, counted in box when true.
bool CountIfForbidden(AppContext& ctx, std::string_view text, CounterBox box, RowRef row);

// A price or bound as a whole number of yuan: leading blanks skipped, an optional sign,
// then the digits up to the first other character ("29.80" -> 29; no digits -> 0).
// Values beyond the range of long stick at its limits.
long LeadingInteger(std::string_view text);

// The collection price range: an empty lower bound is 0, an empty upper bound means no
// upper limit; both bounds are inclusive.
bool PriceInRange(std::string_view price, std::string_view from, std::string_view to);

}  // namespace vt
