// The one way every page is read: Perl-syntax patterns, letters matched without regard
// to case, "." matching line breaks too. Texts and patterns are GBK bytes.
//
// Matching is on bytes, but a match never starts inside a double-byte character, and a
// Chinese character written in a pattern matches only itself (its second byte may be an
// ASCII letter, which must not be folded). None of these operations throws.
#pragma once

#include <boost/regex.hpp>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vt {

// The compiled pattern, or nothing when the pattern is not valid. Named groups such as
// (?<Url>...) or (?<1>...) are ordinary groups, numbered with the others left to right.
std::optional<boost::regex> CompileRegex(const std::string& pattern);

// The repeated search behind RegexFirst/All/List: search, hand the match to visit, go on
// with the text after the match as a text of its own. visit returns false to stop.
// An empty match moves on by one character instead of looping.
void ForEachMatch(const std::string& text, const boost::regex& re,
                  const std::function<bool(const boost::smatch&)>& visit);

// The first non-empty capture group (groups 1..n, match after match); empty when none.
std::string RegexFirst(const std::string& text, const std::string& pattern);
// Every non-empty capture group, each followed by "\r\n"; empty when none.
std::string RegexAll(const std::string& text, const std::string& pattern);
// As RegexAll, one entry per group text. No list at all for an empty text; an empty list
// when nothing matched.
std::optional<std::vector<std::string>> RegexList(const std::string& text,
                                                  const std::string& pattern);
// Every non-overlapping match replaced by the Perl-style format replacement. A pattern
// that does not compile leaves the text unchanged.
std::string RegexReplace(const std::string& text, const std::string& pattern,
                         const std::string& replacement);

}  // namespace vt
