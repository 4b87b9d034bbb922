#pragma once
// The web hosts the capture rules compare against, byte for byte. They are
// configuration: one value per role, kept here and nowhere else.

#include <string_view>

namespace zel::hosts {

inline constexpr std::string_view chatGPTWeb = "chatgpt.com";
inline constexpr std::string_view claudeWeb = "claude.ai";
inline constexpr std::string_view grokWeb = "grok.com";
inline constexpr std::string_view x = "x.com";
inline constexpr std::string_view linkedInWeb = "www.linkedin.com";
inline constexpr std::string_view linkedInImages = "media.licdn.com";
inline constexpr std::string_view xImages = "pbs.twimg.com";

}  // namespace zel::hosts
