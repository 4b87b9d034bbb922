#pragma once
// Grok's conversation addresses: grok.com/c/<id>, and Grok inside X,
// x.com/i/grok?conversation=<id> (the first conversation item decides, and
// is kept).

#include <optional>
#include <string>

#include "chat/chat_page.h"

namespace zel::chat::GrokPage {

std::optional<std::string> conversation(const HttpsAddress& page);

}  // namespace zel::chat::GrokPage
