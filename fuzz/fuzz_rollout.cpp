// Codex rollout lines: the user's text of a line, and its words.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "chat/chatgpt/codex_identity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  using namespace zel::chat;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  if (auto text = CodexIdentity::userText(line)) (void)CodexIdentity::words(*text);
  (void)CodexIdentity::words(line);
  return 0;
}
