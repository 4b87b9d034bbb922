#pragma once
// Which page addresses are chat conversations: the exact shape of a
// conversation address of each chat site, and the pages a desktop chat
// application may show as its own.

#include <optional>
#include <string>
#include <string_view>

#include "chat/conversation.h"

namespace zel {

namespace ChatPage {

// The conversation address of `url` for a source, compared byte for byte:
// scheme, host and path shape must be exactly a conversation's. Query and
// fragment are dropped (the X form keeps its conversation item).
std::optional<std::string> address(std::string_view url, Source source);

// Whether a desktop app's conversation shows a page that is not one of the
// user's own conversations.
bool refuses(const Conversation& conversation);

}  // namespace ChatPage

}  // namespace zel
