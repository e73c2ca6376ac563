// HTML-to-text cleanup of a book's text section before it goes into the description, and
// the escaping that keeps such text from reading as markup.
#pragma once

#include <string>

namespace vt {

// Removes scripts, turns tags into three spaces, decodes a few entities and drops the
// leftovers. Line breaks are kept and spaces are not collapsed.
std::string CleanHtml(const std::string& html);

// A text section as the book's text for a description: scripts, comments and tags go as
// in CleanHtml, each entity is decoded exactly once (so "&amp;lt;" stays the text "&lt;"),
// and the text is then escaped with EscapeHtml, so nothing of the page's markup survives.
// Line breaks are kept.
std::string SectionText(const std::string& html);

// Text as HTML content or a quoted attribute value: & < > " ' become entities. These bytes
// never occur inside a GBK character, so the text is read byte by byte.
std::string EscapeHtml(const std::string& text);

// The text EscapeHtml was given: its five entities decoded in one pass, nothing else.
std::string UnescapeHtml(const std::string& text);

}  // namespace vt
