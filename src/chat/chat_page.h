#pragma once
// Which page addresses are chat conversations: the conversation address of
// a source's pages (each chat site's folder knows its own shapes, given the
// address taken apart once, `HttpsAddress`; its row in ChatSites points
// there), and the pages a desktop chat application may show as its own.

#include <optional>
#include <string>
#include <string_view>

#include "base/address_pieces.h"
#include "chat/conversation.h"

namespace zel::chat {

namespace ChatPage {

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
