// The two descriptions a marketplace item carries: the HTML description filled from the
// seller's template, and the mobile description, a fixed JSON document. Placeholders are
// bracketed tokens replaced as plain text, one after the other, in the whole text.
#pragma once

#include <string>

#include "core/filter_words.h"
#include "detail/detail_page.h"

namespace vt {

class AppContext;
struct O_BookInfo;

// Reads "模板.html" from the data-file folder into the context (a missing file gives an
// empty template, so every book is later dropped for an empty description). Returns it.
std::string LoadDescriptionTemplate(AppContext& ctx);

// Each word, in list order, replaced everywhere by "***" (whole GBK characters); later
// words are looked for in the already masked text. Empty words change nothing.
std::string MaskFilterWords(const WordList& words, std::string text);

// The mobile description before any placeholder is filled.
std::string MobileSkeleton();

// A value as it goes inside a JSON string: quote, backslash and control bytes escaped,
// double-byte characters left whole (their second byte may be a backslash).
std::string JsonStringContent(const std::string& gbk);

// Fills Description and MobileDescription of the book from the template, the prefix
// and suffix texts and the filter words. Book fields and section texts go in as escaped
// text (sections first reduced to text by SectionText); template, prefix and suffix stay
// markup. Trims the book's OuterCode in place (the mobile
// text shows it trimmed; the HTML text keeps it as it came).
void BuildDescriptions(O_BookInfo& book, const BookParams& params, const std::string& templateText,
                       const std::string& prefix, const std::string& suffix,
                       const WordList& filterWords);
// The same with the loaded template, the current prefix and suffix boxes and the job's
// filter words.
void BuildDescriptions(AppContext& ctx, O_BookInfo& book, const BookParams& params);

}  // namespace vt
