#include "platform/atspi/atspi_accessibility.h"

#include <atspi/atspi.h>

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "base/ax_vocabulary.h"
#include "base/limits.h"
#include "platform/atspi/reply_reader.h"
#include "platform/atspi/translation.h"

namespace zel::platform::atspi {

namespace {

constexpr const char* rootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";
constexpr const char* registry = "org.a11y.atspi.Registry";

int32_t errorOf(Failure f) {
  switch (f) {
    case Failure::none: return ax_error::success;
    case Failure::gone: return ax_error::invalidElement;
    case Failure::unsupported: return ax_error::attributeUnsupported;
    case Failure::timedOut: return ax_error::cannotComplete;
    case Failure::other: return ax_error::cannotComplete;
  }
  return ax_error::cannotComplete;
}



// The role names, looked up once: every element read needs one.
const std::string& roleName(uint32_t role) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (int r = 0; r < ATSPI_ROLE_LAST_DEFINED; ++r) {
      gchar* name = atspi_role_get_name(static_cast<AtspiRole>(r));
      out.emplace_back(name ? name : "unknown");
      g_free(name);
    }
    return out;
  }();
  static const std::string unknown = "unknown";
  return role < names.size() ? names[role] : unknown;
}

}  // namespace

struct AtspiAccessibility::Element : AXElementHandle {
  enum class Kind { application, object, run };
  Kind kind = Kind::object;
  std::shared_ptr<std::atomic<int>> timeoutMs;  // shared by every element of one application
  std::string busName;  // empty when the application is not on the bus
  Pid pid = 0;
  const Toolkit* toolkit = &toolkitNamed("");
  std::string path;
  bool inWeb = false;
  int pageDepth = -1;  // levels below the page's top (its document's children are 1); -1 outside a page
  std::string run;  // the text of a run
  std::shared_ptr<const Fetched> prefetched;
};

// One object as read, with its children once they are read ahead (the
// `children` of the object it is). Set before the handle is shared, never after.
struct AtspiAccessibility::Fetched : AtspiObject {
  Failure failure = Failure::none;
  Translation translation;
  std::vector<Reference> refs;  // where its children live
  int32_t childCount = -1;      // as the object says; -1 when it did not
  // The library's children, made ahead when the element was read with its subtree.
  std::optional<std::vector<AXElement>> made;
};

// What a subtree call told about one object: everything a read asks but its
// role (and, for Gecko, its text).
struct AtspiAccessibility::Known {
  std::string name;
  std::string description;
  std::optional<std::map<std::string, std::string>> attributes;  // when they were asked for
  int32_t childCount = 0;
  std::vector<Reference> children;
};

AtspiAccessibility::AtspiAccessibility(const Bus& bus, const SwitchRecord* record, Now now)
    : bus_(bus), record_(record), now_(std::move(now)) {}

AtspiAccessibility::~AtspiAccessibility() { restoreSwitch(); }

void AtspiAccessibility::restoreSwitch() {
  std::unique_lock g(lock_);
  switched_.clear();
  settleSwitch(g, false);
}

void AtspiAccessibility::switchFor(Pid pid, bool on) {
  std::unique_lock g(lock_);
  if (on) switched_.insert(pid);
  else switched_.erase(pid);
  settleSwitch(g, on);
}

void AtspiAccessibility::settleSwitch(std::unique_lock<std::mutex>& g, bool on) {
  // One change at a time, made with no lock held: the bus calls and the
  // record's file are outside it, and a second change waits for the first.
  switchSettled_.wait(g, [this] { return !switching_; });
  const bool turnOn = on && !turnedOn_;
  const bool turnOff = !on && turnedOn_ && switched_.empty();
  if (!turnOn && !turnOff) return;
  switching_ = true;
  g.unlock();
  bool nowOn = false;
  if (turnOn && bus_.accessibilityEnabled() == false) {
    // Written down first: a process killed right after still has its
    // switch put back by the next start.
    if (record_) record_->turnedOn();
    bus_.setAccessibilityEnabled(true);
    nowOn = true;
  } else if (turnOff) {
    bus_.setAccessibilityEnabled(false);
    if (record_) record_->putBack();
  }
  g.lock();
  turnedOn_ = nowOn;
  switching_ = false;
  switchSettled_.notify_all();
}

bool AtspiAccessibility::isTrusted() { return bus_.reachable(); }

uint64_t AtspiAccessibility::calls() const { return calls_.load(); }

std::vector<Reply> AtspiAccessibility::send(std::vector<Call> calls, int timeoutMs) {
  if (calls.empty()) return {};
  calls_ += calls.size();
  ++volleys_;
  return bus_.all(std::move(calls), timeoutMs);
}

std::shared_ptr<AtspiAccessibility::Element> AtspiAccessibility::handleOf(const BusApp& app) const {
  auto e = std::make_shared<Element>();
  e->kind = Element::Kind::application;
  e->pid = app.pid;
  e->busName = app.busName;
  e->toolkit = &toolkitNamed(app.toolkit);
  e->path = rootPath;
  e->timeoutMs = std::make_shared<std::atomic<int>>(static_cast<int>(limits.messagingTimeout * 1000));
  return e;
}

std::vector<BusApp> AtspiAccessibility::applications() {
  const int timeout = static_cast<int>(limits.messagingTimeout * 1000) * 4;
  // A bus started again names other applications as the last one did.
  if (const uint64_t generation = bus_.generation(); generation != busGeneration_.load()) {
    {
      std::lock_guard g(lock_);
      known_.clear();
      subtreeCalls_.clear();
    }
    mirror_.forget();
    busGeneration_ = generation;
  }
  std::vector<Call> ask;
  ask.push_back({registry, rootPath, accessibleInterface, "GetChildren", nullptr});
  const Reply listed = std::move(send(std::move(ask), timeout)[0]);
  if (listed.failure != Failure::none || !g_variant_is_of_type(listed.value.get(), G_VARIANT_TYPE("(a(so))")))
    return {};
  std::vector<std::string> names;
  {
    GVariant* list = g_variant_get_child_value(listed.value.get(), 0);
    for (size_t i = 0; i < g_variant_n_children(list); ++i) {
      const gchar* name = nullptr;
      const gchar* path = nullptr;
      g_variant_get_child(list, i, "(&s&o)", &name, &path);
      if (name && *name) names.emplace_back(name);
    }
    g_variant_unref(list);
  }
  std::vector<std::string> unknown;
  {
    std::lock_guard g(lock_);
    for (const auto& n : names)
      if (!known_.contains(n)) unknown.push_back(n);
  }
  if (!unknown.empty()) {
    std::vector<Call> calls;
    for (const auto& n : unknown) {
      calls.push_back({"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                       "GetConnectionUnixProcessID", g_variant_new("(s)", n.c_str())});
      calls.push_back({n, rootPath, "org.freedesktop.DBus.Properties", "Get",
                       g_variant_new("(ss)", "org.a11y.atspi.Application", "ToolkitName")});
    }
    auto replies = send(std::move(calls), timeout);
    std::lock_guard g(lock_);
    for (size_t i = 0; i < unknown.size(); ++i) {
      const Reply& pid = replies[2 * i];
      const Reply& toolkit = replies[2 * i + 1];
      if (pid.failure != Failure::none || !g_variant_is_of_type(pid.value.get(), G_VARIANT_TYPE("(u)"))) continue;
      BusApp app;
      app.busName = unknown[i];
      guint32 p = 0;
      g_variant_get(pid.value.get(), "(u)", &p);
      app.pid = static_cast<Pid>(p);
      if (toolkit.failure == Failure::none)
        if (auto name = ReplyReader::boxedString(toolkit.message.get())) app.toolkit = std::move(*name);
      if (known_.size() > limits.busApplications) known_.clear();
      known_[app.busName] = app;
    }
  }
  std::vector<BusApp> out;
  std::lock_guard g(lock_);
  for (const auto& n : names)
    if (auto it = known_.find(n); it != known_.end()) out.push_back(it->second);
  return out;
}

std::optional<Pid> AtspiAccessibility::activeApplication() {
  for (const auto& app : applications()) {
    for (const auto& w : windows(*handleOf(app)))
      if (static_cast<const Element*>(w.get())->prefetched->node.active) return app.pid;
  }
  return std::nullopt;
}

std::optional<Pid> AtspiAccessibility::pidOf(const std::string& busName) {
  {
    std::lock_guard g(lock_);
    if (auto it = known_.find(busName); it != known_.end()) return it->second.pid;
  }
  for (const auto& app : applications())
    if (app.busName == busName) return app.pid;
  return std::nullopt;
}

AXElement AtspiAccessibility::application(Pid pid) {
  for (const auto& app : applications())
    if (app.pid == pid) return handleOf(app);
  // Not on the bus (yet): every read of it cannot complete.
  BusApp absent;
  absent.pid = pid;
  return handleOf(absent);
}

void AtspiAccessibility::setMessagingTimeout(const AXElement& element, double seconds) {
  const auto* e = dynamic_cast<const Element*>(element.get());
  if (!e || !(seconds > 0)) return;
  e->timeoutMs->store(static_cast<int>(std::clamp(seconds * 1000, 1.0, static_cast<double>(limits.busLongestTimeoutMs))));
}

namespace {

// What a reply is the answer to, in a volley of calls about several elements.
enum class Asked { role, attributes, properties, children, text, state, document, link };

}  // namespace

namespace {

// Whether an element's role and attributes may be kept between reads: an
// object (page content or the browser's own controls around it) of a
// toolkit whose object paths last, so that a path names one object for
// good. Its name, text, children and states are asked every time.
bool mirrored(const AtspiAccessibility::Element& e) {
  return e.kind == AtspiAccessibility::Element::Kind::object && e.toolkit->pathsAreLasting;
}

}  // namespace

std::vector<std::shared_ptr<AtspiAccessibility::Fetched>> AtspiAccessibility::fetch(
    const std::vector<const Element*>& elements, int timeoutMs, const KnownSubtree* known) {
  std::vector<std::shared_ptr<Fetched>> out;
  // What a subtree call told already is not asked again, nor the role and
  // attributes an earlier read learnt of an object.
  std::vector<bool> told;
  std::vector<bool> typed;  // role known
  std::vector<bool> attributed;  // attributes known
  std::vector<bool> incomplete(elements.size(), false);
  const auto now = now_();
  for (const Element* e : elements) {
    auto f = std::make_shared<Fetched>();
    f->node.inWeb = e->inWeb;
    const auto k = known ? known->find(e->path) : KnownSubtree::const_iterator();
    told.push_back(known && k != known->end());
    typed.push_back(false);
    attributed.push_back(false);
    if (told.back()) {
      f->node.name = k->second.name;
      f->node.description = k->second.description;
      if (k->second.attributes) {
        f->node.attributes = *k->second.attributes;
        attributed.back() = true;
      }
      f->childCount = k->second.childCount;
      f->refs = k->second.children;
    }
    // An object read before keeps its role and attributes: only what may
    // change is asked.
    if (mirrored(*e))
      if (auto kept = mirror_.find(ObjectMirror::key(e->busName, e->path), now)) {
        f->node.role = kept->role;
        typed.back() = true;
        if (!attributed.back()) f->node.attributes = kept->attributes;
        attributed.back() = true;
      }
    out.push_back(std::move(f));
  }
  if (elements.empty()) return {};

  // Each volley asks what is needed of every element at once; the second
  // asks what only the role tells is needed (a window's state, a document's
  // address). A call costs the browser about a tenth of a millisecond on its
  // main thread, so nothing is asked that the translation does not read.
  auto volley = [&](const std::vector<std::pair<size_t, Asked>>& asked, std::vector<Call> calls) {
    auto replies = send(std::move(calls), timeoutMs);
    for (size_t k = 0; k < replies.size(); ++k) {
      Fetched& f = *out[asked[k].first];
      const Reply& r = replies[k];
      sd_bus_message* m = r.message.get();
      const Asked what = asked[k].second;
      if (what == Asked::role) {
        const auto role = r.failure == Failure::none ? ReplyReader::word(m) : std::nullopt;
        if (!role) {
          f.failure = r.failure == Failure::none ? Failure::other : r.failure;
          continue;
        }
        f.node.role = roleName(*role);
        continue;
      }
      if (r.failure != Failure::none) {
        incomplete[asked[k].first] = true;
        continue;
      }
      switch (what) {
        case Asked::attributes:
          if (auto attributes = ReplyReader::stringMap(m)) f.node.attributes = std::move(*attributes);
          break;
        case Asked::properties:
          if (auto p = ReplyReader::properties(m)) {
            if (p->name) f.node.name = std::move(*p->name);
            if (p->description) f.node.description = std::move(*p->description);
            if (p->childCount) f.childCount = *p->childCount;
          }
          break;
        case Asked::children:
          if (auto refs = ReplyReader::references(m, elements[asked[k].first]->busName)) f.refs = std::move(*refs);
          break;
        case Asked::text:
          if (auto s = ReplyReader::string(m)) f.node.text = std::move(*s);
          break;
        case Asked::state:
          if (auto words = ReplyReader::words(m)) {
            auto has = [&](unsigned state) {
              const size_t word = state / 32;
              return word < words->size() && (((*words)[word] >> (state % 32)) & 1u) != 0;
            };
            f.node.active = has(ATSPI_STATE_ACTIVE);
            f.node.multiLine = has(ATSPI_STATE_MULTI_LINE);
            f.node.checked = has(ATSPI_STATE_CHECKED) || has(ATSPI_STATE_PRESSED);
            f.node.indeterminate = has(ATSPI_STATE_INDETERMINATE);
            if (has(ATSPI_STATE_DEFUNCT)) f.failure = Failure::gone;
          }
          break;
        case Asked::document:
          if (auto doc = ReplyReader::stringMap(m)) {
            for (const char* key : {"URI", "DocURL"})
              if (auto it = doc->find(key); it != doc->end() && !it->second.empty()) f.node.address = it->second;
          }
          break;
        case Asked::link:
          if (auto s = ReplyReader::string(m); s && !s->empty()) f.node.address = std::move(*s);
          break;
        case Asked::role: break;
      }
    }
  };

  std::vector<std::pair<size_t, Asked>> asked;
  std::vector<Call> calls;
  for (size_t i = 0; i < elements.size(); ++i) {
    const Element& e = *elements[i];
    const std::string& bus = e.busName;
    const std::string& path = e.path;
    auto ask = [&](Asked what, const char* interface, const char* method, GVariant* arguments = nullptr) {
      asked.emplace_back(i, what);
      calls.push_back({bus, path, interface, method, arguments});
    };
    if (!typed[i]) ask(Asked::role, accessibleInterface, "GetRole");
    if (!attributed[i]) ask(Asked::attributes, accessibleInterface, "GetAttributes");
    if (!told[i])
      ask(Asked::properties, "org.freedesktop.DBus.Properties", "GetAll", g_variant_new("(s)", accessibleInterface));
    if (!e.toolkit->textRunsAreChildren) ask(Asked::text, "org.a11y.atspi.Text", "GetText", g_variant_new("(ii)", 0, -1));
  }
  volley(asked, std::move(calls));

  asked.clear();
  calls.clear();
  for (size_t i = 0; i < elements.size(); ++i) {
    const Element& e = *elements[i];
    const Fetched& f = *out[i];
    if (f.failure != Failure::none) continue;
    const std::string& role = f.node.role;
    auto ask = [&](Asked what, const char* interface, const char* method, GVariant* arguments = nullptr) {
      asked.emplace_back(i, what);
      calls.push_back({e.busName, e.path, interface, method, arguments});
    };
    // A leaf costs no request for its children.
    if (f.childCount != 0 && !told[i]) ask(Asked::children, accessibleInterface, "GetChildren");
    if (readsStates(role)) ask(Asked::state, accessibleInterface, "GetState");
    if (readsText(*e.toolkit, role) && !f.node.text) ask(Asked::text, "org.a11y.atspi.Text", "GetText", g_variant_new("(ii)", 0, -1));
    if (role == "document web" || role == "document frame" || role == "document text")
      ask(Asked::document, "org.a11y.atspi.Document", "GetAttributes");
    else if (role == "link")
      ask(Asked::link, "org.a11y.atspi.Hyperlink", "GetURI", g_variant_new("(i)", 0));
  }
  if (!calls.empty()) volley(asked, std::move(calls));

  for (size_t i = 0; i < out.size(); ++i) {
    Fetched& f = *out[i];
    f.readable = f.failure == Failure::none;
    if (!f.readable) continue;
    f.translation = translate(f.node);
    const Element& e = *elements[i];
    if (typed[i] || incomplete[i] || !mirrored(e)) continue;
    auto kept = std::make_shared<MirroredObject>();
    kept->role = f.node.role;
    kept->attributes = f.node.attributes;
    mirror_.keep(ObjectMirror::key(e.busName, e.path), std::move(kept), now);
  }
  return out;
}

namespace {

// What a Collection.GetTree answer tells, by object path: the structure from
// the pre-order and each object's child count. An answer the counts do not
// bear out is no answer.
std::optional<AtspiAccessibility::KnownSubtree> subtreeOf(sd_bus_message* reply, const std::string& busName,
                                                          const std::string& rootPath, bool askedAttributes) {
  using Known = AtspiAccessibility::Known;
  AtspiAccessibility::KnownSubtree out;
  struct Open {
    std::string path;
    int32_t left;
  };
  std::vector<Open> open;
  size_t n = 0;
  const bool read = ReplyReader::subtree(
      reply, limits.busSubtreeObjects, [&](const char* name, const char* path, ObjectProperties&& p) {
        Known k;
        if (p.name) k.name = std::move(*p.name);
        if (p.description) k.description = std::move(*p.description);
        k.attributes = std::move(p.attributes);
        if (!p.childCount || *p.childCount < 0) return false;
        k.childCount = *p.childCount;
        // An object without attributes is left out of the answer's.
        if (!k.attributes && askedAttributes) k.attributes.emplace();
        const std::string here = path;
        if (n++ == 0) {
          if (here != rootPath) return false;
        } else if (open.empty()) {
          return false;
        } else {
          out[open.back().path].children.push_back(ReplyReader::reference(name, path, busName));
          --open.back().left;
        }
        if (k.childCount > 0) open.push_back({here, k.childCount});
        while (!open.empty() && open.back().left == 0) open.pop_back();
        Known& slot = out[here];
        k.children = std::move(slot.children);
        slot = std::move(k);
        return true;
      });
  if (!read || n == 0 || !open.empty()) return std::nullopt;
  return out;
}

}  // namespace

void AtspiAccessibility::learnSubtrees(const std::vector<Part>& roots, int timeoutMs, KnownSubtree& known) {
  std::vector<const Element*> asking;
  std::vector<bool> attributesAsked;
  std::vector<Call> calls;
  const auto now = now_();
  for (const auto& [root, children] : roots) {
    {
      std::lock_guard g(lock_);
      if (auto it = subtreeCalls_.find(root->busName); it != subtreeCalls_.end() && !it->second) continue;
    }
    // Collection.GetTree, of at-spi2-core's bridge that Chromium and Firefox
    // answer through: a subtree in pre-order with the properties named, in
    // one call (roles are not among them; the match rule is not applied).
    // A part read before (all its children are known) is asked only what
    // may have changed in it: the attributes of the objects it still has
    // are kept.
    bool readBefore = mirrored(*root);
    for (size_t i = 0; readBefore && children && i < children->size(); ++i) {
      const Reference& child = (*children)[i];
      readBefore = mirror_.find(ObjectMirror::key(child.busName.empty() ? root->busName : child.busName, child.path),
                                now) != nullptr;
    }
    asking.push_back(root);
    attributesAsked.push_back(!readBefore);
    calls.push_back({root->busName, root->path, "org.a11y.atspi.Collection", "GetTree",
                     readBefore ? g_variant_new_parsed("((@ai [], 0, @a{ss} {}, 0, @ai [], 0, @as [], 0, false), "
                                                       "['Name', 'Description', 'ChildCount'])")
                                : g_variant_new_parsed("((@ai [], 0, @a{ss} {}, 0, @ai [], 0, @as [], 0, false), "
                                                       "['Name', 'Description', 'ChildCount', 'Attributes'])")});
  }
  auto replies = send(std::move(calls), timeoutMs);
  for (size_t i = 0; i < replies.size(); ++i) {
    if (replies[i].failure == Failure::unsupported) {
      std::lock_guard g(lock_);
      if (subtreeCalls_.size() > limits.busApplications) subtreeCalls_.clear();
      subtreeCalls_[asking[i]->busName] = false;
    }
    if (replies[i].failure != Failure::none) continue;
    auto told = subtreeOf(replies[i].message.get(), asking[i]->busName, asking[i]->path, attributesAsked[i]);
    if (!told) continue;
    // The next read asks for this part first, if its size still fits.
    const Element& root = *asking[i];
    if (mirrored(root)) {
      const std::string key = ObjectMirror::key(root.busName, root.path);
      if (auto kept = mirror_.find(key, now); kept && kept->partSize != told->size()) {
        auto marked = std::make_shared<MirroredObject>(*kept);
        marked->partSize = told->size();
        mirror_.keep(key, std::move(marked), now);
      }
    }
    known.merge(*told);
  }
}

std::shared_ptr<const AtspiAccessibility::Fetched> AtspiAccessibility::fetched(const Element& e) {
  if (e.prefetched) return e.prefetched;
  return fetch({&e}, e.timeoutMs->load())[0];
}

std::vector<AXElement> AtspiAccessibility::children(const Element& parent, const Fetched& f, size_t longest,
                                                    size_t ahead) {
  if (f.made) return {f.made->begin(), f.made->begin() + static_cast<ptrdiff_t>(std::min(longest, f.made->size()))};
  // The subtree below `parent`, level by level: every object of a level is
  // read in one volley, so a walk of N elements costs about as many volleys
  // as the tree has levels. At most `ahead` objects are read below the
  // children; web content is not read ahead of a request for it, so that
  // looking at a window's controls never reads its page. The children of an
  // inline element are read with it whatever the budget, as far as the
  // parent's list needs them: its text stands in that list.
  // Everything below is made here and shared only once it is complete.
  struct Open {
    const Element* element;
    const Fetched* fetched;
    size_t count;  // of its children, read
    std::vector<std::shared_ptr<const AtspiObject>>* into;
    bool forced;  // read whatever the budget: the top, and the inline elements its list needs
    int depth;    // of inline elements below the top
  };
  struct Read {
    Fetched* ahead;  // null for the top
    const Element* element;
    const Fetched* fetched;
    std::vector<std::shared_ptr<const AtspiObject>>* children;
  };
  // Its children are web content.
  const auto web = [](const Element& e, const Fetched& data) { return e.inWeb || data.translation.isDocument; };
  std::vector<std::shared_ptr<const AtspiObject>> topChildren;
  std::unordered_map<const AtspiObject*, std::shared_ptr<Element>> elementOf;
  std::vector<Read> read{{nullptr, &parent, &f, &topChildren}};
  std::vector<Open> level{{&parent, &f, std::min(longest, f.refs.size()), &topChildren, true, 0}};
  size_t budget = ahead;
  // A page's parts are asked for whole, one call each: each object in them
  // then costs only its role, not four calls. Only when read ahead, and
  // only parts deep and narrow enough that one call holds the browser no
  // longer than the part is large.
  KnownSubtree known;
  while (!level.empty()) {
    if (ahead > 0) {
      std::vector<Part> parts;
      for (const Open& open : level) {
        const Element& e = *open.element;
        if (e.inWeb && e.pageDepth >= limits.subtreeDepth && open.count > 0 &&
            open.fetched->refs.size() <= limits.subtreeFanOut && !known.contains(e.path))
          parts.push_back({&e, &open.fetched->refs});
      }
      if (!parts.empty()) learnSubtrees(parts, parent.timeoutMs->load(), known);
    }
    std::vector<std::shared_ptr<Element>> made;
    std::vector<size_t> madeFor;  // the index in `level` of each made child
    for (size_t k = 0; k < level.size(); ++k) {
      const Open& open = level[k];
      const Element& e = *open.element;
      for (size_t i = 0; i < open.count; ++i) {
        const Reference& ref = open.fetched->refs[i];
        auto child = std::make_shared<Element>();
        child->timeoutMs = e.timeoutMs;
        child->pid = e.pid;
        child->toolkit = e.toolkit;
        child->busName = ref.busName.empty() ? e.busName : ref.busName;
        child->path = ref.path;
        child->inWeb = web(e, *open.fetched);
        child->pageDepth = e.inWeb ? e.pageDepth + 1 : child->inWeb ? 1 : -1;
        made.push_back(std::move(child));
        madeFor.push_back(k);
      }
    }
    // Children that were a page part's root when last read are asked for
    // whole before anything else of them: the answer tells their own name,
    // child count and children as well, so each costs that one call, not
    // three. Only as far as the sizes their parts had fit in what is left
    // of the budget.
    if (ahead > 0) {
      std::vector<Part> early;
      size_t left = budget;
      const auto now = now_();
      for (const auto& c : made) {
        if (!c->inWeb || c->pageDepth < limits.subtreeDepth || !mirrored(*c) || known.contains(c->path)) continue;
        const auto kept = mirror_.find(ObjectMirror::key(c->busName, c->path), now);
        if (!kept || kept->partSize == 0 || kept->partSize > left) continue;
        left -= kept->partSize;
        early.push_back({c.get(), nullptr});
      }
      if (!early.empty()) learnSubtrees(early, parent.timeoutMs->load(), known);
    }
    std::vector<const Element*> asked;
    asked.reserve(made.size());
    for (const auto& c : made) asked.push_back(c.get());
    auto data = fetch(asked, parent.timeoutMs->load(), known.empty() ? nullptr : &known);

    std::vector<Open> next;
    for (size_t i = 0; i < made.size(); ++i) {
      const Open& open = level[madeFor[i]];
      const auto& c = made[i];
      Fetched* cf = data[i].get();
      c->prefetched = data[i];
      elementOf[cf] = c;
      open.into->push_back(data[i]);
      // A leaf's children are known without asking.
      if (cf->readable && cf->refs.empty()) cf->children.emplace();
      if (!cf->readable || cf->refs.empty() || isHidden(cf->node) ||
          hiddenInDeck(*c->toolkit, open.fetched->node, cf->node))
        continue;
      // An inline element the list above needs; otherwise go on below this
      // child while there is budget, all its children or none, but not into
      // a page nobody asked for.
      const bool needed = open.forced && kindOf(cf->node) == Kind::merged && open.depth < limits.inlineDepth;
      if (!needed && (cf->refs.size() > budget || (!c->inWeb && cf->translation.isDocument))) continue;
      if (!needed) budget -= cf->refs.size();
      auto& into = cf->children.emplace();
      read.push_back({cf, c.get(), cf, &into});
      next.push_back({c.get(), cf, cf->refs.size(), &into, needed, needed ? open.depth + 1 : 0});
    }
    level = std::move(next);
  }

  // The library's lists, deepest first: an element whose inline children's
  // text was not all read gets no list now (it is read when asked for), and
  // neither does an element that needs its text.
  std::vector<AXElement> top;
  for (auto it = read.rbegin(); it != read.rend(); ++it) {
    const Element& e = *it->element;
    auto pieces = libraryChildren(*e.toolkit, it->fetched->node, *it->children);
    if (!pieces) {
      if (it->ahead) it->ahead->children.reset();
      continue;
    }
    std::vector<AXElement> list;
    list.reserve(pieces->size());
    for (Piece& piece : *pieces) {
      if (piece.object) {
        list.push_back(elementOf.at(piece.object));
        continue;
      }
      auto run = std::make_shared<Element>();
      run->kind = Element::Kind::run;
      run->timeoutMs = e.timeoutMs;
      run->pid = e.pid;
      run->toolkit = e.toolkit;
      run->busName = e.busName;
      run->inWeb = web(e, *it->fetched);
      run->run = std::move(piece.text);
      run->path = e.path + "#" + std::to_string(list.size());
      list.push_back(std::move(run));
    }
    if (it->ahead) it->ahead->made = std::move(list);
    else top = std::move(list);
  }
  if (top.size() > longest) top.resize(longest);
  return top;
}

std::vector<AXElement> AtspiAccessibility::windows(const Element& app) {
  std::vector<AXElement> out;
  auto f = fetched(app);
  if (f->failure != Failure::none) return out;
  for (auto& child : children(app, *f, SIZE_MAX, 0)) {
    const auto* c = static_cast<const Element*>(child.get());
    if (!c->prefetched || c->prefetched->failure != Failure::none || !c->prefetched->translation.isWindow) continue;
    // Chromium keeps nameless frames for its pop-ups; they are no window the
    // user reads.
    if (c->prefetched->node.name.empty() && !c->prefetched->node.active) continue;
    out.push_back(child);
  }
  return out;
}

AXRead AtspiAccessibility::answer(const Element& e, const std::string& name, size_t longestList,
                                  std::optional<std::vector<AXElement>>* listed) {
  auto textValue = [](const std::optional<std::string>& s) -> AXRead {
    if (!s) return {ax_error::noValue, {}};
    return {ax_error::success, AXValue::ofText(*s)};
  };
  auto list = [](std::vector<AXElement> elements) -> AXRead {
    AXValue v = AXValue::ofList();
    for (auto& el : elements) v.items.push_back(AXValue::ofElement(std::move(el)));
    return {ax_error::success, std::move(v)};
  };
  auto element = [](AXElement el) -> AXRead {
    if (!el) return {ax_error::noValue, {}};
    return {ax_error::success, AXValue::ofElement(std::move(el))};
  };

  if (e.busName.empty()) return {ax_error::cannotComplete, {}};
  if (e.kind == Element::Kind::run) {
    if (name == AX::Role) return textValue(AX::StaticText);
    if (name == AX::Value) return textValue(e.run);
    if (name == AX::Children) return list({});
    if (name == AX::DOMClassList) return list({});
    return {ax_error::noValue, {}};
  }
  if (e.kind == Element::Kind::application) {
    // The windows, looked at once however many of the names read together need them.
    std::optional<std::vector<AXElement>> alone;
    auto windowsNow = [&]() -> std::vector<AXElement> {
      auto& slot = listed ? *listed : alone;
      if (!slot) slot = windows(e);
      return *slot;
    };
    if (name == AX::Role) return textValue(AX::Application);
    if (name == AX::Windows) {
      auto w = windowsNow();
      if (w.size() > longestList) w.resize(longestList);
      return list(std::move(w));
    }
    if (name == AX::FocusedWindow || name == AX::MainWindow) {
      auto w = windowsNow();
      if (w.empty()) return {ax_error::noValue, {}};
      // A window of an application in the background is still its focused
      // one, as on macOS; without a window manager nothing is active.
      for (const auto& candidate : w)
        if (static_cast<const Element*>(candidate.get())->prefetched->node.active) return element(candidate);
      return element(w.front());
    }
    if (name == AX::MenuBar) {
      // The menu bar sits in a window: the focused one first, a few levels down.
      auto level = windowsNow();
      std::stable_partition(level.begin(), level.end(), [](const AXElement& w) {
        return static_cast<const Element*>(w.get())->prefetched->node.active;
      });
      for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
        std::vector<AXElement> next;
        for (const auto& candidate : level) {
          const auto* c = static_cast<const Element*>(candidate.get());
          if (!c->prefetched || c->prefetched->failure != Failure::none) continue;
          if (c->prefetched->translation.role == AX::MenuBar) return element(candidate);
          if (next.size() < 64)
            for (auto& grandchild : children(*c, *c->prefetched, 64, 64)) next.push_back(std::move(grandchild));
        }
        level = std::move(next);
      }
      return {ax_error::noValue, {}};
    }
    if (name == AX::Title) {
      auto f = fetched(e);
      if (f->failure != Failure::none) return {errorOf(f->failure), {}};
      return textValue(f->node.name.empty() ? std::nullopt : std::optional(f->node.name));
    }
    return {ax_error::attributeUnsupported, {}};
  }

  auto f = fetched(e);
  if (f->failure != Failure::none) return {errorOf(f->failure), {}};
  const Translation& t = f->translation;
  if (name == AX::Role) return textValue(t.role);
  if (name == AX::Subrole) return textValue(t.subrole);
  if (name == AX::Title) return textValue(t.title);
  if (name == AX::Description) return textValue(t.desc);
  if (name == AX::Value) return textValue(t.value);
  if (name == AX::Identifier) return textValue(t.identifier);
  if (name == AX::Children) {
    // A document's children are the top of its page: a read that looks at
    // them may be judging the page by its address, and a page is read only
    // once admitted, so nothing below them is read ahead. Each of them reads
    // its own subtree ahead when the walk comes by.
    const size_t ahead = t.isDocument ? 0 : std::min<size_t>(longestList, limits.busListItems);
    return list(children(e, *f, longestList, ahead));
  }
  if (name == AX::URL) {
    if (!t.url) return {ax_error::noValue, {}};
    return {ax_error::success, AXValue::ofURL(*t.url)};
  }
  if (name == AX::DOMClassList || name == AX::DOMIdentifier) {
    // Only web content has a DOM: the class names and view identifiers of
    // browser controls never pass for a page's.
    if (!e.inWeb) return {ax_error::attributeUnsupported, {}};
    if (name == AX::DOMIdentifier) return textValue(t.domID);
    AXValue v = AXValue::ofList();
    for (const auto& c : t.domClasses) v.items.push_back(AXValue::ofText(c));
    return {ax_error::success, std::move(v)};
  }
  return {ax_error::attributeUnsupported, {}};
}

AXRead AtspiAccessibility::attribute(const AXElement& element, const std::string& name) {
  const auto* e = dynamic_cast<const Element*>(element.get());
  if (!e) return {ax_error::invalidElement, {}};
  return answer(*e, name, SIZE_MAX);
}

AXMultiRead AtspiAccessibility::attributes(const AXElement& element, const std::vector<std::string>& names,
                                           size_t longestList) {
  const auto* e = dynamic_cast<const Element*>(element.get());
  if (!e) return {ax_error::invalidElement, {}};
  if (e->busName.empty()) return {ax_error::cannotComplete, {}};
  if (e->kind == Element::Kind::object) {
    // One fetch answers every name; a gone element fails the whole read.
    auto f = fetched(*e);
    if (f->failure != Failure::none) return {errorOf(f->failure), {}};
  }
  AXMultiRead out;
  std::optional<std::vector<AXElement>> listed;
  for (const auto& name : names) {
    AXRead one = answer(*e, name, longestList, &listed);
    if (one.error == ax_error::success) {
      out.values.push_back(std::move(one.value));
    } else {
      out.values.push_back(AXValue::placeholder());
    }
  }
  return out;
}

void AtspiAccessibility::setBoolean(const AXElement& application, const std::string& name, bool value) {
  const auto* e = dynamic_cast<const Element*>(application.get());
  if (!e || e->kind != Element::Kind::application) return;
  if (name != AX::ManualAccessibility && name != AX::EnhancedUserInterface) return;
  switchFor(e->pid, value);
  // Chromium builds a window's web tree once a client reads that window: the
  // window list reads every window's attributes.
  if (value && !e->busName.empty()) (void)windows(*e);
}

std::pair<std::string, std::string> AtspiAccessibility::whereIs(const AXElement& element) {
  const auto* e = dynamic_cast<const Element*>(element.get());
  if (!e) return {};
  return {e->busName, e->path};
}

bool AtspiAccessibility::equal(const AXElement& a, const AXElement& b) {
  const auto* x = dynamic_cast<const Element*>(a.get());
  const auto* y = dynamic_cast<const Element*>(b.get());
  if (!x || !y) return a == b;
  return x->kind == y->kind && x->busName == y->busName && x->path == y->path && x->pid == y->pid;
}

}  // namespace zel::platform::atspi
