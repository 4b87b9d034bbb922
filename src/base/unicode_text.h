#pragma once
// Unicode helpers over UTF-8 text, backed by ICU.

#include <cstdint>
#include <string>
#include <vector>
#include <string_view>

namespace zel {

// The text without leading and trailing white space and newlines. Bytes that do
// not form valid UTF-8 are never white space, so they are kept.
std::string_view trimmedView(std::string_view text);
inline std::string trimmed(std::string_view text) { return std::string(trimmedView(text)); }

// Lower case by the full Unicode case mapping, independent of any locale.
std::string lowercased(std::string_view text);
// The number of user-perceived characters (grapheme clusters).
size_t characterCount(std::string_view text);
bool isValidUTF8(std::string_view text);
// The text with every ill-formed UTF-8 sequence replaced by U+FFFD.
std::string repairedUTF8(std::string_view text);
// Whether any code point has the White_Space property.
bool containsWhiteSpace(std::string_view text);

// Whether `text` ends with `suffix` when both are compared by canonical
// equivalence (precomposed and decomposed forms match), with the match
// starting on a character boundary.
bool endsWithCanonically(std::string_view text, std::string_view suffix);
// The same against a list of suffixes, normalising `text` once.
bool endsWithAnyCanonically(std::string_view text, const std::vector<std::string>& suffixes);

// Whether `text` begins with `prefix` by canonical equivalence, the match
// ending on a character boundary.
bool startsWithCanonically(std::string_view text, std::string_view prefix);
// Equal ignoring case (full case folding).
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// Leading and trailing tabs and space separators removed.
std::string_view trimmedHorizontal(std::string_view text);

// The user-perceived characters (grapheme clusters) of a UTF-8 text, as
// views into it.
std::vector<std::string_view> graphemes(std::string_view text);

// The canonical decomposition (NFD) of a text, as UTF-8.
std::string decomposed(std::string_view text);
// Whether one of two decomposed texts begins with the other, the shorter one
// ending on a character boundary of the longer.
bool oneBeginsWithOther(std::string_view a, std::string_view b);

// Whether the text is not empty and every character in it is numeric.
bool isAllNumeric(std::string_view text);

// The numbers a text shows: maximal runs of numeric characters, each read in
// base 10 from the characters' whole-number values. A run holding a character
// without a whole-number value, or whose value does not fit 64 bits, is
// skipped.
std::vector<int64_t> numbersIn(std::string_view text);

}  // namespace zel
