#include "profile/x/x_profile_extractor.h"

#include <algorithm>
#include <chrono>

#include "base/ax_vocabulary.h"
#include "base/hosts.h"
#include "base/unicode_text.h"

namespace zel::profile::XProfileExtractor {

namespace {

// The second segment of an own X link ("<handle>/<word>"), else nullopt.
std::optional<std::string> ownLinkWord(const trees::AXNode& n, const std::string& handle) {
  if (!hasRole(n, AX::Link) || !n.url) return std::nullopt;
  const auto lp = LinkPath::parse(*n.url);
  if (!lp || lp->host != hosts::x || lp->segments.size() != 2 || lowercased(lp->segments[0]) != handle)
    return std::nullopt;
  return lp->segments[1];
}

bool isFollowerWord(const std::string& w) { return w == "following" || w == "followers" || w == "verified_followers"; }

std::optional<std::string> staticText(const trees::AXNode& n) {
  if (!hasRole(n, AX::StaticText)) return std::nullopt;
  const std::string_view raw = n.value ? std::string_view(*n.value) : n.title ? std::string_view(*n.title) : "";
  const std::string_view t = trimmedView(raw);
  if (t.empty()) return std::nullopt;
  return std::string(t);
}

struct Static {
  size_t position;
  std::string text;
};

std::vector<Static> statics(const std::vector<const trees::AXNode*>& nodes, size_t from, size_t to) {
  std::vector<Static> out;
  for (size_t i = from; i < to && i < nodes.size(); ++i)
    if (auto t = staticText(*nodes[i])) out.push_back({i, std::move(*t)});
  return out;
}

}  // namespace

std::vector<std::optional<size_t>> parentIndex(const std::vector<const trees::AXNode*>& nodes) {
  std::vector<std::optional<size_t>> parents(nodes.size());
  std::vector<std::pair<size_t, size_t>> open;  // (position, children still to come)
  for (size_t i = 0; i < nodes.size(); ++i) {
    while (!open.empty() && open.back().second == 0) open.pop_back();
    if (!open.empty()) {
      parents[i] = open.back().first;
      --open.back().second;
    }
    open.emplace_back(i, nodes[i]->children.size());
  }
  return parents;
}

ProfileOutcome extract(const trees::AXNode& page, const ProfilePage& at, Date now, const CaptureClock& clock) {
  const auto started = std::chrono::steady_clock::now();
  const std::string& handle = at.handle;
  const auto nodes = page.preorder();
  const ProfileOutcome notOwn = ProfileOutcome::notOwn(ProfileStatus{ProfilePage::Site::x, ProfilePage::View::profile, false});

  size_t p = nodes.size();
  for (size_t i = 0; i < nodes.size(); ++i)
    if (auto w = ownLinkWord(*nodes[i], handle); w && isFollowerWord(*w)) {
      p = i;
      break;
    }
  if (p == 0) return notOwn;
  std::optional<size_t> settings, photoLink;
  for (size_t i = 0; i < p && !settings; ++i) {
    const trees::AXNode& n = *nodes[i];
    if (!hasRole(n, AX::Link) || !n.url) continue;
    const auto lp = LinkPath::parse(*n.url);
    if (lp && lp->host == hosts::x && lp->segments == std::vector<std::string>{"settings", "profile"}) settings = i;
  }
  for (size_t i = 0; i < p && !photoLink; ++i)
    if (ownLinkWord(*nodes[i], handle) == "photo") photoLink = i;
  if (!settings || !photoLink) return notOwn;

  XHeader header;
  const size_t nameFrom = *settings + nodes[*settings]->preorder().size();
  const auto afterSettings = statics(nodes, nameFrom, p);
  if (!afterSettings.empty()) header.name = afterSettings.front().text;
  std::optional<size_t> handleLine;
  for (const auto& s : afterSettings)
    if (s.text.starts_with("@")) {
      handleLine = s.position;
      break;
    }

  for (size_t i = 0; i < p; ++i) {
    const trees::AXNode& g = *nodes[i];
    if (!hasRole(g, AX::Group)) continue;
    const bool about = std::any_of(g.children.begin(), g.children.end(), [&](const trees::AXNode& c) {
      return c.first([&](const trees::AXNode& d) { return ownLinkWord(d, handle) == "about"; }) != nullptr;
    });
    const bool hasStatic = std::any_of(g.children.begin(), g.children.end(),
                                       [](const trees::AXNode& c) { return hasRole(c, AX::StaticText); });
    if (!about || !hasStatic) continue;
    for (const trees::AXNode& c : g.children) {
      if (!hasRole(c, AX::StaticText)) continue;
      const std::string_view raw = c.value ? std::string_view(*c.value) : c.title ? std::string_view(*c.title) : "";
      const std::string_view t = trimmedHorizontal(raw);
      if (!t.empty()) header.details.emplace_back(t);
    }
    break;
  }

  if (handleLine) {
    const auto afterHandle = statics(nodes, *handleLine + 1, p);
    if (!afterHandle.empty() &&
        std::find(header.details.begin(), header.details.end(), afterHandle.front().text) == header.details.end()) {
      // A bio with links in it is read whole: from the first ancestor that
      // is not a link.
      const auto parents = parentIndex(nodes);
      std::optional<size_t> at = parents[afterHandle.front().position];
      while (at && hasRole(*nodes[*at], AX::Link)) at = parents[*at];
      header.bio = at ? nodes[*at]->text() : afterHandle.front().text;
    }
  }

  ProfileRead r;
  r.site = ProfilePage::Site::x;
  r.handle = handle;
  r.view = ProfilePage::View::profile;
  r.proof = {"settings_profile"};
  const trees::AXNode* img = nodes[*photoLink]->first([](const trees::AXNode& n) {
    if (!hasRole(n, AX::Image) || !n.url) return false;
    const auto lp = LinkPath::parse(*n.url);
    return lp && lp->host == hosts::xImages && !lp->segments.empty() && lp->segments.front() == "profile_images" &&
           (lp->segments.back().ends_with("_400x400.jpg") || lp->segments.back().ends_with("_400x400.png"));
  });
  if (img) r.photo = ProfileImage{*img->url, ProfileImage::size(*img->url), ProfileImage::expiry(*img->url), "x_photo"};
  r.health.emptyDropped = header.bio ? 0 : 1;
  r.x = std::move(header);
  r.health.nodes = static_cast<int64_t>(nodes.size());
  r.health.readMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  r.capturedAt = now;
  r.timeZone = clock.timeZone().value_or("");
  return ProfileOutcome::own(std::move(r));
}

}  // namespace zel::profile::XProfileExtractor
