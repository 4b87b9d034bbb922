#include "agent/command_line.h"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "profile/profile_sites.h"

namespace zel::agent {

namespace {

const std::string* optionValue(const std::vector<std::string>& args, std::string_view name) {
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i] == name) return i + 1 < args.size() ? &args[i + 1] : nullptr;
  return nullptr;
}

// A decimal number of seconds that a schedule can use: finite and not negative.
std::optional<double> seconds(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (!std::isfinite(v) || v < 0) return std::nullopt;
  return v;
}

}  // namespace

Command commandOf(const std::vector<std::string>& args) {
  if (args.empty()) return Command::usage;
  if (args[0] == "trust") return Command::trust;
  if (args[0] == "serve") return Command::serve;
  return Command::usage;
}

std::vector<std::string> commaList(std::string_view value) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) comma = value.size();
    if (comma > start) pieces.emplace_back(value.substr(start, comma - start));
    start = comma + 1;
  }
  return pieces;
}

ServeConfig serveConfig(const std::vector<std::string>& args) {
  ServeConfig config;
  if (const auto* browsers = optionValue(args, "--chat-browsers"))
    for (auto& id : commaList(*browsers)) config.chatBrowsers.insert(std::move(id));
  if (const auto* every = optionValue(args, "--every"))
    if (auto s = seconds(*every)) config.every = *s;
  if (const auto* apps = optionValue(args, "--apps")) {
    auto pieces = commaList(*apps);
    config.apps = std::set<std::string>(pieces.begin(), pieces.end());
  }
  if (const auto* profiles = optionValue(args, "--profiles"))
    for (auto& site : commaList(*profiles))
      if (profile::ProfileSites::named(site)) config.profileSites.insert(site);
  return config;
}

void fail(std::string_view message) {
  std::string line(message);
  line += '\n';
  [[maybe_unused]] auto written = ::write(STDERR_FILENO, line.data(), line.size());
  std::_Exit(1);
}

}  // namespace zel::agent
