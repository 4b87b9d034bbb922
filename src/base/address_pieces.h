#pragma once
// The pieces of page addresses that the system's own address rules work on,
// byte by byte: splitting a path or a query, percent-decoding a piece.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

// Splits at every `at`, keeping empty pieces ("a//b" gives "a", "", "b").
std::vector<std::string_view> splitKeepingEmpty(std::string_view s, char at);

// An "https://" address with a path, taken apart as written: views into it.
struct HttpsAddress {
  std::string_view host;
  std::vector<std::string_view> segments;  // of the path, a trailing "/" dropped; empty ones kept
  std::string_view query;                  // without "?"; the fragment dropped
  std::string_view withoutQuery;           // "https://host/path", as written
};
// Nullopt for another scheme or an address without a path.
std::optional<HttpsAddress> httpsAddress(std::string_view url);

// Letters and digits of ASCII.
inline bool isASCIIAlnum(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Percent-decodes text; nullopt for an invalid escape or bytes that are not
// UTF-8 once decoded.
std::optional<std::string> percentDecoded(std::string_view text);

}  // namespace zel
