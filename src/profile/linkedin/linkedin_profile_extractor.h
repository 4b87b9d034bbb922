#pragma once
// Reads the user's own LinkedIn profile page (the main page or one of its
// three details pages) into a profile read, once the page proves to be the
// user's own by its edit links; any other page yields only a status.

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "trees/ax_node.h"
#include "base/capture_clock.h"
#include "profile/profile_page.h"
#include "profile/profile_read.h"
#include "profile/linkedin/linkedin_page.h"

namespace zel::profile::LinkedInProfileExtractor {

using LinkedInPage::cardPrefix;

// The parsed addresses of one reading's links and images. Every step of a
// reading asks for the same links several times (proof, cards, entries,
// photo); each node's address is parsed once and remembered by the node's
// address, so one memo serves one tree that does not change while it lives.
class LinkMemo {
 public:
  const LinkPath* of(const trees::AXNode& n);

 private:
  std::unordered_map<const trees::AXNode*, std::optional<LinkPath>> links_;
};

ProfileOutcome extract(const trees::AXNode& page, const ProfilePage& at, Date now,
                       const CaptureClock& clock = CaptureClock::system());

// Proof tokens of own link paths, sorted.
std::vector<std::string> proof(const std::vector<std::vector<std::string>>& paths);
std::vector<std::vector<std::string>> topCardPaths(const trees::AXNode& page, std::string_view slug, LinkMemo& memo);
std::vector<const trees::AXNode*> cards(const trees::AXNode& page, std::string_view slug, LinkMemo& memo);

struct CardKind {
  std::optional<std::string> kind;
  bool never = false;
};
CardKind cardKind(std::string_view domID);

std::optional<ProfileSection> read(const trees::AXNode& card, std::string_view slug, ProfilePage::View view,
                                   ProfileHealth& health, LinkMemo& memo);
// The card's text without its first heading.
std::string bodyText(const trees::AXNode& card);
const std::set<std::string, std::less<>>& entityKinds();

// ---- entries ----

struct Event {
  enum class Kind { company, school, role, education, skillsLine, block };
  Kind kind;
  std::string id;                  // company, school, role, education
  std::optional<ProfileImage> logo;  // company, school
  std::vector<std::string> lines;  // role, education
  std::string text;                // skillsLine, block
};

std::vector<Event> events(const trees::AXNode& card, std::string_view slug, LinkMemo& memo);
std::vector<ProfileRole> roles(const trees::AXNode& card, std::string_view slug, LinkMemo& memo);
std::vector<ProfileSchool> schools(const trees::AXNode& card, std::string_view slug, LinkMemo& memo);
std::vector<ProfileSkill> skills(const trees::AXNode& card);
Topcard topcard(const trees::AXNode& card, LinkMemo& memo);
std::optional<ProfileImage> photo(const trees::AXNode& page, std::string_view slug, LinkMemo& memo);

}  // namespace zel::profile::LinkedInProfileExtractor
