#pragma once
// The one table of the applications the agent knows on a system: its
// browsers, then the desktop chat apps, every row of one shape
// (`KnownAppRow`) with the browser or chat app row it is. A read looks its
// target up once and hands the rows down, so that no step looks them up
// again.

#include <string>
#include <string_view>
#include <vector>

#include "base/system.h"
#include "browsers/browsers.h"
#include "browsers/chat_apps.h"
#include "browsers/known_app_row.h"

namespace zel::browsers {

struct KnownApp {
  std::string bundleID;
  const KnownAppRow* row = nullptr;  // its row, when the table has one
  const Browser* browser = nullptr;  // the same row, when a browser of the system
  const ChatApp* chatApp = nullptr;  // the same row, when a desktop chat app

  // The table's entry for `bundleID`, or one with no row.
  static KnownApp named(std::string_view bundleID, System system);
  bool known() const { return row != nullptr; }
};

namespace KnownApps {

// The browsers of `system` in their table's order, then the chat apps.
const std::vector<KnownApp>& all(System system);

}  // namespace KnownApps

}  // namespace zel::browsers
