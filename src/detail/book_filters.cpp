#include "detail/book_filters.h"

#include <climits>

#include "base/gbk_search.h"
#include "base/text.h"
#include "core/book_types.h"
#include "core/context.h"

namespace vt {

void RebuildFilterWords(AppContext& ctx) {
    ctx.filterWords().Rebuild(ctx.config().ForbiddenBooksText(), ctx.config().ForbiddenWordsText());
}

const std::string* FirstForbiddenWord(const WordList& words, std::string_view text) {
    for (const std::string& word : words)
        if (!word.empty() && GbkContains(text, word))
            return &word;
    return nullptr;
}

bool IsForbiddenText(AppContext& ctx, std::string_view text, RowRef row) {
    const auto words = ctx.filterWords().ForbiddenWords();
    const std::string* word = FirstForbiddenWord(*words, text);
    if (!word)
        return false;
    ctx.toCollect().SetCell(row, kStatusCol, "过滤：" + *word);
    return true;
}

void CountFiltered(AppContext& ctx, CounterBox box) {
    ctx.counters().Increment(box);
}

bool CountIfForbidden(AppContext& ctx, std::string_view text, CounterBox box, RowRef row) {
    if (!IsForbiddenText(ctx, text, row))
        return false;
    CountFiltered(ctx, box);
    return true;
}

long LeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsTrimSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        // Accumulate towards the sign so LONG_MIN is reachable; clamp instead of overflowing.
        if (negative) {
            if (value < (LONG_MIN + digit) / 10)
                return LONG_MIN;
            value = value * 10 - digit;
        } else {
            if (value > (LONG_MAX - digit) / 10)
                return LONG_MAX;
            value = value * 10 + digit;
        }
    }
    return value;
}

bool PriceInRange(std::string_view price, std::string_view from, std::string_view to) {
    const long value = LeadingInteger(price);
    const long lower = from.empty() ? 0 : LeadingInteger(from);
    if (value < lower)
        return false;
    return to.empty() || value <= LeadingInteger(to);
}

}  // namespace vt
