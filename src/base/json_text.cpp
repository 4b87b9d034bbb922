#include "base/json_text.h"

#include <unicode/utf8.h>

#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zel {

namespace {

constexpr uint64_t ones = 0x0101010101010101ULL;
constexpr uint64_t highs = 0x8080808080808080ULL;

// Whether any of the eight bytes needs more than a copy: a control byte, a
// quotation mark, a backslash, or the start of a non-ASCII character.
inline bool needsAttention(uint64_t w) {
  const uint64_t control = (w - ones * 0x20) & ~w;
  const uint64_t quote = ((w ^ (ones * '"')) - ones) & ~(w ^ (ones * '"'));
  const uint64_t backslash = ((w ^ (ones * '\\')) - ones) & ~(w ^ (ones * '\\'));
  return ((control | quote | backslash) & highs) != 0 || (w & highs) != 0;
}

inline bool plain(unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; }

}  // namespace

void appendJSONString(std::string& out, std::string_view text) {
  out += '"';
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const auto* run = p;
#if defined(__SSE2__)
    // Sixteen bytes at a time: a signed compare below 0x20 catches control
    // bytes and every non-ASCII byte at once.
    const __m128i space = _mm_set1_epi8(0x20), quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
    while (end - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i special =
          _mm_or_si128(_mm_cmplt_epi8(v, space), _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
      const int mask = _mm_movemask_epi8(special);
      if (mask) {
        p += __builtin_ctz(static_cast<unsigned>(mask));
        break;
      }
      p += 16;
    }
#endif
    while (end - p >= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      if (needsAttention(w)) break;
      p += 8;
    }
    while (p < end && plain(*p)) ++p;
    out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
    if (p == end) break;

    const unsigned char c = *p;
    if (c >= 0x80) {
      // Non-ASCII text is copied as it is once it proves to be UTF-8.
      int32_t i = 0;
      UChar32 cp;
      const auto left = static_cast<int32_t>(std::min<ptrdiff_t>(end - p, INT32_MAX));
      U8_NEXT(p, i, left, cp);
      if (cp < 0) throw UnencodableValue("text is not valid UTF-8");
      out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(i));
      p += i;
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        static const char hex[] = "0123456789abcdef";
        const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
        out.append(escaped, sizeof escaped);
      }
    }
    ++p;
  }
  out += '"';
}

void JSONWriter::separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  if (levels_.back().any) out_ += ',';
  levels_.back().any = true;
}

JSONWriter& JSONWriter::beginObject() {
  separate();
  out_ += '{';
  levels_.push_back({});
  return *this;
}

JSONWriter& JSONWriter::endObject() {
  out_ += '}';
  levels_.pop_back();
  return *this;
}

JSONWriter& JSONWriter::beginArray() {
  separate();
  out_ += '[';
  levels_.push_back({});
  return *this;
}

JSONWriter& JSONWriter::endArray() {
  out_ += ']';
  levels_.pop_back();
  return *this;
}

JSONWriter& JSONWriter::key(std::string_view k) {
  separate();
  assert(levels_.back().lastKey.empty() || levels_.back().lastKey < k);
  levels_.back().lastKey = k;
  appendJSONString(out_, k);
  out_ += ':';
  afterKey_ = true;
  return *this;
}

JSONWriter& JSONWriter::string(std::string_view s) {
  separate();
  appendJSONString(out_, s);
  return *this;
}

JSONWriter& JSONWriter::integer(int64_t v) {
  separate();
  out_ += std::to_string(v);
  return *this;
}

JSONWriter& JSONWriter::boolean(bool v) {
  separate();
  out_ += v ? "true" : "false";
  return *this;
}

JSONWriter& JSONWriter::date(Date d, DateForm form) {
  auto text = isoText(d, form);
  if (!text) throw UnencodableValue("date has no ISO 8601 form");
  return string(*text);
}

JSONWriter& JSONWriter::strings(const std::vector<std::string>& list) {
  beginArray();
  for (const auto& s : list) string(s);
  return endArray();
}

JSONWriter& JSONWriter::field(std::string_view k, const std::optional<std::string>& v) {
  if (v) key(k).string(*v);
  return *this;
}

JSONWriter& JSONWriter::field(std::string_view k, const std::optional<int64_t>& v) {
  if (v) key(k).integer(*v);
  return *this;
}

std::string childrenPath(std::string root, const std::vector<size_t>& steps) {
  constexpr size_t shown = 6;
  for (size_t i = 0; i < steps.size() && i < shown; ++i) root += ".children[" + std::to_string(steps[i]) + "]";
  if (steps.size() > shown) root += "… (" + std::to_string(steps.size()) + " levels down)";
  return root;
}

}  // namespace zel
