// Conversations and profile records, both ways: what decodes encodes, and
// encoding what that decodes to gives the same text again.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "chat/conversation.h"
#include "profile/profile_read.h"

namespace {

template <class Decode, class Encode>
void roundTrip(const zel::Json& j, Decode decode, Encode encode) {
  auto first = decode(j);
  if (!first) return;
  const auto text = encode(first.value());
  if (!text) return;  // text that is not UTF-8 is never written
  auto second = decode(zel::Json::parse(*text));
  if (!second || encode(second.value()) != text) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  using namespace zel::chat;
  using namespace zel::profile;
  const Json j = Json::parse(data, data + size, nullptr, false);
  if (j.is_discarded()) return 0;
  roundTrip(j, conversationFromJSON, [](const Conversation& c) { return encodeConversation(c, DateForm::nanoseconds); });
  roundTrip(j, profileReadFromJSON, [](const ProfileRead& r) {
    return encodeLine([&](JSONWriter& w) { writeJSON(w, r, DateForm::nanoseconds); });
  });
  roundTrip(j, profileStatusFromJSON, [](const ProfileStatus& s) {
    return encodeLine([&](JSONWriter& w) { writeJSON(w, s); });
  });
  return 0;
}
