#include "profile/linkedin/linkedin_profile_extractor.h"

#include <boost/url/parse.hpp>
#include <boost/url/url_view.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <unordered_map>

#include "base/ax_vocabulary.h"
#include "base/hosts.h"
#include "profile/linkedin/linkedin_page.h"
#include "base/unicode_text.h"

namespace zel::profile::LinkedInProfileExtractor {

namespace {

using Path = std::vector<std::string>;

}  // namespace

const LinkPath* LinkMemo::of(const trees::AXNode& n) {
  if (!n.url) return nullptr;
  auto [it, fresh] = links_.try_emplace(&n);
  if (fresh) it->second = LinkPath::parse(*n.url);
  return it->second ? &*it->second : nullptr;
}

namespace {

bool startsWith(const Path& path, std::initializer_list<std::string_view> words) {
  if (path.size() < words.size()) return false;
  size_t i = 0;
  for (std::string_view w : words)
    if (path[i++] != w) return false;
  return true;
}

// The own link path of a link node: its segments after "in/<slug>".
std::optional<Path> ownPath(const trees::AXNode& n, std::string_view slug, LinkMemo& memo) {
  if (!hasRole(n, AX::Link) || !n.url) return std::nullopt;
  const LinkPath* link = memo.of(n);
  if (!link) return std::nullopt;
  return LinkedInPage::under(*link, slug);
}

std::string editPath(const Path& path) {
  std::string text = "/";
  for (size_t i = 0; i < path.size(); ++i) {
    if (i) text += '/';
    text += path[i];
  }
  return text + "/";
}

bool excludedID(std::string_view id) {
  return LinkedInPage::isAside(id) || id == LinkedInPage::messagingOverlay ||
         id.ends_with("activity_posts_pillContent");
}

// One static text as the texts rule reads it; nullopt when it shows nothing.
std::optional<std::string> staticText(const trees::AXNode& n) {
  if (!hasRole(n, AX::StaticText)) return std::nullopt;
  const std::string_view raw = n.value ? std::string_view(*n.value) : n.title ? std::string_view(*n.title) : "";
  const std::string_view t = trimmedView(raw);
  if (t.empty() || t == "\u00B7" || t == "\u2022") return std::nullopt;
  return std::string(t);
}

ProfileImage image(const std::string& url, std::optional<std::string> from) {
  return ProfileImage{url, ProfileImage::size(url), ProfileImage::expiry(url), std::move(from)};
}

std::optional<ProfileImage> logoOf(const trees::AXNode& link, LinkMemo& memo) {
  const trees::AXNode* img = link.first([&memo](const trees::AXNode& n) {
    if (!hasRole(n, AX::Image) || !n.url) return false;
    const LinkPath* p = memo.of(n);
    return p && p->host == hosts::linkedInImages;
  });
  if (!img) return std::nullopt;
  return image(*img->url, std::nullopt);
}

std::vector<std::string> linesOf(const trees::AXNode& link) {
  std::vector<std::string> lines;
  for (const trees::AXNode& c : link.children)
    if (std::string t = c.text(); !t.empty()) lines.push_back(std::move(t));
  if (lines.empty()) lines = link.texts();
  return lines;
}

}  // namespace

const std::set<std::string, std::less<>>& entityKinds() {
  static const std::set<std::string, std::less<>> kinds{"experience", "education", "skills",       "certifications", "projects",
                                                        "honors",     "volunteering", "publications", "courses"};
  return kinds;
}

std::vector<std::string> proof(const std::vector<Path>& paths) {
  std::set<std::string> tokens;
  for (const Path& p : paths) {
    if (startsWith(p, {"edit", "intro"})) tokens.insert("edit_intro");
    if (startsWith(p, {"edit", "forms"})) tokens.insert("edit_forms");
    for (const char* kind : {"experience", "skills", "education"})
      if (p.size() >= 5 && p[0] == "details" && p[1] == kind && p[2] == "edit" && p[3] == "forms")
        tokens.insert(std::string("details_") + kind + "_edit");
  }
  return {tokens.begin(), tokens.end()};
}

std::vector<const trees::AXNode*> cards(const trees::AXNode& page, std::string_view slug, LinkMemo& memo) {
  std::vector<const trees::AXNode*> found;
  std::vector<const trees::AXNode*> pending{&page};
  while (!pending.empty()) {
    const trees::AXNode* n = pending.back();
    pending.pop_back();
    if (n->domID) {
      if (excludedID(*n->domID)) continue;
      if (n->domID->starts_with(cardPrefix)) {
        found.push_back(n);
        continue;
      }
    }
    for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) pending.push_back(&*it);
  }
  if (!found.empty()) return found;

  // No card identifiers: cards by their shape, under the main landmark.
  const trees::AXNode* root = page.first([](const trees::AXNode& n) { return hasSubrole(n, AX::LandmarkMain); });
  if (!root) root = &page;
  for (auto top = root->children.rbegin(); top != root->children.rend(); ++top) pending.push_back(&*top);
  while (!pending.empty()) {
    const trees::AXNode* n = pending.back();
    pending.pop_back();
    if (n->domID && excludedID(*n->domID)) continue;
    if (hasRole(*n, AX::Group)) {
      const bool card = std::any_of(n->children.begin(), n->children.end(), [&](const trees::AXNode& c) {
        if (hasRole(c, AX::Heading)) return true;
        const auto path = ownPath(c, slug, memo);
        return path && *path == Path{"edit", "intro"};
      });
      if (card) {
        found.push_back(n);
        continue;
      }
    }
    for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) pending.push_back(&*it);
  }
  return found;
}

std::vector<Path> topCardPaths(const trees::AXNode& page, std::string_view slug, LinkMemo& memo) {
  for (const trees::AXNode* card : cards(page, slug, memo)) {
    if (!card->domID || !card->domID->starts_with(cardPrefix)) continue;
    if (card->domID->substr(cardPrefix.size()).find("Topcard") == std::string::npos) continue;
    std::vector<Path> paths;
    forEachPreorder(*card, [&](const trees::AXNode& n) {
      if (auto p = ownPath(n, slug, memo)) paths.push_back(std::move(*p));
      return true;
    });
    return paths;
  }
  return {};
}

CardKind cardKind(std::string_view domID) {
  const std::string_view rest = domID.substr(std::min(domID.size(), cardPrefix.size()));
  for (const auto& [ending, kind] : LinkedInPage::cardEndings()) {
    if (!rest.ends_with(ending)) continue;
    if (kind.empty()) return {std::nullopt, true};
    return {std::string(kind), false};
  }
  return {std::nullopt, false};
}

std::string bodyText(const trees::AXNode& card) {
  const trees::AXNode* heading = card.first([](const trees::AXNode& n) { return hasRole(n, AX::Heading); });
  return card.text(heading);
}

std::optional<ProfileSection> read(const trees::AXNode& card, std::string_view slug, ProfilePage::View view,
                                   ProfileHealth& health, LinkMemo& memo) {
  const CardKind ck = cardKind(card.domID.value_or(""));
  if (ck.never) return std::nullopt;

  std::vector<const LinkPath*> linkPaths;  // owned by the reading's memo
  std::vector<std::string> editPaths;
  forEachPreorder(card, [&](const trees::AXNode& n) {
    if (!hasRole(n, AX::Link) || !n.url) return true;
    if (const LinkPath* lp = memo.of(n)) {
      if (auto own = LinkedInPage::under(*lp, slug)) editPaths.push_back(editPath(*own));
      linkPaths.push_back(lp);
    }
    return true;
  });
  for (const auto& e : editPaths)
    for (std::string_view refused :
         {"/details/recommendations/", "/details/add-connected-account/", "/edit/secondary-language/", "/recent-activity/"})
      if (e.find(refused) != std::string::npos) return std::nullopt;

  static constexpr std::array<std::pair<std::string_view, std::array<std::string_view, 2>>, 8> editKinds{{
      {"about", {"/edit/forms/summary/", ""}},
      {"services", {"/opportunities/services/edit", ""}},
      {"experience", {"/edit/forms/position/", "/details/experience/"}},
      {"education", {"/edit/forms/education/", "/details/education/"}},
      {"skills", {"/skills/edit/forms/", "/details/skills/"}},
      {"languages", {"/details/languages/", ""}},
      {"causes", {"/edit/forms/causes/", ""}},
      {"topcard", {"/edit/intro/", ""}},
  }};
  std::optional<std::string> byEdit;
  for (const auto& [kind, needles] : editKinds) {
    for (std::string_view needle : needles)
      if (!needle.empty())
        for (const auto& e : editPaths)
          if (e.find(needle) != std::string::npos) byEdit = std::string(kind);
    if (byEdit) break;
  }
  std::optional<std::string> byAddress;
  switch (view) {
    case ProfilePage::View::detailsExperience: byAddress = "experience"; break;
    case ProfilePage::View::detailsSkills: byAddress = "skills"; break;
    case ProfilePage::View::detailsEducation: byAddress = "education"; break;
    default: break;
  }

  const std::array<std::pair<const char*, const std::optional<std::string>*>, 3> votes{
      {{"dom_id", &ck.kind}, {"edit_link", &byEdit}, {"page_address", &byAddress}}};
  ProfileSection section;
  for (const auto& [name, kind] : votes)
    if (*kind) section.typedBy.push_back(name);

  if (section.typedBy.empty()) {
    if (!linkPaths.empty()) {
      for (const LinkPath* lp : linkPaths)
        if (LinkedInPage::isLinkedIn(*lp) && lp->segments.size() >= 2 && lp->segments[0] == "in" && lowercased(lp->segments[1]) != slug) {
          ++health.otherPeopleDropped;
          return std::nullopt;
        }
      for (const LinkPath* lp : linkPaths) {
        const std::string first = lp->segments.empty() ? "" : lp->segments[0];
        if (LinkedInPage::isLinkedIn(*lp) && (first == "analytics" || first == "dashboard")) return std::nullopt;
      }
    }
    section.text = bodyText(card);
    if (section.text.empty()) {
      ++health.emptyDropped;
      return std::nullopt;
    }
    ++health.untyped;
    section.kind = "unknown";
    return section;
  }

  for (const auto& [name, kind] : votes)
    if (*kind) {
      section.kind = **kind;
      break;
    }
  for (const auto& [name, kind] : votes)
    if (*kind && **kind != section.kind) {
      ++health.typedDisagree;
      break;
    }
  section.text = bodyText(card);

  if (section.kind == "topcard") {
    section.topcard = topcard(card, memo);
    std::string text;
    for (const auto* part : {&section.topcard->name, &section.topcard->headline, &section.topcard->location})
      if (*part) text += (text.empty() ? "" : "\n") + **part;
    section.text = text;
  } else if (section.kind == "experience") {
    section.roles = roles(card, slug, memo);
  } else if (section.kind == "education") {
    section.schools = schools(card, slug, memo);
  } else if (section.kind == "skills") {
    section.skills = skills(card);
  }

  if (!entityKinds().contains(section.kind)) {
    if (section.text.empty()) {
      ++health.emptyDropped;
      return std::nullopt;
    }
  } else {
    const size_t n = (section.roles ? section.roles->size() : 0) + (section.schools ? section.schools->size() : 0) +
                     (section.skills ? section.skills->size() : 0);
    if (n == 0) {
      const bool entryLink = std::any_of(editPaths.begin(), editPaths.end(), [](const std::string& e) {
        std::vector<std::string_view> pieces;
        for (size_t start = 0; start < e.size();) {
          size_t end = std::min(e.find('/', start), e.size());
          if (end > start) pieces.push_back(std::string_view(e).substr(start, end - start));
          start = end + 1;
        }
        return !pieces.empty() && std::find(pieces.begin(), pieces.end(), "forms") != pieces.end() &&
               isAllNumeric(pieces.back());
      });
      if (!entryLink || section.kind == "experience" || section.kind == "education" || section.kind == "skills") {
        ++health.emptyDropped;
        return std::nullopt;
      }
    }
  }

  for (const auto& name : section.typedBy) {
    if (name == "dom_id") ++health.byDomId;
    else if (name == "edit_link") ++health.byEditLink;
    else ++health.byAddress;
  }
  return section;
}

ProfileOutcome extract(const trees::AXNode& page, const ProfilePage& at, Date now, const CaptureClock& clock) {
  // Addresses are parsed once per reading, however often its steps ask.
  LinkMemo memo;
  const auto started = std::chrono::steady_clock::now();
  const std::string& slug = at.handle;
  std::vector<Path> ownPaths;
  size_t nodes = 0;
  forEachPreorder(page, [&](const trees::AXNode& n) {
    ++nodes;
    if (auto p = ownPath(n, slug, memo)) ownPaths.push_back(std::move(*p));
    return true;
  });
  std::vector<std::string> tokens = proof(ownPaths);
  // The intro edit link proves ownership only inside the top card.
  const auto top = topCardPaths(page, slug, memo);
  if (std::find(top.begin(), top.end(), Path{"edit", "intro"}) == top.end())
    tokens.erase(std::remove(tokens.begin(), tokens.end(), "edit_intro"), tokens.end());

  const char* required = nullptr;
  switch (at.view) {
    case ProfilePage::View::profile: required = "edit_intro"; break;
    case ProfilePage::View::detailsExperience: required = "details_experience_edit"; break;
    case ProfilePage::View::detailsSkills: required = "details_skills_edit"; break;
    case ProfilePage::View::detailsEducation: required = "details_education_edit"; break;
  }
  if (std::find(tokens.begin(), tokens.end(), required) == tokens.end())
    return ProfileOutcome::notOwn(ProfileStatus{ProfilePage::Site::linkedin, at.view, false});

  ProfileRead r;
  r.site = ProfilePage::Site::linkedin;
  r.handle = slug;
  r.view = at.view;
  r.proof = std::move(tokens);
  for (const trees::AXNode* card : cards(page, slug, memo))
    if (auto s = read(*card, slug, at.view, r.health, memo)) r.sections.push_back(std::move(*s));
  for (const auto& s : r.sections) {
    if (s.roles) {
      r.health.roles += static_cast<int64_t>(s.roles->size());
      for (const auto& role : *s.roles)
        if (role.logo) ++r.health.logos;
    }
    if (s.skills) r.health.skills += static_cast<int64_t>(s.skills->size());
    if (s.schools) r.health.schools += static_cast<int64_t>(s.schools->size());
  }
  r.photo = photo(page, slug, memo);
  r.health.nodes = static_cast<int64_t>(nodes);
  r.health.readMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  r.capturedAt = now;
  r.timeZone = clock.timeZone().value_or("");
  return ProfileOutcome::own(std::move(r));
}

// ---- entries ----

std::vector<Event> events(const trees::AXNode& card, std::string_view slug, LinkMemo& memo) {
  std::vector<Event> out;
  std::vector<const trees::AXNode*> pending;
  for (auto it = card.children.rbegin(); it != card.children.rend(); ++it) pending.push_back(&*it);
  while (!pending.empty()) {
    const trees::AXNode& n = *pending.back();
    pending.pop_back();
    if (hasRole(n, AX::Link)) {
      if (!n.url) continue;
      const LinkPath* lp = memo.of(n);
      if (!lp || !LinkedInPage::isLinkedIn(*lp)) continue;
      if (lp->segments.size() >= 2 && (lp->segments[0] == "company" || lp->segments[0] == "school")) {
        out.push_back({lp->segments[0] == "company" ? Event::Kind::company : Event::Kind::school, lp->segments[1],
                       logoOf(n, memo), {}, {}});
        continue;
      }
      const auto own = LinkedInPage::under(*lp, slug);
      if (!own) continue;
      const Path& p = *own;
      if (p.size() == 3 && p[0] == "overlay" && p[2] == "skill-associations-details") {
        std::string joined;
        for (const auto& t : n.texts()) joined += (joined.empty() ? "" : " ") + t;
        out.push_back({Event::Kind::skillsLine, {}, {}, {}, joined});
      } else if (p.size() == 5 && startsWith(p, {"details", "experience", "edit", "forms"})) {
        out.push_back({Event::Kind::role, p[4], {}, linesOf(n), {}});
      } else if (p.size() == 5 && startsWith(p, {"details", "education", "edit", "forms"})) {
        out.push_back({Event::Kind::education, p[4], {}, linesOf(n), {}});
      } else if (p.size() == 4 && startsWith(p, {"edit", "forms", "position"})) {
        out.push_back({Event::Kind::role, p[3], {}, linesOf(n), {}});
      } else if (p.size() == 4 && startsWith(p, {"edit", "forms", "education"}) && p[3] != "new") {
        out.push_back({Event::Kind::education, p[3], {}, linesOf(n), {}});
      }
      continue;
    }
    if (n.isBlock() && !hasRole(n, AX::Heading)) {
      if (std::string t = n.text(); !t.empty()) out.push_back({Event::Kind::block, {}, {}, {}, std::move(t)});
      continue;
    }
    for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) pending.push_back(&*it);
  }
  return out;
}

std::vector<ProfileRole> roles(const trees::AXNode& card, std::string_view slug, LinkMemo& memo) {
  std::vector<ProfileRole> list;
  std::set<std::string> seen;  // role ids already listed
  std::vector<std::vector<std::string>> blocks;
  std::optional<std::pair<std::string, std::optional<ProfileImage>>> company;
  bool attach = false;
  for (auto& e : events(card, slug, memo)) {
    switch (e.kind) {
      case Event::Kind::company:
        company = {e.id, e.logo};
        attach = false;
        break;
      case Event::Kind::role: {
        if (e.lines.empty() || !seen.insert(e.id).second) break;
        ProfileRole r;
        r.roleId = e.id;
        if (company) {
          r.companyId = company->first;
          r.logo = company->second;
        }
        auto line = [&](size_t i) { return i < e.lines.size() ? std::optional(e.lines[i]) : std::nullopt; };
        r.title = line(0);
        r.companyLine = line(1);
        r.datesText = line(2);
        r.location = line(3);
        list.push_back(std::move(r));
        blocks.emplace_back();
        attach = true;
        break;
      }
      case Event::Kind::skillsLine:
        if (attach) list.back().skillsLine = e.text;
        break;
      case Event::Kind::block:
        if (attach) blocks.back().push_back(e.text);
        break;
      default: break;
    }
  }
  for (size_t i = 0; i < list.size(); ++i) {
    std::vector<std::string> kept;
    for (const auto& b : blocks[i])
      if (characterCount(b) > 2) kept.push_back(b);
    if (kept.empty()) continue;
    size_t longest = 0;
    for (size_t k = 1; k < kept.size(); ++k)
      if (characterCount(kept[k]) > characterCount(kept[longest])) longest = k;
    const std::string candidate = kept[longest];
    std::vector<std::string> rest;
    for (const auto& k : kept)
      if (k != candidate) rest.push_back(k);
    ProfileRole& r = list[i];
    if (!r.location && !rest.empty()) {
      r.location = rest.front();
      r.description = candidate;
    } else if (r.location) {
      r.description = candidate;
    } else if (kept.size() == 1 && characterCount(candidate) <= 60 && candidate.find('\n') == std::string::npos) {
      r.location = candidate;
    } else {
      r.description = candidate;
    }
  }
  return list;
}

std::vector<ProfileSchool> schools(const trees::AXNode& card, std::string_view slug, LinkMemo& memo) {
  std::vector<ProfileSchool> list;
  std::set<std::string> seen;  // education ids already listed
  std::optional<std::pair<std::string, std::optional<ProfileImage>>> organisation;
  bool attach = false;
  for (auto& e : events(card, slug, memo)) {
    switch (e.kind) {
      case Event::Kind::company:
      case Event::Kind::school:
        organisation = {e.id, e.logo};
        attach = false;
        break;
      case Event::Kind::education:
        if (e.lines.empty() || !seen.insert(e.id).second) break;
        list.push_back({e.id, organisation ? std::optional(organisation->first) : std::nullopt, e.lines,
                        organisation ? organisation->second : std::nullopt});
        attach = true;
        break;
      case Event::Kind::block:
        if (attach && characterCount(e.text) > 2) list.back().lines.push_back(e.text);
        break;
      default: break;
    }
  }
  return list;
}

std::vector<ProfileSkill> skills(const trees::AXNode& card) {
  std::vector<ProfileSkill> list;
  std::set<std::string> seen;  // skill ids already listed
  constexpr std::string_view prefix = LinkedInPage::skillPrefix;
  forEachPreorder(card, [&](const trees::AXNode& n) {
    if (!n.domID || !n.domID->starts_with(prefix) || !n.domID->ends_with(')')) return true;
    const std::string_view id = *n.domID;
    const size_t comma = id.rfind(',');
    if (comma == std::string_view::npos || comma < prefix.size() - 1) return true;
    const std::string skillId(trimmedHorizontal(id.substr(comma + 1, id.size() - comma - 2)));
    if (skillId.empty()) return true;
    if (!seen.insert(skillId).second) return true;
    auto texts = n.texts();
    ProfileSkill s;
    s.skillId = skillId;
    if (!texts.empty()) {
      s.name = texts.front();
      s.context.assign(texts.begin() + 1, texts.end());
    }
    list.push_back(std::move(s));
    return true;
  });
  return list;
}

Topcard topcard(const trees::AXNode& card, LinkMemo& memo) {
  const auto nodes = card.preorder();
  Topcard t;
  size_t start = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (!hasRole(*nodes[i], AX::Heading)) continue;
    const auto texts = nodes[i]->texts();
    if (texts.empty()) continue;
    std::string name;
    for (const auto& s : texts) name += (name.empty() ? "" : " ") + s;
    t.name = name;
    start = i + nodes[i]->preorder().size();
    break;
  }
  size_t contact = nodes.size();
  for (size_t i = 0; i < nodes.size(); ++i) {
    const trees::AXNode& n = *nodes[i];
    if (!hasRole(n, AX::Link) || !n.url) continue;
    const LinkPath* lp = memo.of(n);
    if (lp && lp->segments.size() >= 2 && lp->segments[lp->segments.size() - 2] == "overlay" &&
        lp->segments.back() == "contact-info") {
      contact = i;
      break;
    }
  }
  if (contact == nodes.size()) return t;
  std::vector<std::string> statics;
  for (size_t i = start; i < contact; ++i)
    if (auto s = staticText(*nodes[i])) statics.push_back(std::move(*s));
  if (statics.size() >= 2) {
    t.headline = statics[statics.size() - 2];
    t.location = statics.back();
  } else if (statics.size() == 1) {
    t.location = statics.back();
  }
  return t;
}

std::optional<ProfileImage> photo(const trees::AXNode& page, std::string_view slug, LinkMemo& memo) {
  struct Flags {
    bool ownLink = false, excluded = false, overlay = false;
  };
  std::vector<const trees::AXNode*> own, avatars;
  std::vector<std::pair<const trees::AXNode*, Flags>> pending{{&page, Flags{}}};
  while (!pending.empty()) {
    auto [n, flags] = pending.back();
    pending.pop_back();
    if (n->domID) {
      if (LinkedInPage::isAside(*n->domID)) flags.excluded = true;
      if (*n->domID == LinkedInPage::messagingOverlay) flags.overlay = true;
    }
    if (hasRole(*n, AX::Link) && n->url) {
      if (const LinkPath* lp = memo.of(*n)) {
        const auto member = LinkedInPage::memberOf(*lp);
        if (member && *member == slug && lp->segments.size() == 2) flags.ownLink = true;
        else if (member) flags.excluded = true;
        if (LinkedInPage::isLinkedIn(*lp) && lp->segments.size() >= 2 && lp->segments[0] == "li" && lp->segments[1] == "tscp")
          flags.excluded = true;
      }
    }
    if (hasRole(*n, AX::Image) && n->url) {
      const LinkPath* lp = memo.of(*n);
      const bool photoImage =
          lp && lp->host == hosts::linkedInImages &&
          std::any_of(lp->segments.begin(), lp->segments.end(),
                      [](const std::string& s) { return s.starts_with(LinkedInPage::photoPathWord); });
      if (photoImage && !flags.excluded) {
        if (flags.ownLink) own.push_back(n);
        else if (flags.overlay) avatars.push_back(n);
      }
    }
    for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) pending.emplace_back(&*it, flags);
  }

  auto pathOf = [](const std::string& url) {
    auto parsed = boost::urls::parse_uri_reference(boost::core::string_view(url.data(), url.size()));
    return parsed ? std::string(parsed->path()) : url;
  };
  auto distinct = [&](const std::vector<const trees::AXNode*>& list) {
    std::set<std::string> paths;
    for (const trees::AXNode* n : list) paths.insert(pathOf(*n->url));
    return paths;
  };
  const auto ownPaths = distinct(own), avatarPaths = distinct(avatars);
  if (ownPaths.size() > 1 || avatarPaths.size() > 1) return std::nullopt;
  if (ownPaths.size() == 1 && avatarPaths.size() == 1 && *ownPaths.begin() != *avatarPaths.begin()) return std::nullopt;
  if (!own.empty()) return image(*own.front()->url, "own_link");
  if (!avatars.empty()) return image(*avatars.front()->url, "signed_in_avatar");
  return std::nullopt;
}

}  // namespace zel::profile::LinkedInProfileExtractor
