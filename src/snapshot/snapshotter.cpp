#include "snapshot/snapshotter.h"

#include <charconv>

#include "base/ax_vocabulary.h"
#include "base/limits.h"

namespace zel::snapshot {

using platform::AXValue;
namespace ax_error = platform::ax_error;

// ---- reading values ----

const std::vector<std::string>& AXSnapshotter::attributes() {
  static const std::vector<std::string> names{AX::Role,          AX::Subrole, AX::Title, AX::Description, AX::Value,
                                              AX::DOMClassList,  AX::DOMIdentifier, AX::URL, AX::Children};
  return names;
}
const std::vector<std::string>& AXSnapshotter::childrenOnly() {
  static const std::vector<std::string> names{AX::Children};
  return names;
}
const std::vector<std::string>& AXSnapshotter::controls() {
  static const std::vector<std::string> names{AX::Role, AX::Identifier, AX::DOMIdentifier, AX::Children};
  return names;
}
const std::vector<std::string>& AXSnapshotter::addressesOnly() {
  static const std::vector<std::string> names{AX::Role, AX::URL, AX::Children};
  return names;
}

std::vector<std::optional<AXValue>> elementValues(platform::Accessibility& ax, const platform::AXElement& e,
                                                  const std::vector<std::string>& names, size_t longestList) {
  std::vector<std::optional<AXValue>> out;
  out.reserve(names.size());
  auto many = ax.attributes(e, names, longestList);
  if (many.error == ax_error::success && many.values.size() == names.size()) {
    for (auto& v : many.values) {
      if (v.kind == AXValue::Kind::placeholder) out.emplace_back();
      else out.emplace_back(std::move(v));
    }
    return out;
  }
  for (const auto& name : names) {
    auto one = ax.attribute(e, name);
    if (one.error != ax_error::success) {
      out.emplace_back();
      continue;
    }
    if (one.value.kind == AXValue::Kind::list && one.value.items.size() > longestList) one.value.items.resize(longestList);
    out.emplace_back(std::move(one.value));
  }
  return out;
}

std::optional<std::string> valueText(const std::optional<AXValue>& v) {
  if (!v) return std::nullopt;
  switch (v->kind) {
    case AXValue::Kind::text:
      if (v->text.empty()) return std::nullopt;
      return v->text;
    case AXValue::Kind::integer: return std::to_string(v->integer);
    case AXValue::Kind::boolean: return v->boolean ? "1" : "0";
    case AXValue::Kind::real: {
      char buffer[64];
      auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v->real);
      if (ec != std::errc()) return std::nullopt;
      return std::string(buffer, end);
    }
    default: return std::nullopt;
  }
}

namespace {

std::optional<std::string> rawText(const std::optional<AXValue>& v) {
  if (v && v->kind == AXValue::Kind::text) return v->text;
  return std::nullopt;
}

std::optional<std::string> urlText(const std::optional<AXValue>& v) {
  if (v && v->kind == AXValue::Kind::url) return v->text;
  return std::nullopt;
}

std::vector<platform::AXElement> elementsOf(const std::optional<AXValue>& v) {
  std::vector<platform::AXElement> out;
  if (!v || v->kind != AXValue::Kind::list) return out;
  for (const auto& item : v->items) {
    if (item.kind != AXValue::Kind::element) return {};
    out.push_back(item.element);
  }
  return out;
}

std::vector<std::string> classesOf(const std::optional<AXValue>& v) {
  std::vector<std::string> out;
  if (!v || v->kind != AXValue::Kind::list) return out;
  for (const auto& item : v->items) {
    if (item.kind != AXValue::Kind::text) return {};
    out.push_back(item.text);
  }
  return out;
}

}  // namespace

trees::ElementValues<platform::AXElement> AXSnapshotter::Live::full(const Element& e, size_t longestList) {
  auto v = elementValues(ax_, e, attributes(), longestList);
  trees::ElementValues<Element> out;
  out.node.role = valueText(v[0]);
  out.node.subrole = valueText(v[1]);
  out.node.title = valueText(v[2]);
  out.node.desc = valueText(v[3]);
  out.node.value = valueText(v[4]);
  out.node.domClasses = classesOf(v[5]);
  out.node.domID = valueText(v[6]);
  out.node.url = urlText(v[7]);
  out.children = elementsOf(v[8]);
  return out;
}

trees::ElementValues<platform::AXElement> AXSnapshotter::Live::addresses(const Element& e, size_t longestList) {
  auto v = elementValues(ax_, e, addressesOnly(), longestList);
  trees::ElementValues<Element> out;
  out.node.role = valueText(v[0]);
  out.node.url = urlText(v[1]);
  out.children = elementsOf(v[2]);
  return out;
}

browsers::ControlValues<platform::AXElement> AXSnapshotter::LiveControls::control(const Element& e,
                                                                                  size_t longestList) {
  auto v = elementValues(ax_, e, controls(), longestList);
  browsers::ControlValues<Element> out;
  out.role = rawText(v[0]);  // an empty role stays empty here
  if (auto id = rawText(v[1])) out.ids.push_back(*id);
  if (auto id = rawText(v[2])) out.ids.push_back(*id);
  out.children = elementsOf(v[3]);
  return out;
}

// ---- the snapshot ----

AXSnapshotter::AXSnapshotter(int64_t nodeBudget, Environment environment)
    : nodeBudget_(nodeBudget), env_(std::move(environment)) {}

AXSnapshotter::WindowList AXSnapshotter::windowList(const AXElement& app) const {
  auto& ax = env_.platform.accessibility();
  WindowList list;
  // One read of the three: the application looks at its windows once.
  const auto read = ax.attributes(app, {AX::Windows, AX::FocusedWindow, AX::MainWindow});
  list.error = read.error;
  if (read.error != ax_error::success || read.values.size() != 3) return list;
  if (read.values[0].kind == AXValue::Kind::placeholder) {
    // Why there is no list decides what is said of it: asked alone, it tells.
    list.error = ax.attribute(app, AX::Windows).error;
    if (list.error == ax_error::success) list.error = ax_error::noValue;
  } else {
    list.windows = elementsOf(read.values[0]);
  }
  for (size_t i = 1; i < 3; ++i) {
    const AXValue& w = read.values[i];
    if (w.kind != AXValue::Kind::element) continue;
    bool known = false;
    for (const auto& taken : list.windows)
      if (ax.equal(taken, w.element)) known = true;
    if (!known) list.windows.push_back(w.element);
  }
  return list;
}

std::optional<std::vector<std::string>> AXSnapshotter::menuTitles(const AXElement& app) const {
  auto& ax = env_.platform.accessibility();
  auto bar = ax.attribute(app, AX::MenuBar);
  if (bar.error != ax_error::success || bar.value.kind != AXValue::Kind::element) return std::nullopt;
  auto items = ax.attribute(bar.value.element, AX::Children);
  if (items.error != ax_error::success || items.value.kind != AXValue::Kind::list || items.value.items.empty())
    return std::nullopt;
  std::vector<std::string> titles;
  for (const auto& item : items.value.items) {
    if (item.kind != AXValue::Kind::element) continue;
    auto title = ax.attribute(item.element, AX::Title);
    if (title.error == ax_error::success && title.value.kind == AXValue::Kind::text) titles.push_back(title.value.text);
  }
  return titles;
}

std::optional<std::string> AXSnapshotter::pageURL(const AXElement& window) const {
  auto& ax = env_.platform.accessibility();
  // At most a budget of elements is looked at; children past what is left
  // would never be reached, so they are not asked for.
  std::vector<std::pair<AXElement, int>> pending{{window, 0}};
  size_t left = static_cast<size_t>(nodeBudget_);
  while (!pending.empty() && left > 0) {
    auto [e, depth] = std::move(pending.back());
    pending.pop_back();
    --left;
    // The role alone first: a page's own children are not asked for before
    // the page is judged. They are the page's, and listing them can hold a
    // browser for a second on a large page, long past the calls' timeout.
    const auto role = ax.attribute(e, AX::Role);
    if (role.error == ax_error::success && role.value.kind == AXValue::Kind::text && role.value.text == AX::WebArea) {
      auto url = ax.attribute(e, AX::URL);
      if (url.error == ax_error::success && url.value.kind == AXValue::Kind::url) return url.value.text;
    }
    if (depth >= limits.pageSearchDepth) continue;
    auto children = elementsOf(elementValues(ax, e, childrenOnly(), left)[0]);
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.emplace_back(*it, depth + 1);
  }
  return std::nullopt;
}

std::variant<Target, SnapshotError> AXSnapshotter::resolve(const std::string& bundleID) const {
  Target target;
  target.known = browsers::KnownApp::named(bundleID, env_.platform.system());
  const auto found = AppSignature::vendorsApp(env_.platform.workspace(), env_.signatures, target.known);
  if (found.kind == AppSignature::Found::Kind::none) return SnapshotError{SnapshotError::Kind::notRunning, bundleID};
  if (found.kind == AppSignature::Found::Kind::changedOnDisk)
    return SnapshotError{SnapshotError::Kind::needsRestart, bundleID};
  target.process = found.app;
  auto& ax = env_.platform.accessibility();
  target.application = ax.application(target.process.pid);
  ax.setMessagingTimeout(target.application, limits.messagingTimeout);
  if (target.known.browser)
    target.language =
        browsers::Browsers::interfaceLanguage(env_.platform.preferences().appleLanguages(bundleID, target.process.pid));
  return target;
}

AXSnapshotter::Outcome AXSnapshotter::snapshot(const std::string& bundleID, const PageFilter* page,
                                               const PlanFactory* plan, SnapshotTrace* trace) const {
  SnapshotTrace silent;
  SnapshotTrace& told = trace ? *trace : silent;
  auto& ax = env_.platform.accessibility();
  if (!ax.isTrusted()) return SnapshotError{SnapshotError::Kind::notTrusted, ""};

  auto resolved = resolve(bundleID);
  if (auto* error = std::get_if<SnapshotError>(&resolved)) return *error;
  const Target& target = std::get<Target>(resolved);
  const AXElement& app = target.application;
  const browsers::Browser* browser = target.known.browser;
  const std::optional<std::string>& language = target.language;

  WindowList list = windowList(app);
  bool switched = false;
  if (list.windows.empty()) {
    env_.treeSwitch.enable(target, true);
    switched = true;
    list = windowList(app);
    if (list.windows.empty()) {
      const bool quiet = list.error == ax_error::success || list.error == ax_error::attributeUnsupported ||
                         list.error == ax_error::noValue;
      return SnapshotError{quiet ? SnapshotError::Kind::noVisibleWindow : SnapshotError::Kind::unreadable, bundleID};
    }
  }

  // The windows still to read, by their place in the window list, with the
  // title screening read.
  struct Window {
    size_t index;
    AXElement element;
    std::optional<std::string> title;
  };
  std::vector<Window> windows;
  if (browser) {
    const auto& rule = browser->privateWindow;
    // A browser whose windows cannot be judged now is not read, and its tree
    // is not switched on.
    const bool allowed =
        !rule.alwaysPrivate || browsers::PrivateWindows::allowsReading(*rule.alwaysPrivate, env_.home,
                                                                       browsers::PrivateWindows::heldByAnotherProcess);
    if (!allowed || !browsers::PrivateWindows::languageAllows(rule, language)) {
      told.browserUnjudged(!allowed ? SnapshotTrace::Unjudged::alwaysPrivate : SnapshotTrace::Unjudged::language);
      return std::vector<trees::AXNode>{};
    }
    if (!switched) env_.treeSwitch.enable(target, true);

    std::optional<std::vector<std::string>> menus;
    if (!rule.titleLanguages.empty() && rule.menusConfirmLanguage) menus = menuTitles(app);
    if (!browsers::PrivateWindows::readsIn(rule, language, menus)) {
      told.browserUnjudged(SnapshotTrace::Unjudged::menus);
      return std::vector<trees::AXNode>{};
    }
    LiveControls controlSource(ax);
    for (size_t i = 0; i < list.windows.size(); ++i) {
      const AXElement& w = list.windows[i];
      std::optional<std::string> title;
      if (auto t = ax.attribute(w, AX::Title); t.error == ax_error::success && t.value.kind == AXValue::Kind::text)
        title = t.value.text;
      const browsers::WindowVerdict verdict = browsers::PrivateWindows::windowVerdict(rule, controlSource, w, title);
      if (verdict == browsers::WindowVerdict::read)
        windows.push_back({i, w, std::move(title)});
      else told.windowPrivate(i, title, verdict);
    }
  } else {
    if (!switched) env_.treeSwitch.enable(target, true);
    for (size_t i = 0; i < list.windows.size(); ++i) windows.push_back({i, list.windows[i], std::nullopt});
  }

  std::vector<trees::AXNode> trees;
  Live source(ax);
  for (const auto& window : windows) {
    std::unique_ptr<trees::ReadPlan> windowPlan;
    std::optional<std::string> url;
    if (page) {
      url = pageURL(window.element);
      const browsers::PageVerdict verdict = url ? (*page)(*url) : browsers::PageVerdict::noPage;
      if (verdict != browsers::PageVerdict::read) {
        told.pageRefused(window.index, window.title, url, verdict);
        continue;
      }
      if (plan) windowPlan = (*plan)(*url);
    }
    int64_t budget = nodeBudget_;
    auto tree = trees::PlannedWalk::full(source, window.element, windowPlan.get(), false, budget);
    if (page) {
      // The page may have changed while it was read (a link followed,
      // another address typed in): a window that now shows another page is
      // dropped, so that nothing of a page the filter never saw leaves the
      // read. An address that cannot be read again (an application slow to
      // answer after a long read) is no other page.
      if (auto after = pageURL(window.element); after && after != url) {
        told.pageRefused(window.index, window.title, after, browsers::PageVerdict::changedWhileRead);
        continue;
      }
    }
    told.walked(window.index, nodeBudget_ - budget, budget <= 0);
    trees.push_back(tree ? std::move(*tree) : trees::AXNode());
  }
  return trees;
}

}  // namespace zel::snapshot
