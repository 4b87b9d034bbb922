#pragma once
// The chat sites read in browsers, one row each: the site's name (its word
// in a browser row's `reads.chats`), the source its pages are, and its
// extractor. A browser finds the site of a page here, not by a branch.

#include <memory>
#include <string_view>
#include <vector>

#include "base/capture_clock.h"
#include "chat/conversation.h"

namespace zel {

struct ChatSite {
  std::string_view name;
  Source source;  // its web pages' (ChatPage::address knows their addresses)
  std::unique_ptr<Extractor> (*extractor)(const CaptureClock& clock);
};

namespace ChatSites {

// Claude, ChatGPT, Grok: a page is the first row whose address it has.
const std::vector<ChatSite>& all();

}  // namespace ChatSites

}  // namespace zel
