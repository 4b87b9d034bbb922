#include "base/unicode_text.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>

namespace zel {

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

// ---- canonical endings and numbers ----

namespace zel {

namespace {

icu::UnicodeString nfd(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* normalizer = icu::Normalizer2::getNFDInstance(status);
  icu::UnicodeString source = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  if (U_FAILURE(status)) return source;
  icu::UnicodeString result = normalizer->normalize(source, status);
  return U_FAILURE(status) ? source : result;
}

// One character iterator per thread: making one is costly, and they are not
// safe to share.
icu::BreakIterator* characters() {
  thread_local std::unique_ptr<icu::BreakIterator> it = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> bi(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) bi.reset();
    return bi;
  }();
  return it.get();
}

bool endsWithNormalized(const icu::UnicodeString& text, const icu::UnicodeString& suffix) {
  if (suffix.length() > text.length()) return false;
  const int32_t start = text.length() - suffix.length();
  if (text.compare(start, suffix.length(), suffix) != 0) return false;
  if (start == 0) return true;
  icu::BreakIterator* bi = characters();
  if (!bi) return false;
  bi->setText(text);
  return bi->isBoundary(start);
}

}  // namespace

namespace {
icu::UnicodeString unicode(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}
std::string utf8(const icu::UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}
}  // namespace

std::string lowercased(std::string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  icu::UnicodeString s = unicode(text);
  s.toLower(icu::Locale::getRoot());
  return utf8(s);
}

size_t characterCount(std::string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) return text.size();
  const icu::UnicodeString s = unicode(text);
  icu::BreakIterator* bi = characters();
  if (!bi) return static_cast<size_t>(s.countChar32());
  bi->setText(s);
  size_t count = 0;
  for (int32_t b = bi->next(); b != icu::BreakIterator::DONE; b = bi->next()) ++count;
  return count;
}

bool isValidUTF8(std::string_view text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string repairedUTF8(std::string_view text) {
  if (isValidUTF8(text)) return std::string(text);
  return utf8(unicode(text));
}

bool containsWhiteSpace(std::string_view text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c >= 0 && u_isUWhiteSpace(c)) return true;
  }
  return false;
}

bool endsWithCanonically(std::string_view text, std::string_view suffix) {
  return endsWithNormalized(nfd(text), nfd(suffix));
}

bool startsWithCanonically(std::string_view text, std::string_view prefix) {
  const icu::UnicodeString t = nfd(text), p = nfd(prefix);
  if (p.length() > t.length() || t.compare(0, p.length(), p) != 0) return false;
  if (p.length() == t.length() || p.length() == 0) return true;
  icu::BreakIterator* bi = characters();
  if (!bi) return false;
  bi->setText(t);
  return bi->isBoundary(p.length());
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return unicode(a).caseCompare(unicode(b), U_FOLD_CASE_DEFAULT) == 0;
}

std::string_view trimmedHorizontal(std::string_view text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t start = 0, end = length;
  while (start < length) {
    int32_t next = start;
    UChar32 c;
    U8_NEXT(s, next, length, c);
    if (c < 0 || !u_isblank(c)) break;
    start = next;
  }
  while (end > start) {
    int32_t previous = end;
    UChar32 c;
    U8_PREV(s, start, previous, c);
    if (c < 0 || !u_isblank(c)) break;
    end = previous;
  }
  return text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

bool endsWithAnyCanonically(std::string_view text, const std::vector<std::string>& suffixes) {
  const icu::UnicodeString normalized = nfd(text);
  for (const auto& suffix : suffixes)
    if (endsWithNormalized(normalized, nfd(suffix))) return true;
  return false;
}

std::vector<std::string_view> graphemes(std::string_view text) {
  std::vector<std::string_view> out;
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    for (size_t i = 0; i < text.size(); ++i) {
      const size_t n = (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      out.push_back(text.substr(i, n));
      i += n - 1;
    }
    return out;
  }
  icu::BreakIterator* bi = characters();
  UErrorCode status = U_ZERO_ERROR;
  UText* ut = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
  if (!bi || U_FAILURE(status)) {
    utext_close(ut);
    out.push_back(text);
    return out;
  }
  bi->setText(ut, status);
  // Offsets are native UTF-8 byte offsets of the text.
  for (int32_t start = bi->first(), end = bi->next(); end != icu::BreakIterator::DONE; start = end, end = bi->next())
    out.push_back(text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
  utext_close(ut);
  // The iterator keeps no reference to the closed text beyond this call.
  bi->setText(icu::UnicodeString());
  return out;
}

std::string decomposed(std::string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(text);
  return utf8(nfd(text));
}

bool oneBeginsWithOther(std::string_view a, std::string_view b) {
  if (a.size() < b.size()) std::swap(a, b);
  if (!a.starts_with(b)) return false;
  if (a.size() == b.size() || b.empty()) return true;
  // A byte prefix is a prefix of characters only when it ends between two.
  const unsigned char next = static_cast<unsigned char>(a[b.size()]);
  if (next < 0x80 && !(next == '\n' && b.back() == '\r')) return true;
  const icu::UnicodeString longer = unicode(a);
  const int32_t at = unicode(b).length();
  icu::BreakIterator* bi = characters();
  if (!bi) return false;
  bi->setText(longer);
  return bi->isBoundary(at);
}

bool isAllNumeric(std::string_view text) {
  if (text.empty()) return false;
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0 || u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) == U_NT_NONE) return false;
  }
  return true;
}

std::vector<int64_t> numbersIn(std::string_view text) {
  std::vector<int64_t> numbers;
  // In ASCII text the only numeric characters are the digits, and every
  // character is one byte: no need for ICU's character boundaries.
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    for (size_t i = 0; i < text.size();) {
      if (text[i] < '0' || text[i] > '9') {
        ++i;
        continue;
      }
      int64_t value = 0;
      bool fits = true;
      for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        fits = fits && !__builtin_mul_overflow(value, int64_t{10}, &value) &&
               !__builtin_add_overflow(value, int64_t{text[i] - '0'}, &value);
      if (fits) numbers.push_back(value);
    }
    return numbers;
  }
  const icu::UnicodeString s =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  icu::BreakIterator* bi = characters();
  if (!bi) return numbers;
  bi->setText(s);

  bool inRun = false, usable = true;
  int64_t value = 0;
  auto endRun = [&] {
    if (inRun && usable) numbers.push_back(value);
    inRun = false;
    usable = true;
    value = 0;
  };
  for (int32_t start = bi->first(), end = bi->next(); end != icu::BreakIterator::DONE; start = end, end = bi->next()) {
    const UChar32 first = s.char32At(start);
    const bool numeric = u_getIntPropertyValue(first, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
    if (!numeric) {
      endRun();
      continue;
    }
    inRun = true;
    if (!usable) continue;
    // A whole-number value belongs to a character of one code point only.
    const bool single = s.moveIndex32(start, 1) == end;
    const double v = u_getNumericValue(first);
    if (!single || v == U_NO_NUMERIC_VALUE || v < 0 || v != static_cast<double>(static_cast<int64_t>(v)) ||
        __builtin_mul_overflow(value, int64_t{10}, &value) ||
        __builtin_add_overflow(value, static_cast<int64_t>(v), &value))
      usable = false;
  }
  endRun();
  return numbers;
}

}  // namespace zel
