#pragma once
// Which page addresses are chat conversations: an address taken apart once,
// the conversation address of a source's pages (each chat site's folder
// knows its own shapes, its row in ChatSites points there), and the pages a
// desktop chat application may show as its own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chat/conversation.h"

namespace zel::chat {

namespace ChatPage {

// An https address taken apart; views into the address it was made of.
struct Address {
  std::string_view host;
  std::vector<std::string_view> segments;  // of the path, a trailing "/" dropped
  std::string_view query;                  // without "?"
  std::string_view withoutQuery;           // "https://host/path", as written
};

// The pieces of an https address with a path; nullopt for anything else.
std::optional<Address> parsed(std::string_view url);

// Letters, digits, "_" and "-", at most 128: what a conversation's id is.
bool isIdentifier(std::string_view s);

// The conversation address of `url` for a source, compared byte for byte:
// scheme, host and path shape must be exactly a conversation's. Query and
// fragment are dropped (the X form keeps its conversation item).
std::optional<std::string> address(std::string_view url, Source source);

// Whether a desktop app's conversation shows a page that is not one of the
// user's own conversations.
bool refuses(const Conversation& conversation);

}  // namespace ChatPage

}  // namespace zel::chat
