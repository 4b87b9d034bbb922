#include "browsers/browsers.h"

#include <algorithm>

#include "base/unicode_text.h"

namespace zel {

bool Browser::readsChat(std::string_view site) const {
  return std::find(reads.chats.begin(), reads.chats.end(), site) != reads.chats.end();
}

std::string_view rawValue(Browser::Engine e) {
  switch (e) {
    case Browser::Engine::chromium: return "chromium";
    case Browser::Engine::webkit: return "webkit";
    case Browser::Engine::gecko: return "gecko";
  }
  return {};
}

namespace {

Browser::Signer developerId(std::string team) { return {Browser::Signer::Kind::developerId, std::move(team)}; }

// The private-browsing ending of Firefox's window titles on macOS, in every
// language Firefox ships; each is compared as a whole, em dash and spaces
// included.
const std::vector<std::string>& firefoxPrivateEndings() {
  static const std::vector<std::string> endings{
      " — Private Browsing",
      " — Anonymní prohlížení",
      " — Brabhsadh prìobhaideach",
      " — Duyệt web riêng tư",
      " — Gizli Gezinti",
      " — Huliðsvafur",
      " — Ichinan okem pa k'amaya'l",
      " — Kundaha ñemi",
      " — Modus privat",
      " — Məxfi Səyahət",
      " — Nabigatze pribatua",
      " — Navegació privada",
      " — Navegación privada",
      " — Navegaçion Privâ",
      " — Navegação privada",
      " — Navegação privativa",
      " — Navigare privată",
      " — Navigation private",
      " — Navigation privée",
      " — Navigatzione privada",
      " — Navigazion privade",
      " — Navigazione anonima",
      " — Pelayaran Peribadi",
      " — Penjelajahan Pribadi",
      " — Pori Preifat",
      " — Privat browsing",
      " — Privat nettlesing",
      " — Privat surfning",
      " — Privata retumo",
      " — Privater Modus",
      " — Privatno pregledavanje",
      " — Privatno pretraživanje",
      " — Priveenavigaasje",
      " — Privát böngészés",
      " — Privénavigatie",
      " — Privātā pārlūkošana",
      " — Priwatny modus",
      " — Shfletim Privat",
      " — Súkromné prehliadanie",
      " — Tryb prywatny",
      " — Tunigin tusligt",
      " — Yksityinen selaus",
      " — Zasebno brskanje",
      " — Ιδιωτική περιήγηση",
      " — Жекелік шолу",
      " — Поверително сърфиране",
      " — Приватний перегляд",
      " — Приватный просмотр",
      " — Прыватнае агляданне",
      " — Тамошобинии махфӣ",
      " — приватно прегледање",
      " — Գաղտնի դիտարկում",
      " — גלישה פרטית",
      " — التصفح الخاص",
      " — مرور ناشناس",
      " — نجی براؤزنگ",
      " — گشتن سیخومی",
      " — ব্যক্তিগত ব্রাউজিং",
      " — ਪ੍ਰਾਈਵੇਟ ਬਰਾਊਜ਼ਿੰਗ",
      " — అంతరంగిక విహరణ",
      " — സ്വകാര്യ തിരച്ചിൽ",
      " — การท่องเว็บแบบส่วนตัว",
      " — ການທ່ອງເວັບແບບສ່ວນຕົວ",
      " — პირადი თვალიერება",
      " — プライベートブラウジング",
      " — 隐私浏览",
      " — 隱私瀏覽模式",
      " — 사생활 보호 모드",
  };
  return endings;
}

// What Chrome and Firefox are on every system; each system's rows add how
// their trees are switched on and how their windows are judged there.
Browser chromeRow() {
  Browser chrome;
  chrome.bundleID = "com.google.Chrome";
  chrome.name = "Chrome";
  chrome.engine = Browser::Engine::chromium;
  chrome.signer = developerId("EQHXZ8M8AV");
  chrome.privateWindow.titleSuffixes = {"(Incognito)", "(Guest)"};
  chrome.privateWindow.titleLanguages = {"en"};
  chrome.reads = {{"chatgpt", "claude", "grok"}, true};
  return chrome;
}

Browser firefoxRow() {
  Browser firefox;
  firefox.bundleID = "org.mozilla.firefox";
  firefox.name = "Firefox";
  firefox.engine = Browser::Engine::gecko;
  firefox.signer = developerId("43AQ936H96");
  firefox.treeSwitch = "AXEnhancedUserInterface";
  firefox.privateWindow.privateMarkers = {"reset-pbm-toolbar-button"};
  firefox.reads = {{"chatgpt", "claude"}, true};
  return firefox;
}

std::vector<Browser> macOSRows() {
  Browser chrome = chromeRow();
  chrome.treeWake = "AXRole";
  chrome.privateWindow.shownMenus = {"File", "Edit", "View", "History", "Bookmarks"};
  chrome.verified = {"2026-11-18", "158.0.8127.36"};

  Browser safari;
  safari.bundleID = "com.apple.Safari";
  safari.name = "Safari";
  safari.engine = Browser::Engine::webkit;
  safari.signer = {Browser::Signer::Kind::apple, ""};
  safari.privateWindow.titleSuffixes = {", Private Browsing"};
  safari.privateWindow.privateMarkers = {"SidebarLibraryItemTabGroup?isPrivate=true"};
  safari.privateWindow.normalMarkers = {"TabGroupPickerButton"};
  safari.reads = {{"chatgpt", "claude", "grok"}, true};
  safari.verified = {"2026-11-18", "26.6.2"};

  Browser firefox = firefoxRow();
  firefox.privateWindow.titleSuffixes = firefoxPrivateEndings();
  firefox.privateWindow.alwaysPrivate =
      Browser::AlwaysPrivate{"browser.privatebrowsing.autostart", "Library/Application Support/Firefox", {}};
  firefox.verified = {"2026-11-20", "159.0"};

  return {chrome, safari, firefox};
}

// Linux: Chromium and Google Chrome share Chrome's identity, Firefox and
// Firefox ESR Firefox's (the process table of the Linux backend). Their code
// signature stands for the executable's ownership there. Verified under Xvfb
// with Chromium 156 and Firefox ESR 153.
std::vector<Browser> linuxRows() {
  Browser chrome = chromeRow();
  // Chromium joins the bus only while accessibility is on, and builds a
  // window's web tree once a client reads that window: both are the switch.
  chrome.treeSwitch = "AXManualAccessibility";
  // No menu bar on Linux: the language comes from the process alone.
  chrome.privateWindow.menusConfirmLanguage = false;
  chrome.verified = {"2026-12-10", "156.0.8078.129"};

  Browser firefox = firefoxRow();
  // Linux titles end "Page — Mozilla Firefox Private Browsing"; the macOS
  // endings stay in case a build puts the brand elsewhere.
  const std::string dash = " — ";
  for (const auto& ending : firefoxPrivateEndings())
    firefox.privateWindow.titleSuffixes.push_back(dash + "Mozilla Firefox " + ending.substr(dash.size()));
  for (const auto& ending : firefoxPrivateEndings()) firefox.privateWindow.titleSuffixes.push_back(ending);
  firefox.privateWindow.alwaysPrivate = Browser::AlwaysPrivate{
      "browser.privatebrowsing.autostart", ".mozilla/firefox", {"snap/firefox/common/.mozilla/firefox"}};
  firefox.verified = {"2026-12-10", "153.8.0esr"};

  return {chrome, firefox};
}

// ---- JSON form ----

struct Decoder {
  std::string error;

  bool fail(const std::string& path, const std::string& what) {
    if (error.empty()) error = path + ": " + what;
    return false;
  }

  const Json* member(const Json& j, const std::string& path, const char* key, bool required = true) {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) {
      if (required) fail(path + key, "is missing");
      return nullptr;
    }
    return &*it;
  }

  bool text(const Json& j, const std::string& path, const char* key, std::string& out) {
    const Json* v = member(j, path, key);
    if (!v) return false;
    if (!v->is_string()) return fail(path + key, "must be a text");
    out = v->get<std::string>();
    return true;
  }

  bool optionalText(const Json& j, const std::string& path, const char* key, std::optional<std::string>& out) {
    const Json* v = member(j, path, key, false);
    if (!v) return true;
    if (!v->is_string()) return fail(path + key, "must be a text");
    out = v->get<std::string>();
    return true;
  }

  bool texts(const Json& j, const std::string& path, const char* key, std::vector<std::string>& out) {
    const Json* v = member(j, path, key);
    if (!v) return false;
    if (!v->is_array()) return fail(path + key, "must be a list of texts");
    for (const Json& item : *v) {
      if (!item.is_string()) return fail(path + key, "must be a list of texts");
      out.push_back(item.get<std::string>());
    }
    return true;
  }

  bool object(const Json& j, const std::string& path, const char* key, const Json*& out) {
    out = member(j, path, key);
    if (!out) return false;
    if (!out->is_object()) return fail(path + key, "must be an object");
    return true;
  }

  bool signer(const Json& j, Browser::Signer& out) {
    std::string kind;
    if (!text(j, "signer.", "kind", kind)) return false;
    if (kind == "apple") {
      out = {Browser::Signer::Kind::apple, ""};
      return true;
    }
    if (kind != "developerId") return fail("signer.kind", "signer " + kind);
    out.kind = Browser::Signer::Kind::developerId;
    return text(j, "signer.", "team", out.team);
  }

  bool privateRule(const Json& j, Browser::PrivateRule& out) {
    const std::string p = "private.";
    if (!texts(j, p, "titleSuffixes", out.titleSuffixes) || !texts(j, p, "titleLanguages", out.titleLanguages) ||
        !texts(j, p, "shownMenus", out.shownMenus) || !texts(j, p, "privateMarkers", out.privateMarkers) ||
        !texts(j, p, "normalMarkers", out.normalMarkers))
      return false;
    if (const Json* confirm = member(j, p, "menusConfirmLanguage", false)) {
      if (!confirm->is_boolean()) return fail(p + "menusConfirmLanguage", "must be true or false");
      out.menusConfirmLanguage = confirm->get<bool>();
    }
    const Json* always = member(j, p, "alwaysPrivate", false);
    if (!always) return true;
    if (!always->is_object()) return fail(p + "alwaysPrivate", "must be an object");
    Browser::AlwaysPrivate a;
    if (!text(*always, p + "alwaysPrivate.", "pref", a.pref) || !text(*always, p + "alwaysPrivate.", "root", a.root))
      return false;
    if (member(*always, p + "alwaysPrivate.", "otherRoots", false) &&
        !texts(*always, p + "alwaysPrivate.", "otherRoots", a.otherRoots))
      return false;
    out.alwaysPrivate = std::move(a);
    return true;
  }
};

}  // namespace

Result<Browser> browserFromJSON(const Json& j) {
  using R = Result<Browser>;
  if (!j.is_object()) return R::failure("a browser must be an object");
  Decoder d;
  Browser b;
  std::string engine;
  const Json *signer, *priv, *reads, *verified;
  const bool ok =
      d.text(j, "", "bundleId", b.bundleID) && d.text(j, "", "name", b.name) && d.text(j, "", "engine", engine) &&
      (engine == "chromium" || engine == "webkit" || engine == "gecko" || d.fail("engine", "engine " + engine)) &&
      d.object(j, "", "signer", signer) && d.signer(*signer, b.signer) &&
      d.optionalText(j, "", "treeSwitch", b.treeSwitch) && d.optionalText(j, "", "treeWake", b.treeWake) &&
      d.object(j, "", "private", priv) && d.privateRule(*priv, b.privateWindow) &&
      d.object(j, "", "reads", reads) && d.texts(*reads, "reads.", "chats", b.reads.chats) &&
      [&] {
        const Json* profiles = d.member(*reads, "reads.", "profiles");
        if (!profiles) return false;
        if (!profiles->is_boolean()) return d.fail("reads.profiles", "must be true or false");
        b.reads.profiles = profiles->get<bool>();
        return true;
      }() &&
      d.object(j, "", "verified", verified) && d.text(*verified, "verified.", "date", b.verified.date) &&
      d.text(*verified, "verified.", "version", b.verified.version);
  if (!ok) return R::failure(d.error);
  b.engine = engine == "chromium" ? Browser::Engine::chromium
             : engine == "webkit" ? Browser::Engine::webkit
                                  : Browser::Engine::gecko;
  return b;
}

namespace Browsers {

const std::vector<Browser>& all(System system) {
  static const std::vector<Browser> macOS = macOSRows();
  static const std::vector<Browser> linux = linuxRows();
  return system == System::macOS ? macOS : linux;
}

const std::vector<const Browser*>& read(System system) {
  auto readRows = [](System s) {
    std::vector<const Browser*> r;
    for (const Browser& b : all(s))
      if (!b.reads.chats.empty() || b.reads.profiles) r.push_back(&b);
    return r;
  };
  static const std::vector<const Browser*> macOS = readRows(System::macOS);
  static const std::vector<const Browser*> linuxRows = readRows(System::Linux);
  return system == System::macOS ? macOS : linuxRows;
}

const Browser* named(std::string_view bundleID, System system) {
  for (const Browser& b : all(system))
    if (b.bundleID == bundleID) return &b;
  return nullptr;
}

bool endsLikePrivateWindow(const std::optional<std::string>& title) {
  if (!title) return false;
  // Every row's endings in table order, so the title is normalised once.
  static const std::vector<std::string> endings = [] {
    std::vector<std::string> every;
    for (System s : {System::macOS, System::Linux})
      for (const Browser& b : all(s))
        every.insert(every.end(), b.privateWindow.titleSuffixes.begin(), b.privateWindow.titleSuffixes.end());
    return every;
  }();
  return endsWithAnyCanonically(*title, endings);
}

std::optional<std::string> interfaceLanguage(const std::optional<Json>& value) {
  if (!value || !value->is_array() || value->empty()) return std::nullopt;
  for (const Json& item : *value)
    if (!item.is_string()) return std::nullopt;
  return value->front().get<std::string>();
}

}  // namespace Browsers

}  // namespace zel
