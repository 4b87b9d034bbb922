#include "browsers/known_app.h"

namespace zel::browsers {

namespace KnownApps {

namespace {
std::vector<KnownApp> built(System system) {
  std::vector<KnownApp> table;
  for (const Browser& b : Browsers::all(system)) table.push_back({b.bundleID, &b, &b, nullptr});
  for (const ChatApp& a : ChatApps::all()) table.push_back({a.bundleID, &a, nullptr, &a});
  return table;
}
}  // namespace

const std::vector<KnownApp>& all(System system) {
  static const std::vector<KnownApp> macOSTable = built(System::macOS), linuxTable = built(System::Linux);
  return system == System::Linux ? linuxTable : macOSTable;
}

}  // namespace KnownApps

KnownApp KnownApp::named(std::string_view bundleID, System system) {
  for (const KnownApp& app : KnownApps::all(system))
    if (app.bundleID == bundleID) return app;
  return {std::string(bundleID)};
}

}  // namespace zel::browsers
