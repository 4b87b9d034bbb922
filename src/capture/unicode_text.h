#pragma once
// Unicode helpers over UTF-8 text, backed by ICU.

#include <string>
#include <string_view>

namespace zel {

// True for code points with the Unicode White_Space property: spaces, tabs and
// every line or paragraph separator.
bool isWhiteSpace(char32_t c);

// The text without leading and trailing white space and newlines. Bytes that do
// not form valid UTF-8 are never white space, so they are kept.
std::string_view trimmedView(std::string_view text);
inline std::string trimmed(std::string_view text) { return std::string(trimmedView(text)); }

}  // namespace zel
