#include "profile/x/x_page.h"

namespace zel::XPage {

std::optional<ProfilePage> pageOfPath(const std::vector<std::string>& segments) {
  if (segments.size() != 1) return std::nullopt;
  auto handle = ProfilePage::normalizedHandle(segments[0]);
  if (!handle) return std::nullopt;
  return ProfilePage{ProfilePage::Site::x, std::move(*handle), ProfilePage::View::profile};
}

}  // namespace zel::XPage
