// Firefox's profiles.ini and preference files, as private-window screening
// reads them from a profile folder.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "browsers/browsers.h"
#include "browsers/private_windows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  using namespace zel::browsers;
  namespace fs = std::filesystem;
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)PrivateWindows::withoutComments(text);

  // The input split in three: profiles.ini, prefs.js, user.js of one profile.
  static const fs::path home = fs::temp_directory_path() / ("zel-fuzz-firefox-" + std::to_string(::getpid()));
  const Browser* firefox = Browsers::named("org.mozilla.firefox", System::macOS);
  if (!firefox || !firefox->privateWindow.alwaysPrivate) return 0;
  const auto& rule = *firefox->privateWindow.alwaysPrivate;
  const fs::path root = home / rule.root;
  fs::create_directories(root / "p");
  const size_t a = text.size() / 3, b = 2 * text.size() / 3;
  std::ofstream(root / "profiles.ini") << text.substr(0, a);
  std::ofstream(root / "p" / "prefs.js") << text.substr(a, b - a);
  std::ofstream(root / "p" / "user.js") << text.substr(b);
  (void)PrivateWindows::profiles(root);
  (void)PrivateWindows::allowsReading(rule, home, [](const fs::path&) { return true; });
  return 0;
}
