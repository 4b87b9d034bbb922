#pragma once
// An application the agent knows, found once in its tables: the browser row
// of the system in use, or the desktop chat app row. A read looks its target
// up once and hands the rows down, so that no step looks them up again.

#include <string>
#include <string_view>

#include "base/system.h"
#include "browsers/browsers.h"
#include "browsers/chat_apps.h"

namespace zel {

struct KnownApp {
  std::string bundleID;
  const Browser* browser = nullptr;  // its row, when a browser of `system`
  const ChatApp* chatApp = nullptr;  // its row, when a desktop chat app

  static KnownApp named(std::string_view bundleID, System system);
  bool known() const { return browser || chatApp; }
};

}  // namespace zel
