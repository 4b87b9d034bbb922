// Page and image addresses through every reader of them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/address_pieces.h"
#include "chat/chat_page.h"
#include "profile/profile_page.h"
#include "profile/profile_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (Source s : {Source::chatGPTWeb, Source::claudeWeb, Source::grokWeb}) (void)ChatPage::address(text, s);
  if (auto page = ProfilePage::parse(text)) {
    // A page's key names it again.
    if (page->handle.empty()) __builtin_trap();
  }
  if (auto link = LinkPath::parse(text)) {
    (void)link->linkedInMember();
    (void)link->underLinkedIn("sample");
  }
  (void)ProfileImage::size(text);
  (void)ProfileImage::expiry(text);
  (void)ProfilePage::normalizedSlug(text);
  (void)ProfilePage::normalizedHandle(text);
  (void)percentDecoded(text);
  return 0;
}
