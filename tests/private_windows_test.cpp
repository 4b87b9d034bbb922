#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "browsers/private_windows.h"
#include "support/temp_dir.h"

namespace zel {
using namespace zel::browsers;
namespace {

namespace fs = std::filesystem;
using PrivateWindows::allowsReading;

const Browser& chrome() { return *Browsers::named("com.google.Chrome", System::macOS); }
const Browser& safari() { return *Browsers::named("com.apple.Safari", System::macOS); }
const Browser& firefox() { return *Browsers::named("org.mozilla.firefox", System::macOS); }

TEST(PrivateWindows, LanguageAndMenuGate) {
  const auto& rule = chrome().privateWindow;
  for (const char* ok : {"en", "en-GB", "en_US", "EN", "-en"})
    EXPECT_TRUE(PrivateWindows::languageAllows(rule, std::string(ok))) << ok;
  for (const char* no : {"de-DE", "eng", ""}) EXPECT_FALSE(PrivateWindows::languageAllows(rule, std::string(no))) << no;
  EXPECT_FALSE(PrivateWindows::languageAllows(rule, std::nullopt));
  EXPECT_TRUE(PrivateWindows::languageAllows(safari().privateWindow, std::nullopt));

  const std::vector<std::string> menus{"Apple", "Chrome", "File", "Edit", "View", "History", "Bookmarks", "Window"};
  EXPECT_TRUE(PrivateWindows::readsIn(rule, "en-US", menus));
  EXPECT_FALSE(PrivateWindows::readsIn(rule, "en-US", std::vector<std::string>(menus.begin(), menus.end() - 2)));
  EXPECT_FALSE(PrivateWindows::readsIn(rule, "en-US", std::nullopt));
  EXPECT_FALSE(PrivateWindows::readsIn(rule, "de-DE", menus));
  EXPECT_TRUE(PrivateWindows::readsIn(safari().privateWindow, std::nullopt, std::nullopt));
}

TEST(PrivateWindows, TitlesAndMarkers) {
  const auto& c = chrome().privateWindow;
  EXPECT_TRUE(PrivateWindows::isPrivate(c, "Docs - Google Chrome (Incognito)", {}));
  EXPECT_TRUE(PrivateWindows::isPrivate(c, std::nullopt, {}));  // unreadable title
  EXPECT_FALSE(PrivateWindows::isPrivate(c, "Docs - Google Chrome", {}));

  const auto& s = safari().privateWindow;
  EXPECT_FALSE(PrivateWindows::isPrivate(s, "Docs", {"TabGroupPickerButton"}));
  EXPECT_FALSE(PrivateWindows::isPrivate(s, "Docs", {"x", "TabGroupPickerButton-2"}));
  EXPECT_TRUE(PrivateWindows::isPrivate(s, "Docs", {"other"}));
  EXPECT_TRUE(PrivateWindows::isPrivate(s, "Docs", {"TabGroupPickerButton", "SidebarLibraryItemTabGroup?isPrivate=true&x"}));
  EXPECT_TRUE(PrivateWindows::isPrivate(s, "Docs, Private Browsing", {"TabGroupPickerButton"}));

  const auto& f = firefox().privateWindow;
  EXPECT_TRUE(PrivateWindows::isPrivate(f, "Tab \u2014 Navigation prive\u0301e", {}));  // decomposed
  EXPECT_TRUE(PrivateWindows::isPrivate(f, "Tab \u2014 Navigation priv\u00e9e", {}));
  EXPECT_TRUE(PrivateWindows::isPrivate(f, "Tab", {"reset-pbm-toolbar-button"}));
  EXPECT_FALSE(PrivateWindows::isPrivate(f, "Tab", {"urlbar"}));
}

// Window controls as a test gives them.
struct Control {
  std::optional<std::string> role;
  std::vector<std::string> ids;
  std::vector<Control> children;
};

struct ControlTree {
  using Element = const Control*;
  int reads = 0;
  ControlValues<Element> control(Element c, size_t) {
    ++reads;
    ControlValues<Element> v{c->role, c->ids, {}};
    for (const Control& k : c->children) v.children.push_back(&k);
    return v;
  }
};

TEST(PrivateWindows, ControlsWalkStaysOutOfWebContentAndWithinItsBounds) {
  Control window{"AXWindow", {}, {Control{"AXToolbar", {"TabGroupPickerButton"}, {}},
                                  Control{"AXWebArea", {}, {Control{"AXButton", {"SidebarLibraryItemTabGroup?isPrivate=true"}, {}}}}}};
  ControlTree source;
  auto c = PrivateWindows::controls(source, &window);
  EXPECT_EQ(c.ids, std::vector<std::string>{"TabGroupPickerButton"});
  EXPECT_FALSE(c.unsure);
  const std::optional<std::string> title = "Docs";
  EXPECT_EQ(PrivateWindows::windowVerdict(safari().privateWindow, source, &window, title), WindowVerdict::read);

  Control unsure = window;
  unsure.children.push_back(Control{std::nullopt, {}, {}});
  EXPECT_TRUE(PrivateWindows::controls(source, &unsure).unsure);
  EXPECT_EQ(PrivateWindows::windowVerdict(safari().privateWindow, source, &unsure, title),
            WindowVerdict::controlsUnreadable);
  // A title that marks the window private needs no walk to say so.
  EXPECT_EQ(PrivateWindows::windowVerdict(safari().privateWindow, source, &unsure, "Docs, Private Browsing"),
            WindowVerdict::privateByTitle);

  // Depth: elements at depth 16 are examined, not descended into.
  Control deep{"AXGroup", {"leaf"}, {}};
  for (int d = 0; d < 17; ++d) deep = Control{"AXGroup", {}, {deep}};
  EXPECT_TRUE(PrivateWindows::controls(source, &deep).ids.empty());
  Control shallower = deep.children[0];
  EXPECT_EQ(PrivateWindows::controls(source, &shallower).ids, std::vector<std::string>{"leaf"});

  // At most 800 elements are examined.
  Control wide{"AXWindow", {}, {}};
  for (int i = 0; i < 1000; ++i) wide.children.push_back(Control{"AXButton", {"b" + std::to_string(i)}, {}});
  ControlTree counting;
  EXPECT_EQ(PrivateWindows::controls(counting, &wide).ids.size(), 799u);
  EXPECT_EQ(counting.reads, 800);
}

// A Firefox installation in a temporary home.
class FirefoxHome : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(root_ / "Profiles"); }

  fs::path profile(const std::string& name, std::optional<std::string> prefs, std::optional<std::string> user = {}) {
    const fs::path dir = root_ / "Profiles" / name;
    fs::create_directories(dir);
    if (prefs) std::ofstream(dir / "prefs.js", std::ios::binary) << *prefs;
    if (user) std::ofstream(dir / "user.js", std::ios::binary) << *user;
    std::ofstream(dir / ".parentlock") << "";
    return dir;
  }

  bool allows(const std::set<fs::path>& locked) {
    return allowsReading(*firefox().privateWindow.alwaysPrivate, home_,
                         [&](const fs::path& f) { return locked.contains(f.parent_path()); });
  }
  bool allows(const fs::path& inUse) { return allows(std::set<fs::path>{inUse}); }

  test::TempDir dir_;
  const fs::path home_ = dir_.path();
  const fs::path root_ = home_ / "Library/Application Support/Firefox";
};

const std::string on = "user_pref(\"browser.privatebrowsing.autostart\", true);\n";
const std::string off = "user_pref(\"browser.privatebrowsing.autostart\", false);\n";

TEST_F(FirefoxHome, PreferenceFilesDecideWithUserJsFirst) {
  struct Case {
    const char* name;
    std::optional<std::string> prefs, user;
    bool readable;
  };
  const Case cases[] = {
      {"nothing set", "user_pref(\"other\", true);\n", std::nullopt, true},
      {"prefs on", on, std::nullopt, false},
      {"prefs off", off, std::nullopt, true},
      {"user off overrides prefs on", on, off, true},
      {"user silent, prefs on", on, "// nothing\n", false},
      {"user on overrides prefs off", off, on, false},
      {"last match decides", on + off, std::nullopt, true},
      {"last match decides the other way", off + on, std::nullopt, false},
      {"single quotes and spaces", "  user_pref( 'browser.privatebrowsing.autostart' ,true ) ;\n", std::nullopt, false},
      {"in a block comment", "/* " + on + " */\n", std::nullopt, true},
      {"after //", "// " + on, std::nullopt, true},
      {"after #", "# " + on, std::nullopt, true},
      {"a comment that hides the line start", "x = 1; " + on, std::nullopt, true},
      {"unterminated string", "user_pref(\"a, true);\n", std::nullopt, false},
      {"unterminated block comment", "/* open\n" + off, std::nullopt, false},
      {"unterminated user.js string", off, "'\n", false},
      {"missing prefs.js", std::nullopt, off, false},
      {"not UTF-8", "user_pref(\"x\", \"\xff\");\n", std::nullopt, false},
      {"binary", std::string("\0\x01\x02", 3), std::nullopt, true},
  };
  for (const auto& c : cases) {
    const fs::path dir = profile("p", c.prefs, c.user);
    EXPECT_EQ(allows(dir), c.readable) << c.name;
    fs::remove_all(dir);
  }
}

TEST_F(FirefoxHome, EveryProfileInUseMustBeOffAndOneMustBeInUse) {
  const fs::path a = profile("a.default", off), b = profile("b.work", on);
  EXPECT_TRUE(allows(a));
  EXPECT_FALSE(allows(b));
  EXPECT_FALSE(allows(std::set<fs::path>{a, b}));
  EXPECT_FALSE(allows(std::set<fs::path>{}));  // no profile in use
  fs::remove_all(home_);
  EXPECT_FALSE(allows(a));  // no Firefox at all
}

TEST_F(FirefoxHome, ProfilesIni) {
  std::ofstream(root_ / "profiles.ini") << "[General]\nStartWithLastProfile=1\n\n"
                                          "[Profile0]\nIsRelative=0\nPath=/elsewhere/abs\n"
                                          "[Profile1]\nPath=Profiles/rel\n"
                                          "[Profile2]\nIsRelative=1\nPath=/rooted\n"
                                          "[Profile3]\nPath=late\nIsRelative=0\n"
                                          "[Install1]\nDefault=Profiles/rel\nDefault=noslash\n"
                                          "  Path=Profiles//rel/  \r\n=x\nPath=\nPath=a=b\n";
  profile("from-dir", off);
  auto found = PrivateWindows::profiles(root_);
  ASSERT_TRUE(found);
  std::vector<std::string> paths;
  for (const auto& p : *found) paths.push_back(p.string());
  EXPECT_EQ(paths, (std::vector<std::string>{"/elsewhere/abs", (root_ / "Profiles/rel").string(), "/rooted",
                                             (root_ / "late").string(), (root_ / "a=b").string(),
                                             (root_ / "Profiles/from-dir").string()}));

  std::ofstream(root_ / "profiles.ini", std::ios::binary) << "Path=\xff\n";
  EXPECT_FALSE(PrivateWindows::profiles(root_));
}

// Holds a write lock on a file from another process until destroyed.
class LockFromAnotherProcess {
 public:
  explicit LockFromAnotherProcess(const fs::path& file) {
    int ready[2], release[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(release), 0);
    child_ = ::fork();
    if (child_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      const int fd = ::open(file.c_str(), O_RDWR);
      struct flock lock{};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      const bool locked = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0;
      char byte = locked ? 1 : 0;
      (void)!::write(ready[1], &byte, 1);
      (void)!::read(release[0], &byte, 1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    release_ = release[1];
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 1);
    ::close(ready[0]);
  }
  ~LockFromAnotherProcess() {
    ::close(release_);
    ::waitpid(child_, nullptr, 0);
  }

 private:
  pid_t child_ = -1;
  int release_ = -1;
};

TEST_F(FirefoxHome, AProfileIsInUseWhileAnotherProcessLocksIt) {
  const fs::path dir = profile("live", off);
  EXPECT_FALSE(PrivateWindows::heldByAnotherProcess(dir / ".parentlock"));
  EXPECT_FALSE(PrivateWindows::heldByAnotherProcess(dir / "missing"));
  const auto rule = *firefox().privateWindow.alwaysPrivate;
  EXPECT_FALSE(allowsReading(rule, home_, PrivateWindows::heldByAnotherProcess));
  {
    LockFromAnotherProcess lock(dir / ".parentlock");
    EXPECT_TRUE(PrivateWindows::heldByAnotherProcess(dir / ".parentlock"));
    EXPECT_TRUE(allowsReading(rule, home_, PrivateWindows::heldByAnotherProcess));
  }
  EXPECT_FALSE(PrivateWindows::heldByAnotherProcess(dir / ".parentlock"));
}

TEST(PrivateWindowsComments, WithoutComments) {
  EXPECT_EQ(PrivateWindows::withoutComments("a // x\nb # y\r\nc /* z\n */ d"), "a \nb \r\nc \n d");
  EXPECT_EQ(PrivateWindows::withoutComments("'a // not a comment' \"b # \\\" c\""), "'a // not a comment' \"b # \\\" c\"");
  EXPECT_EQ(PrivateWindows::withoutComments("x // to the end"), "x ");
  EXPECT_EQ(PrivateWindows::withoutComments("'open"), std::nullopt);
  EXPECT_EQ(PrivateWindows::withoutComments("'ends in a backslash\\"), std::nullopt);
  EXPECT_EQ(PrivateWindows::withoutComments("'line\nbreak'"), std::nullopt);
  EXPECT_EQ(PrivateWindows::withoutComments("/* never closed"), std::nullopt);
}

}  // namespace
}  // namespace zel

namespace zel {
namespace {

// ---- the Linux rows ----

const Browser& linuxRow(const char* id) { return *Browsers::named(id, System::Linux); }

TEST(LinuxRows, ChromiumWithoutAMenuBarIsJudgedByItsLanguageAlone) {
  const auto& rule = linuxRow("com.google.Chrome").privateWindow;
  EXPECT_TRUE(PrivateWindows::readsIn(rule, "en-GB", std::nullopt));
  EXPECT_FALSE(PrivateWindows::readsIn(rule, "de-DE", std::nullopt));  // endings unknown in German
  EXPECT_FALSE(PrivateWindows::readsIn(rule, std::nullopt, std::nullopt));
  // macOS Chrome still needs its menus.
  EXPECT_FALSE(PrivateWindows::readsIn(chrome().privateWindow, "en-GB", std::nullopt));
}

TEST(LinuxRows, LinuxTitlesOfPrivateWindows) {
  const auto& c = linuxRow("com.google.Chrome").privateWindow;
  const auto& f = linuxRow("org.mozilla.firefox").privateWindow;
  const std::vector<std::tuple<const Browser::PrivateRule*, const char*, bool>> titles = {
      {&c, "Chat - Chromium (Incognito)", true},
      {&c, "Chat - Google Chrome (Guest)", true},
      {&c, "Chat - Chromium", false},
      {&f, "Chat — Mozilla Firefox Private Browsing", true},
      {&f, "Chat — Mozilla Firefox Privater Modus", true},
      {&f, "Chat — Private Browsing", true},
      {&f, "Chat — Mozilla Firefox", false},
  };
  for (const auto& [rule, title, isPrivate] : titles)
    EXPECT_EQ(PrivateWindows::isPrivate(*rule, std::string(title), {}), isPrivate) << title;
  EXPECT_TRUE(PrivateWindows::isPrivate(f, std::string("Chat — Mozilla Firefox"), {"reset-pbm-toolbar-button"}));
}

TEST(LinuxRows, AFirefoxProfileInUseInTheSnapCountsToo) {
  test::TempDir home;
  const auto rule = *linuxRow("org.mozilla.firefox").privateWindow.alwaysPrivate;
  const fs::path deb = home.path() / ".mozilla/firefox/a.default";
  const fs::path snap = home.path() / "snap/firefox/common/.mozilla/firefox/b.default";
  for (const auto& dir : {deb, snap}) {
    fs::create_directories(dir);
    std::ofstream(dir / "prefs.js") << off;
  }
  std::ofstream(deb.parent_path() / "profiles.ini") << "[Profile0]\nPath=a.default\n";
  std::ofstream(snap.parent_path() / "profiles.ini") << "[Profile0]\nPath=b.default\n";
  auto inUse = [&](std::set<fs::path> dirs) {
    return [dirs](const fs::path& f) { return dirs.contains(f.parent_path()); };
  };
  EXPECT_TRUE(allowsReading(rule, home.path(), inUse({deb, snap})));
  std::ofstream(snap / "user.js") << on;
  EXPECT_FALSE(allowsReading(rule, home.path(), inUse({deb, snap})));  // the snap's profile is always private
  EXPECT_TRUE(allowsReading(rule, home.path(), inUse({deb})));         // ... but not running
  EXPECT_FALSE(allowsReading(rule, home.path(), inUse({})));
}

}  // namespace
}  // namespace zel
