// Control lines, as the control-line thread takes them, and every question
// the readers ask of profile control afterwards.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "profile/profile_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  using namespace zel::profile;
  ProfileControl control({ProfilePage::Site::linkedin, ProfilePage::Site::x});
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  Date now{800000000};
  while (!rest.empty()) {
    const size_t end = std::min(rest.find('\n'), rest.size());
    if (auto line = ControlLine::parse(rest.substr(0, end))) control.apply(*line, now);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    now = now.adding(1);
  }
  for (auto site : {ProfilePage::Site::linkedin, ProfilePage::Site::x}) {
    (void)control.isArmed(site, now);
    (void)control.isSaved(site);
    const ProfilePage page{site, "sample", ProfilePage::View::profile};
    (void)control.mayWalk(page, now, true);
    (void)control.isOtherHandle(page, now, true);
  }
  (void)control.wantsRead({}, now);
  return 0;
}
