#pragma once
// ChatGPT's conversation addresses: chatgpt.com/c/<id>, and a project's
// chatgpt.com/g/<project>/c/<id>.

#include <optional>
#include <string>

#include "chat/chat_page.h"

namespace zel::chat::ChatGPTPage {

std::optional<std::string> conversation(const HttpsAddress& page);

}  // namespace zel::chat::ChatGPTPage
