#pragma once
// The built-in table of the browsers the agent may read, and how each must be
// treated: which chat sites, profile pages, private-window rules, signer and
// accessibility switch. Browser-specific decisions elsewhere are data here.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json_text.h"
#include "base/result.h"
#include "base/system.h"
#include "browsers/known_app_row.h"

namespace zel::browsers {

// A browser's row: the shape every known application has, and what only a
// browser has.
struct Browser : KnownAppRow {
  enum class Engine { chromium, webkit, gecko };

  struct AlwaysPrivate {
    std::string pref;  // preference that, when true, makes every window private
    std::string root;  // profile root, relative to the home directory
    // Further places the browser may keep profiles (a sandboxed package's).
    std::vector<std::string> otherRoots;
    friend bool operator==(const AlwaysPrivate&, const AlwaysPrivate&) = default;
  };

  struct PrivateRule {
    std::vector<std::string> titleSuffixes;
    std::vector<std::string> titleLanguages;
    std::vector<std::string> shownMenus;
    std::vector<std::string> privateMarkers;
    std::vector<std::string> normalMarkers;
    std::optional<AlwaysPrivate> alwaysPrivate;
    // Whether the menu bar's titles must confirm the interface language. A
    // browser without a menu bar (Chromium on Linux) takes its language from
    // its process alone, which is also what it shows its interface in.
    bool menusConfirmLanguage = true;
    friend bool operator==(const PrivateRule&, const PrivateRule&) = default;
  };

  struct Reads {
    std::vector<std::string> chats;  // "chatgpt", "claude", "grok"
    bool profiles = false;
    friend bool operator==(const Reads&, const Reads&) = default;
  };

  struct Verified {
    std::string date;
    std::string version;
    friend bool operator==(const Verified&, const Verified&) = default;
  };

  Engine engine = Engine::chromium;
  PrivateRule privateWindow;
  Reads reads;
  Verified verified;

  friend bool operator==(const Browser&, const Browser&) = default;

  bool readsChat(std::string_view site) const;
};

std::string_view rawValue(Browser::Engine e);

// Decodes the JSON form ("bundleId", "private", ...). Errors name the key path.
Result<Browser> browserFromJSON(const Json& j);

// The table has one set of rows per operating system, chosen by the platform
// in use (recorded trees and the simulated desktop speak macOS); every caller
// names the system it reads.
namespace Browsers {

// macOS: Chrome, Safari and Firefox, in this order; Linux: Chrome (Chromium
// and Google Chrome) and Firefox. Built once, never changed.
const std::vector<Browser>& all(System system);
// The rows that read chats or profiles.
const std::vector<const Browser*>& read(System system);
// The row with exactly this bundle identifier.
const Browser* named(std::string_view bundleID, System system);
// Whether a window title ends like a private window of any browser of any
// system, for windows whose browser is not known.
bool endsLikePrivateWindow(const std::optional<std::string>& title);
// The first entry of an application's "AppleLanguages" preference, when it is
// a list of strings.
std::optional<std::string> interfaceLanguage(const std::optional<Json>& appleLanguages);

}  // namespace Browsers

}  // namespace zel::browsers
