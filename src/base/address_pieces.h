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

// Percent-decodes text; nullopt for an invalid escape or bytes that are not
// UTF-8 once decoded.
std::optional<std::string> percentDecoded(std::string_view text);

}  // namespace zel
