// Page and image addresses through every reader of them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/address_pieces.h"
#include "chat/chat_page.h"
#include "profile/linkedin/linkedin_page.h"
#include "profile/profile_page.h"
#include "profile/x/x_page.h"
#include "profile/profile_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  using namespace zel::chat;
  using namespace zel::profile;
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (Source s : {Source::chatGPTWeb, Source::claudeWeb, Source::grokWeb}) (void)ChatPage::address(text, s);
  if (auto page = ProfilePage::parse(text)) {
    // A page's key names it again.
    if (page->handle.empty()) __builtin_trap();
  }
  if (auto link = LinkPath::parse(text)) {
    (void)LinkedInPage::memberOf(*link);
    (void)LinkedInPage::under(*link, "sample");
  }
  (void)ProfileImage::size(text);
  (void)ProfileImage::expiry(text);
  (void)LinkedInPage::normalizedSlug(text);
  (void)XPage::normalizedHandle(text);
  (void)percentDecoded(text);
  return 0;
}
