#include "base/address_pieces.h"

#include <boost/url/pct_string_view.hpp>

#include "base/unicode_text.h"

namespace zel {

std::vector<std::string_view> splitKeepingEmpty(std::string_view s, char at) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (true) {
    const size_t next = s.find(at, start);
    pieces.push_back(s.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start));
    if (next == std::string_view::npos) return pieces;
    start = next + 1;
  }
}

std::optional<std::string> percentDecoded(std::string_view text) {
  if (text.find('%') == std::string_view::npos) {  // nothing to decode
    if (!isValidUTF8(text)) return std::nullopt;
    return std::string(text);
  }
  auto pct = boost::urls::make_pct_string_view(boost::core::string_view(text.data(), text.size()));
  if (!pct) return std::nullopt;
  std::string decoded = pct->decode();
  if (!isValidUTF8(decoded)) return std::nullopt;
  return decoded;
}

}  // namespace zel
