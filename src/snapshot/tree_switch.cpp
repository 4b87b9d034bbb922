#include "snapshot/tree_switch.h"

#include <algorithm>
#include <thread>

#include "base/ax_vocabulary.h"
#include "base/limits.h"

namespace zel::snapshot {

namespace {
constexpr double rateLimit = limits.treeSwitchEvery;
constexpr double treeTimeout = limits.treeSwitchWait;
}  // namespace

TreeSwitch::TreeSwitch(platform::Accessibility& ax, Functions functions, int64_t nodeBudget)
    : ax_(ax), f_(std::move(functions)), nodeBudget_(nodeBudget) {
  if (!f_.set)
    f_.set = [this](const AXElement& app, const std::string& attribute, bool value) {
      ax_.setBoolean(app, attribute, value);
    };
  if (!f_.read) f_.read = [this](const AXElement& app, const std::string& attribute) { (void)ax_.attribute(app, attribute); };
  if (!f_.now) f_.now = &Date::now;
  if (!f_.waitForTree)
    f_.waitForTree = [this](const AXElement& app, double timeout) {
      return waitForWebArea(
          ax_, app, timeout, f_.now,
          [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }, nodeBudget_);
    };
}

std::optional<std::string> TreeSwitch::attribute(const browsers::KnownApp& app) {
  if (app.row) return app.row->treeSwitch;
  // Electron's switch: what an application the tables do not know most
  // likely understands.
  return AX::ManualAccessibility;
}

std::optional<std::string> TreeSwitch::wake(const browsers::KnownApp& app) {
  return app.row ? app.row->treeWake : std::nullopt;
}

void TreeSwitch::enable(const Target& target, bool waitForTree) {
  const AXElement& application = target.application;
  const Pid pid = target.process.pid;
  if (const auto wakeAttribute = wake(target.known)) {
    f_.read(application, *wakeAttribute);
    {
      std::lock_guard g(lock_);
      if (woken_.contains(pid)) return;
      const Date now = f_.now();
      if (auto it = waited_.find(pid); it != waited_.end() && now.seconds(it->second) < rateLimit) return;
      waited_[pid] = now;
    }
    if (waitForTree && !f_.waitForTree(application, treeTimeout)) return;
    std::lock_guard g(lock_);
    woken_.insert(pid);
    return;
  }

  const auto switchAttribute = attribute(target.known);
  if (!switchAttribute) return;
  // The switch is set outside the lock (the backend has locks of its own and
  // makes a bus call); a set in flight is counted, and `disableAll` waits for
  // it, so that nothing is left switched on behind the agent's back.
  bool first;
  {
    std::lock_guard g(lock_);
    if (stopped_) return;
    const Date now = f_.now();
    auto it = lastEnabled_.find(pid);
    if (it != lastEnabled_.end() && now.seconds(it->second) < rateLimit) return;
    first = it == lastEnabled_.end();
    lastEnabled_[pid] = now;
    switched_[pid] = *switchAttribute;
    ++setting_;
  }
  f_.set(application, *switchAttribute, true);
  {
    std::lock_guard g(lock_);
    --setting_;
  }
  settled_.notify_all();
  if (first && waitForTree) (void)f_.waitForTree(application, treeTimeout);
}

void TreeSwitch::disableAll() {
  std::map<Pid, std::string> switched;
  {
    std::unique_lock g(lock_);
    stopped_ = true;
    settled_.wait(g, [this] { return setting_ == 0; });
    switched.swap(switched_);
    lastEnabled_.clear();
    woken_.clear();
    waited_.clear();
  }
  for (const auto& [pid, attribute] : switched) {
    const AXElement app = ax_.application(pid);
    // A hung application may delay the exit by a quarter second per write.
    ax_.setMessagingTimeout(app, limits.messagingTimeout);
    f_.set(app, attribute, false);
    f_.set(app, attribute, false);
  }
}

bool TreeSwitch::waitForWebArea(platform::Accessibility& ax, const AXElement& application, double timeout,
                                const std::function<Date()>& now, const std::function<void(double)>& sleep,
                                int64_t nodeBudget) {
  const Date deadline = now().adding(timeout);
  while (now() < deadline) {
    sleep(0.25);
    const auto window = ax.attribute(application, AX::FocusedWindow);
    if (window.error == platform::ax_error::success && window.value.kind == platform::AXValue::Kind::element &&
        hasWebArea(ax, window.value.element, 0, nodeBudget))
      return true;
  }
  return false;
}

bool TreeSwitch::hasWebArea(platform::Accessibility& ax, const AXElement& element, int depth, int64_t nodeBudget) {
  // Depth-first, children in order, with an explicit stack.
  // At most a budget of elements, as a read of the window would.
  std::vector<std::pair<AXElement, int>> pending{{element, depth}};
  size_t left = static_cast<size_t>(std::max<int64_t>(nodeBudget, 0));
  while (!pending.empty() && left > 0) {
    auto [e, d] = std::move(pending.back());
    pending.pop_back();
    --left;
    const auto role = ax.attribute(e, AX::Role);
    if (role.error == platform::ax_error::success && role.value.kind == platform::AXValue::Kind::text &&
        role.value.text == AX::WebArea)
      return true;
    if (d >= limits.webAreaSearchDepth) continue;
    static const std::vector<std::string> childrenOnly{AX::Children};
    const auto many = ax.attributes(e, childrenOnly, left);
    if (many.error != platform::ax_error::success || many.values.size() != 1 ||
        many.values[0].kind != platform::AXValue::Kind::list)
      continue;
    const auto& children = many.values[0].items;
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      if (it->kind == platform::AXValue::Kind::element) pending.emplace_back(it->element, d + 1);
  }
  return false;
}

}  // namespace zel::snapshot
