#include "browsers/known_app.h"

namespace zel {

KnownApp KnownApp::named(std::string_view bundleID, System system) {
  return {std::string(bundleID), Browsers::named(bundleID, system), ChatApps::named(bundleID)};
}

}  // namespace zel
