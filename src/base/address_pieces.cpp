#include "base/address_pieces.h"

#include <boost/url/pct_string_view.hpp>

#include <algorithm>

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

std::optional<HttpsAddress> httpsAddress(std::string_view url) {
  constexpr std::string_view scheme = "https://";
  if (!url.starts_with(scheme)) return std::nullopt;
  const std::string_view rest = url.substr(scheme.size());
  const size_t fragment = std::min(rest.find('#'), rest.size());
  const size_t queryMark = std::min(rest.find('?'), fragment);
  const std::string_view beforeQuery = rest.substr(0, queryMark);
  const size_t slash = beforeQuery.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  HttpsAddress a;
  a.host = beforeQuery.substr(0, slash);
  a.query = queryMark < fragment ? rest.substr(queryMark + 1, fragment - queryMark - 1) : "";
  a.withoutQuery = url.substr(0, scheme.size() + beforeQuery.size());
  std::string_view path = beforeQuery.substr(slash);
  if (path.ends_with('/')) path.remove_suffix(1);
  a.segments = splitKeepingEmpty(path, '/');
  a.segments.erase(a.segments.begin());  // before the path's first "/"
  return a;
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
