#include "platform/simulated/simulated_platform.h"

#include <sys/stat.h>
#include <syslog.h>

#include <chrono>
#include <cstdlib>

#include "base/ax_vocabulary.h"
#include "base/limits.h"

namespace zel::platform {

namespace {

using namespace std::chrono_literals;

AXValue text(std::string s) { return AXValue::ofText(std::move(s)); }

AXRead ok(AXValue v) { return {ax_error::success, std::move(v)}; }
AXRead fail(int32_t error) { return {error, {}}; }

bool allAsleep(const std::vector<bool>& displays) {
  if (displays.empty()) return false;
  for (bool asleep : displays)
    if (!asleep) return false;
  return true;
}

}  // namespace

struct SimulatedPlatform::Handle final : AXElementHandle {
  enum class Kind { application, element, menuBar, menuItem };
  Kind kind = Kind::application;
  Pid pid = 0;
  std::shared_ptr<const Desktop> desktop;  // elements belong to the desktop they were read from
  ElementIndex index = 0;                  // element, or menu item number
};

std::unique_ptr<Platform> SimulatedPlatform::open(const std::string& path, std::optional<std::string> journal,
                                                  std::string& error) {
  try {
    auto desktop = Desktop::load(path);
    if (!desktop) {
      error = "zel-ax: desktop file " + desktop.error();
      return nullptr;
    }
    return std::make_unique<SimulatedPlatform>(std::move(desktop.value()), path, std::move(journal));
  } catch (const std::bad_alloc&) {
    error = "zel-ax: desktop file " + path + ": not enough memory to load it";
  } catch (const std::exception& e) {
    error = "zel-ax: desktop file " + path + ": " + e.what();
  }
  return nullptr;
}

SimulatedPlatform::SimulatedPlatform(std::optional<Desktop> desktop, std::string path,
                                     std::optional<std::string> journal)
    : path_(std::move(path)), journal_(std::move(journal)) {
  if (desktop) desktop_ = std::make_shared<const Desktop>(std::move(*desktop));
  if (!path_.empty()) {
    struct stat st{};
    if (::stat(path_.c_str(), &st) == 0) stamp_ = {static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
                                                   static_cast<long long>(st.st_size), static_cast<unsigned long long>(st.st_ino)};
    watcher_ = std::thread([this] { watch(); });
  }
}

SimulatedPlatform::~SimulatedPlatform() {
  {
    std::lock_guard g(watchLock_);
    watchStop_ = true;
  }
  watchWake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

std::shared_ptr<const Desktop> SimulatedPlatform::current() const {
  std::lock_guard g(lock_);
  return desktop_;
}

// ---- the file ----

void SimulatedPlatform::watch() {
  std::unique_lock g(watchLock_);
  while (!watchStop_) {
    watchWake_.wait_for(g, 250ms, [&] { return watchStop_; });
    if (watchStop_) break;
    g.unlock();
    reload();
    g.lock();
  }
}

bool SimulatedPlatform::reload() {
  struct stat st{};
  if (path_.empty() || ::stat(path_.c_str(), &st) != 0) return false;
  const FileStamp now{static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
                      static_cast<long long>(st.st_size), static_cast<unsigned long long>(st.st_ino)};
  {
    std::lock_guard g(lock_);
    if (now == stamp_) return false;
    stamp_ = now;
  }
  // A rewrite that cannot be loaded, broken or too large for the memory
  // there is, is ignored: the last good desktop stays.
  try {
    auto desktop = Desktop::load(path_);
    if (!desktop) return false;
    replace(std::move(desktop.value()));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void SimulatedPlatform::replace(Desktop desktop) {
  auto next = std::make_shared<const Desktop>(std::move(desktop));
  std::shared_ptr<const Desktop> before;
  {
    std::lock_guard g(lock_);
    before = desktop_;
    desktop_ = next;
  }
  const std::optional<std::string> frontBefore = before ? before->front : std::nullopt;
  const bool lockedBefore = before && before->screenLockFlag.value_or(false);
  const bool asleepBefore = before && allAsleep(before->displaysAsleep);
  if (next->front != frontBefore) post(SystemEvent::appActivated);
  const bool locked = next->screenLockFlag.value_or(false);
  if (locked != lockedBefore) post(locked ? SystemEvent::screenLocked : SystemEvent::screenUnlocked);
  const bool asleep = allAsleep(next->displaysAsleep);
  if (asleep != asleepBefore) post(asleep ? SystemEvent::screensDidSleep : SystemEvent::screensDidWake);
}

// ---- accessibility ----

bool SimulatedPlatform::isTrusted() {
  auto d = current();
  return d && d->trusted;
}

AXElement SimulatedPlatform::application(Pid pid) {
  auto h = std::make_shared<Handle>();
  h->kind = Handle::Kind::application;
  h->pid = pid;
  return h;
}

bool SimulatedPlatform::webContentShown(Pid pid, const DesktopApp& app) {
  if (!app.treeNeeds) return true;
  std::lock_guard g(lock_);
  auto it = webContent_.find(pid);
  return it != webContent_.end() && it->second;
}

AXValue SimulatedPlatform::elementValue(const std::shared_ptr<const Desktop>& d, Pid pid, ElementIndex index) {
  auto h = std::make_shared<Handle>();
  h->kind = Handle::Kind::element;
  h->pid = pid;
  h->desktop = d;
  h->index = index;
  return AXValue::ofElement(std::move(h));
}

AXRead SimulatedPlatform::read(const Handle& h, const std::string& name, size_t longestList) {
  auto d = current();
  if (!d || !d->trusted) return fail(ax_error::apiDisabled);
  // Elements of an earlier desktop have vanished from the screen.
  if (h.kind != Handle::Kind::application && h.desktop != d) return fail(ax_error::invalidElement);
  const DesktopApp* app = d->app(h.pid);
  if (!app) return fail(ax_error::cannotComplete);

  auto elementList = [&](const std::vector<ElementIndex>& indices) {
    const bool web = webContentShown(h.pid, *app);
    AXValue list = AXValue::ofList();
    for (ElementIndex i : indices) {
      if (list.items.size() >= longestList) break;
      const auto& role = d->elements[i].role;
      if (!web && role && *role == AX::WebArea) continue;  // hidden until the tree switch
      list.items.push_back(elementValue(d, h.pid, i));
    }
    return list;
  };

  switch (h.kind) {
    case Handle::Kind::application:
      if (name == AX::Role) {
        if (app->treeNeeds == AX::Role) {
          std::lock_guard g(lock_);
          webContent_[h.pid] = true;
        }
        return ok(text(AX::Application));
      }
      if (name == AX::Windows || name == AX::Children) {
        if (app->windowsError != 0) return fail(app->windowsError);
        return ok(elementList(app->windows));
      }
      if (name == AX::FocusedWindow || name == AX::MainWindow) {
        const auto& window = name == AX::FocusedWindow ? app->focusedWindow : app->mainWindow;
        if (!window) return fail(ax_error::noValue);
        return ok(elementValue(d, h.pid, *window));
      }
      if (name == AX::MenuBar) {
        if (!app->menuBar) return fail(ax_error::noValue);
        auto bar = std::make_shared<Handle>();
        bar->kind = Handle::Kind::menuBar;
        bar->pid = h.pid;
        bar->desktop = d;
        return ok(AXValue::ofElement(std::move(bar)));
      }
      if (name == AX::EnhancedUserInterface || name == AX::ManualAccessibility) {
        std::lock_guard g(lock_);
        return ok(AXValue::ofBoolean(webContent_[h.pid]));
      }
      return fail(ax_error::attributeUnsupported);

    case Handle::Kind::menuBar:
      if (name == AX::Role) return ok(text(AX::MenuBar));
      if (name == AX::Children) {
        AXValue list = AXValue::ofList();
        for (size_t i = 0; i < app->menuBar->size(); ++i) {
          auto item = std::make_shared<Handle>();
          item->kind = Handle::Kind::menuItem;
          item->pid = h.pid;
          item->desktop = d;
          item->index = static_cast<ElementIndex>(i);
          list.items.push_back(AXValue::ofElement(std::move(item)));
        }
        return ok(list);
      }
      return fail(ax_error::attributeUnsupported);

    case Handle::Kind::menuItem:
      if (name == AX::Role) return ok(text(AX::MenuBarItem));
      if (name == AX::Title) return ok(text((*app->menuBar)[h.index]));
      return fail(ax_error::attributeUnsupported);

    case Handle::Kind::element: break;
  }

  const DesktopElement& e = d->elements[h.index];
  for (const auto& unreadable : e.unreadable)
    if (unreadable == name) return fail(ax_error::cannotComplete);
  auto optionalText = [&](const std::optional<std::string>& v) { return v ? ok(text(*v)) : fail(ax_error::noValue); };
  if (name == AX::Role) return optionalText(e.role);
  if (name == AX::Subrole) return optionalText(e.subrole);
  if (name == AX::Title) return optionalText(e.title);
  if (name == AX::Description) return optionalText(e.desc);
  if (name == AX::DOMIdentifier) return optionalText(e.domID);
  if (name == AX::Identifier) return optionalText(e.identifier);
  if (name == AX::URL) {
    if (!e.url) return fail(ax_error::noValue);
    return ok(AXValue::ofURL(*e.url));
  }
  if (name == AX::Value) {
    if (const auto* s = std::get_if<std::string>(&e.value)) return ok(text(*s));
    if (const auto* i = std::get_if<int64_t>(&e.value)) return ok(AXValue::ofInteger(*i));
    if (const auto* r = std::get_if<double>(&e.value)) return ok(AXValue::ofReal(*r));
    if (const auto* b = std::get_if<bool>(&e.value)) return ok(AXValue::ofBoolean(*b));
    return fail(ax_error::noValue);
  }
  if (name == AX::DOMClassList) {
    AXValue list = AXValue::ofList();
    for (const auto& c : e.domClasses) list.items.push_back(text(c));
    return ok(list);
  }
  if (name == AX::Children) return ok(elementList(e.children));
  return fail(ax_error::attributeUnsupported);
}

void SimulatedPlatform::journalRead(const Handle& h, const std::vector<std::string>& names) {
  if (!journal_.enabled() || h.kind != Handle::Kind::element || !h.desktop) return;
  if (const auto& label = h.desktop->elements[h.index].watch) journal_.read(*label, names);
}

AXRead SimulatedPlatform::attribute(const AXElement& element, const std::string& name) {
  const auto* h = dynamic_cast<const Handle*>(element.get());
  if (!h) return fail(ax_error::invalidElement);
  journalRead(*h, {name});
  return read(*h, name);
}

AXMultiRead SimulatedPlatform::attributes(const AXElement& element, const std::vector<std::string>& names,
                                          size_t longestList) {
  const auto* h = dynamic_cast<const Handle*>(element.get());
  if (!h) return {ax_error::invalidElement, {}};
  journalRead(*h, names);
  auto d = current();
  if (!d || !d->trusted) return {ax_error::apiDisabled, {}};
  AXMultiRead out;
  for (const auto& name : names) {
    AXRead r = read(*h, name, longestList);
    if (r.error == ax_error::success) {
      out.values.push_back(std::move(r.value));
    } else {
      out.values.push_back(AXValue::placeholder());
    }
  }
  return out;
}

void SimulatedPlatform::setBoolean(const AXElement& application, const std::string& name, bool value) {
  const auto* h = dynamic_cast<const Handle*>(application.get());
  if (!h || h->kind != Handle::Kind::application) return;
  journal_.set(h->pid, name, value);
  auto d = current();
  if (!d || !d->trusted) return;
  const DesktopApp* app = d->app(h->pid);
  if (app && app->treeNeeds == name) {
    std::lock_guard g(lock_);
    webContent_[h->pid] = value;
  }
}

bool SimulatedPlatform::equal(const AXElement& a, const AXElement& b) {
  const auto* x = dynamic_cast<const Handle*>(a.get());
  const auto* y = dynamic_cast<const Handle*>(b.get());
  if (!x || !y) return false;
  if (x->kind != y->kind || x->pid != y->pid) return false;
  if (x->kind == Handle::Kind::application) return true;
  return x->desktop == y->desktop && x->index == y->index;
}

// ---- workspace, session, signing, preferences, log ----

std::optional<std::string> SimulatedPlatform::frontBundleID() {
  auto d = current();
  return d ? d->front : std::nullopt;
}

std::vector<RunningApp> SimulatedPlatform::runningApps(const std::string& bundleID) {
  std::vector<RunningApp> found;
  if (auto d = current())
    for (const auto& app : d->apps)
      if (app.bundleID == bundleID) found.push_back({app.pid, app.launched});
  return found;
}

std::optional<bool> SimulatedPlatform::screenLockFlag() {
  auto d = current();
  return d ? d->screenLockFlag : std::nullopt;
}

std::vector<bool> SimulatedPlatform::displaysAsleep() {
  auto d = current();
  return d ? d->displaysAsleep : std::vector<bool>{};
}

double SimulatedPlatform::idleSeconds() {
  auto d = current();
  return d ? d->idleSeconds : 0;
}

SignatureVerdict SimulatedPlatform::verdict(Pid pid, const std::string&) {
  auto d = current();
  const DesktopApp* app = d ? d->app(pid) : nullptr;
  return app ? app->signature : SignatureVerdict::refused;
}

// As on macOS, the preference belongs to the application, whichever of its
// processes is read.
std::optional<nlohmann::json> SimulatedPlatform::appleLanguages(const std::string& bundleID, Pid) {
  if (auto d = current())
    for (const auto& app : d->apps)
      if (app.bundleID == bundleID) return app.languages;
  return std::nullopt;
}

void SimulatedPlatform::write(const std::string& line) {
  if (journal_.enabled()) journal_.log(line);
  else ::syslog(LOG_NOTICE, "%s", line.c_str());
}

// ---- run loop ----

void SimulatedPlatform::post(SystemEvent e) {
  {
    std::lock_guard g(lock_);
    // Nobody may be running the loop (a one-shot command): keep only the
    // latest events.
    if (queue_.size() >= limits.eventQueue) queue_.pop_front();
    queue_.push_back(e);
  }
  events_.notify_all();
}

void SimulatedPlatform::run(const std::function<void(SystemEvent)>& deliver) {
  std::unique_lock g(lock_);
  while (true) {
    events_.wait(g, [&] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const SystemEvent e = queue_.front();
    queue_.pop_front();
    g.unlock();
    if (deliver) deliver(e);
    g.lock();
  }
}

void SimulatedPlatform::stop() {
  {
    std::lock_guard g(lock_);
    stopping_ = true;
  }
  events_.notify_all();
}

}  // namespace zel::platform
