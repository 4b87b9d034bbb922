#pragma once
// The zel-ax command line: which command runs, and the serve configuration.

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zel::agent {

inline constexpr std::string_view usageText =
    "usage: zel-ax trust | serve [--every <s>] [--apps <ids>] [--chat-browsers <ids>] [--profiles linkedin,x]";
inline constexpr std::string_view trustedText = "trusted";
inline constexpr std::string_view notTrustedText =
    "not trusted (System Settings \u2192 Privacy & Security \u2192 Accessibility)";

struct ServeConfig {
  double every = 3.0;                         // front read interval, seconds
  std::optional<std::set<std::string>> apps;  // absent: every registered target
  std::set<std::string> profileSites;         // "linkedin" and/or "x"
  std::set<std::string> chatBrowsers;         // browsers the host allows chat pages in
};

enum class Command { trust, serve, usage };

// The command named by the first word (compared exactly).
Command commandOf(const std::vector<std::string>& args);

// The serve options. Each option is the first word equal to its name; its value
// is the word after it. A missing or bad value leaves the option's default.
ServeConfig serveConfig(const std::vector<std::string>& args);

// Splits at every ",", dropping empty pieces and trimming nothing.
std::vector<std::string> commaList(std::string_view value);

// Writes the message and a newline to standard error in one write, then exits
// with status 1.
[[noreturn]] void fail(std::string_view message);

}  // namespace zel::agent
