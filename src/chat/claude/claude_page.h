#pragma once
// Claude's conversation addresses, in a browser and in the desktop app:
// claude.ai/chat/<id>, and a code session's claude.ai/epitaxy/session_<id>.

#include <optional>
#include <string>

#include "chat/chat_page.h"

namespace zel::chat::ClaudePage {

std::optional<std::string> conversation(const HttpsAddress& page);

}  // namespace zel::chat::ClaudePage
