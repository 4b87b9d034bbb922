#pragma once
// The chat sites, one row each: the site's name (its word in a browser row's
// `reads.chats`), the sources its pages are, which of its addresses are
// conversations, and its extractor. Each site's knowledge lives in its own
// folder (chatgpt/, claude/, grok/); a page finds its site here, not by a
// branch.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/capture_clock.h"
#include "chat/chat_page.h"
#include "chat/conversation.h"

namespace zel::chat {

struct ChatSite {
  std::string_view name;
  Source source;                    // its pages' in a browser
  std::optional<Source> appSource;  // a desktop app's that shows its pages, if any
  // The conversation address of a page of the site; nullopt for any other.
  std::optional<std::string> (*conversation)(const HttpsAddress& page);
  // The sources its extractor reads, the first its pages'; empty: its own
  // only, whatever is asked.
  std::vector<Source> extractorSources;
  // Its extractor, reading conversations of `source` (one of those above).
  std::unique_ptr<Extractor> (*extractor)(Source source, const CaptureClock& clock);
};

namespace ChatSites {

// Claude, ChatGPT, Grok: a page is the first row whose address it has.
const std::vector<ChatSite>& all();
// The site whose pages a source shows; null for a source with no addresses
// (the ChatGPT app's conversations are its own).
const ChatSite* showing(Source source);
// The row named `name` ("chatgpt", ...); null for another word.
const ChatSite* named(std::string_view name);

}  // namespace ChatSites

}  // namespace zel::chat
