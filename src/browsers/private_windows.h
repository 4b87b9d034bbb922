#pragma once
// Which browser windows may be read: never a private, incognito or guest
// window, and nothing of a browser whose windows cannot be judged. Every
// signal that cannot be read or trusted counts as private.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ax_vocabulary.h"
#include "base/limits.h"
#include "browsers/browsers.h"
#include "browsers/read_verdicts.h"

namespace zel::browsers {

// The values of one window control, as a control source reads them.
template <class Element>
struct ControlValues {
  std::optional<std::string> role;
  std::vector<std::string> ids;
  std::vector<Element> children;
};

namespace PrivateWindows {

// Whether the title endings can be trusted in this interface language.
bool languageAllows(const Browser::PrivateRule& rule, const std::optional<std::string>& language);
// Whether the browser's windows can be judged at all now.
bool readsIn(const Browser::PrivateRule& rule, const std::optional<std::string>& language,
             const std::optional<std::vector<std::string>>& menuTitles);
bool isPrivate(const Browser::PrivateRule& rule, const std::optional<std::string>& title,
               const std::vector<std::string>& markers);
// Whether the title alone marks a window private (or, with no title, cannot
// clear it).
bool titleMarksPrivate(const Browser::PrivateRule& rule, const std::optional<std::string>& title);

struct Controls {
  std::vector<std::string> ids;
  bool unsure = false;  // an element whose role could not be read
};

// The control identifiers of a window, within the controls walk limits,
// never inside web content.
template <class Source>
Controls controls(Source& source, const typename Source::Element& window);

// Whether a window passes the rule given its title and what the controls walk
// found, and if not why. A browser's windows are judged one by one only when
// readsIn allows.
template <class Source>
WindowVerdict windowVerdict(const Browser::PrivateRule& rule, Source& source, const typename Source::Element& window,
                            const std::optional<std::string>& title);

// Firefox's always-private mode.
using IsLocked = std::function<bool(const std::filesystem::path& file)>;
// The profile directories under a browser's profile root; nullopt when
// "profiles.ini" exists but cannot be read.
std::optional<std::vector<std::filesystem::path>> profiles(const std::filesystem::path& root);
// True only when every profile in use has the always-private preference off.
bool allowsReading(const Browser::AlwaysPrivate& rule, const std::filesystem::path& home, const IsLocked& isLocked);
// Whether another process holds a write lock on the file.
bool heldByAnotherProcess(const std::filesystem::path& file);
// A preference file's text without its comments; nullopt when a comment or
// quote does not close.
std::optional<std::string> withoutComments(std::string_view text);

}  // namespace PrivateWindows

// ---- templates ----

template <class Source>
PrivateWindows::Controls PrivateWindows::controls(Source& source, const typename Source::Element& window) {
  Controls out;
  int visits = 0;
  std::vector<std::pair<typename Source::Element, int>> pending{{window, 0}};
  while (!pending.empty()) {
    auto [element, depth] = std::move(pending.back());
    pending.pop_back();
    if (++visits > limits.controlsWalkElements) continue;
    // Children past the walk's limit would never be visited: the walk takes
    // the first child's subtree first, and each element costs one visit.
    const auto left = static_cast<size_t>(limits.controlsWalkElements - visits);
    ControlValues<typename Source::Element> values = source.control(element, left);
    if (!values.role) {
      out.unsure = true;
      continue;
    }
    if (*values.role == AX::WebArea) continue;  // web content is never searched
    for (auto& id : values.ids)
      if (!id.empty()) out.ids.push_back(std::move(id));
    if (depth >= limits.controlsWalkDepth) continue;
    for (auto it = values.children.rbegin(); it != values.children.rend(); ++it) pending.emplace_back(*it, depth + 1);
  }
  return out;
}

template <class Source>
WindowVerdict PrivateWindows::windowVerdict(const Browser::PrivateRule& rule, Source& source,
                                            const typename Source::Element& window,
                                            const std::optional<std::string>& title) {
  if (titleMarksPrivate(rule, title)) return WindowVerdict::privateByTitle;
  if (rule.privateMarkers.empty() && rule.normalMarkers.empty()) return WindowVerdict::read;
  const Controls c = controls(source, window);
  if (c.unsure) return WindowVerdict::controlsUnreadable;
  return isPrivate(rule, title, c.ids) ? WindowVerdict::privateByControls : WindowVerdict::read;
}

}  // namespace zel::browsers
