#include "browsers/browsers.h"

#include <algorithm>

#include "base/ax_vocabulary.h"
#include "base/json_fields.h"
#include "base/unicode_text.h"

namespace zel::browsers {

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
  firefox.treeSwitch = AX::EnhancedUserInterface;
  firefox.privateWindow.privateMarkers = {"reset-pbm-toolbar-button"};
  firefox.reads = {{"chatgpt", "claude"}, true};
  return firefox;
}

std::vector<Browser> macOSRows() {
  Browser chrome = chromeRow();
  chrome.treeWake = AX::Role;
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
  chrome.treeSwitch = AX::ManualAccessibility;
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

// Reads a row's members through JsonFields; the first problem is worded
// with the member's path ("private.titleSuffixes: must be a list of texts").
struct RowProblem {
  std::string message;
};

struct Decoder {
  // Reads `object`, found at `path` ("" or "name."), with `read`.
  template <class Read>
  static void at(const Json& object, const std::string& path, Read&& read) {
    try {
      read(JsonFields(object));
    } catch (const JsonFieldProblem& p) {
      throw RowProblem{path + p.key + ": " + std::string(mustBe(p.kind))};
    }
  }

  static Browser::Signer signer(const Json& j) {
    Browser::Signer out;
    at(j, "signer.", [&](const JsonFields& f) {
      const std::string kind = f.text("kind");
      if (kind == "apple") {
        out = {Browser::Signer::Kind::apple, ""};
        return;
      }
      if (kind != "developerId") throw RowProblem{"signer.kind: signer " + kind};
      out.kind = Browser::Signer::Kind::developerId;
      out.team = f.text("team");
    });
    return out;
  }

  static Browser::PrivateRule privateRule(const Json& j) {
    Browser::PrivateRule out;
    const std::string p = "private.";
    at(j, p, [&](const JsonFields& f) {
      out.titleSuffixes = f.texts("titleSuffixes");
      out.titleLanguages = f.texts("titleLanguages");
      out.shownMenus = f.texts("shownMenus");
      out.privateMarkers = f.texts("privateMarkers");
      out.normalMarkers = f.texts("normalMarkers");
      if (auto confirm = f.optionalBoolean("menusConfirmLanguage")) out.menusConfirmLanguage = *confirm;
    });
    const Json* always = nullptr;
    at(j, p, [&](const JsonFields& f) { always = f.optionalObject("alwaysPrivate"); });
    if (!always) return out;
    Browser::AlwaysPrivate a;
    at(*always, p + "alwaysPrivate.", [&](const JsonFields& f) {
      a.pref = f.text("pref");
      a.root = f.text("root");
      a.otherRoots = f.optionalTexts("otherRoots").value_or(std::vector<std::string>{});
    });
    out.alwaysPrivate = std::move(a);
    return out;
  }
};

}  // namespace

Result<Browser> browserFromJSON(const Json& j) {
  using R = Result<Browser>;
  if (!j.is_object()) return R::failure("a browser must be an object");
  Browser b;
  try {
    std::string engine;
    const Json *signer = nullptr, *priv = nullptr, *reads = nullptr, *verified = nullptr;
    Decoder::at(j, "", [&](const JsonFields& f) {
      b.bundleID = f.text("bundleId");
      b.name = f.text("name");
      engine = f.text("engine");
    });
    if (engine != "chromium" && engine != "webkit" && engine != "gecko") throw RowProblem{"engine: engine " + engine};
    Decoder::at(j, "", [&](const JsonFields& f) { signer = &f.object("signer"); });
    b.signer = Decoder::signer(*signer);
    Decoder::at(j, "", [&](const JsonFields& f) {
      b.treeSwitch = f.optionalText("treeSwitch");
      b.treeWake = f.optionalText("treeWake");
      priv = &f.object("private");
    });
    b.privateWindow = Decoder::privateRule(*priv);
    Decoder::at(j, "", [&](const JsonFields& f) { reads = &f.object("reads"); });
    Decoder::at(*reads, "reads.", [&](const JsonFields& f) {
      b.reads.chats = f.texts("chats");
      b.reads.profiles = f.boolean("profiles");
    });
    Decoder::at(j, "", [&](const JsonFields& f) { verified = &f.object("verified"); });
    Decoder::at(*verified, "verified.", [&](const JsonFields& f) {
      b.verified.date = f.text("date");
      b.verified.version = f.text("version");
    });
    b.engine = engine == "chromium" ? Browser::Engine::chromium
               : engine == "webkit" ? Browser::Engine::webkit
                                    : Browser::Engine::gecko;
  } catch (const RowProblem& p) {
    return R::failure(p.message);
  }
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

}  // namespace zel::browsers
