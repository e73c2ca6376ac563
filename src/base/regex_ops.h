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
#include <string_view>
#include <vector>

#include "base/literal_chain.h"

namespace vt {

// The matcher's own traits: boost::regex's matcher for them is built once in the Boost
// library, where its shared scratch memory is handed between threads safely. A matcher
// instantiated here with traits of our own would do the same, but the thread sanitizer
// cannot see the library's hand-over and reports every concurrent search.
using Regex = boost::regex;

// The compiled pattern, or nothing when the pattern is not valid. Named groups such as
// (?<Url>...) or (?<1>...) are ordinary groups, numbered with the others left to right.
std::optional<Regex> CompileRegex(const std::string& pattern);

// A pattern compiled once and matched many times (also by several threads at once: a
// compiled pattern is only read while matching). Gives the same results as the text of
// the pattern given to the operations below, without compiling it at each call. Patterns
// of literal pieces and lazy gaps are matched without the regex engine (LiteralChain),
// which is several times faster on pages and costs nothing to prepare.
class Pattern {
public:
    explicit Pattern(const std::string& pattern);
    // False when the pattern is not valid (it then finds nothing).
    bool valid() const { return chain_.has_value() || re_.has_value(); }
    // The pattern as a literal chain, or nothing when the engine reads it.
    const LiteralChain* chain() const { return chain_ ? &*chain_ : nullptr; }
    // The compiled pattern when the engine reads it.
    const Regex* regex() const { return re_ ? &*re_ : nullptr; }
    // The ASCII text (as a chain of its own) that every match of an engine pattern begins
    // with, letters in either case; nothing when the pattern promises none. The search
    // skips straight to it.
    const LiteralChain* prefix() const { return prefix_ ? &*prefix_ : nullptr; }
    const std::string& source() const { return source_; }

private:
    std::string source_;
    std::optional<LiteralChain> chain_;
    std::optional<Regex> re_;
    std::optional<LiteralChain> prefix_;
};

// The groups of one match, as places in the searched text: group 0 is the whole match.
// Valid while the visit that receives it runs.
class MatchGroups {
public:
    MatchGroups(const std::string& text, const std::vector<LiteralChain::Span>& spans)
        : text_(text), spans_(spans) {}
    std::size_t size() const { return spans_.size(); }
    bool matched(std::size_t g) const { return spans_[g].begin != std::string::npos; }
    std::size_t length(std::size_t g) const {
        return matched(g) ? spans_[g].end - spans_[g].begin : 0;
    }
    std::string_view view(std::size_t g) const {
        return matched(g) ? std::string_view(text_).substr(spans_[g].begin, length(g))
                          : std::string_view();
    }
    std::string str(std::size_t g) const { return std::string(view(g)); }

private:
    const std::string& text_;
    const std::vector<LiteralChain::Span>& spans_;
};

// The repeated search behind RegexFirst/All/List: search, hand the match to visit, go on
// with the text after the match as a text of its own. visit returns false to stop.
// An empty match moves on by one character instead of looping.
void ForEachMatch(const std::string& text, const Regex& re,
                  const std::function<bool(const boost::smatch&)>& visit);
// The same with a pattern compiled beforehand; nothing when it is not valid.
void ForEachMatch(const std::string& text, const Pattern& pattern,
                  const std::function<bool(const MatchGroups&)>& visit);

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

// The same operations with a pattern compiled beforehand.
std::string RegexFirst(const std::string& text, const Pattern& pattern);
// RegexFirst as a view into text, which must outlive it: no copy for a value that is
// cleaned up before it is kept.
std::string_view RegexFirstView(const std::string& text, const Pattern& pattern);
std::string RegexAll(const std::string& text, const Pattern& pattern);
std::optional<std::vector<std::string>> RegexList(const std::string& text, const Pattern& pattern);
std::string RegexReplace(const std::string& text, const Pattern& pattern,
                         const std::string& replacement);

}  // namespace vt
