#include "capture/unicode_text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace zel {

bool isWhiteSpace(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }

namespace {
// White_Space among ASCII: tab, line feed, vertical tab, form feed, carriage
// return and space.
inline bool asciiWhiteSpace(uint8_t b) { return b == ' ' || (b >= 0x09 && b <= 0x0D); }
}  // namespace

std::string_view trimmedView(std::string_view text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());

  int32_t start = 0;
  while (start < length) {
    if (s[start] < 0x80) {  // the common case, without ICU's decoder
      if (!asciiWhiteSpace(s[start])) break;
      ++start;
      continue;
    }
    int32_t next = start;
    UChar32 c;
    U8_NEXT(s, next, length, c);
    if (c < 0 || !u_isUWhiteSpace(c)) break;
    start = next;
  }
  int32_t end = length;
  while (end > start) {
    if (s[end - 1] < 0x80) {
      if (!asciiWhiteSpace(s[end - 1])) break;
      --end;
      continue;
    }
    int32_t previous = end;
    UChar32 c;
    U8_PREV(s, start, previous, c);
    if (c < 0 || !u_isUWhiteSpace(c)) break;
    end = previous;
  }
  return text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

}  // namespace zel
