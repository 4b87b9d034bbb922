#pragma once
// Masks names, handles, numbers and addresses in recorded trees while keeping
// everything the extractors test: roles, subroles, classes, the fixed words and
// shape of profile and image addresses, card identifier endings, and the tie
// between a member's slug in an address and the same member in an identifier.
// One run gives one text one mask everywhere; runs are unrelated (each draws a
// fresh random key).

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "trees/ax_node.h"

namespace zel::scrub {

class Scrubber {
 public:
  // Draws the key and collects names from every tree, in order. Check
  // ready(): without a random key nothing may be scrubbed.
  explicit Scrubber(const std::vector<const trees::AXNode*>& windows);
  bool ready() const { return ready_; }
  ~Scrubber();
  Scrubber(const Scrubber&) = delete;
  Scrubber& operator=(const Scrubber&) = delete;

  trees::AXNode scrub(const trees::AXNode& tree);
  std::string address(std::string_view text, bool isPage, bool profileSite);
  std::string opaqueMask(std::string_view s);
  std::string digitMask(std::string_view s);
  std::string segment(std::string_view s);

  // Free text: spaces and punctuation kept, numbers 0, upper case X, the rest x.
  static std::string mask(std::string_view text);
  // Every profile site's words kept as they are.
  static const std::set<std::string, std::less<>>& fixedWords();
  static constexpr std::string_view fakeExpiry = "1796169600";

  // After how many colliding candidates a mask is taken although another text
  // already has it: short texts can run out of masks.
  static constexpr int attemptsBeforeSharing = 256;

 private:
  void collect(const trees::AXNode& tree);
  void nameSlug(std::string_view text);
  void nameHandle(std::string_view text);
  void nameMember(std::string_view text);
  std::string replaceIDs(std::string text, bool digits);
  std::vector<uint8_t> derived(std::string_view s, int i, size_t characters);

  std::array<uint8_t, 32> key_{};
  bool ready_ = false;
  std::map<std::string, std::string, std::less<>> slugs_, handles_, members_, numbers_, opaque_;
  std::set<std::string, std::less<>> used_;
  size_t slugNames_ = 0, handleNames_ = 0;
  // The replacement list, longest named text first; built after collection.
  std::vector<std::pair<std::string, std::string>> replacements_;
};

// Scrubs one tree, or several trees together (names shared across them);
// nullopt when no random key could be drawn.
std::optional<trees::AXNode> scrubbed(const trees::AXNode& tree);
std::optional<std::vector<trees::AXNode>> scrubbed(const std::vector<trees::AXNode>& windows);

}  // namespace zel::scrub
