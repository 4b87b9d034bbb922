#pragma once
// What the scrubber must know of a profile site, as the site's row carries
// it: which words of its addresses are kept as they are, where its addresses
// and identifiers name people, and what of its image addresses stays. The
// scrubber itself knows no site.

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_page.h"

namespace zel::profile {

struct ProfileScrubbing {
  using Words = std::set<std::string, std::less<>>;
  // How a person an address names is masked: as a member slug or a handle.
  enum class Person { slug, handle };

  std::string_view imageHost;
  // Words of its addresses' paths kept as they are.
  const std::vector<std::string_view>& (*keptWords)();
  Person person;
  // The person a link names, as written in it; `kept` holds every site's
  // kept words.
  std::optional<std::string_view> (*personOfLink)(const LinkPath& link, const Words& kept);
  // Whether path segment `i` of an address on its web host names a person.
  bool (*namesPerson)(const std::vector<std::string>& segments, size_t i);
  // A person's segment no link of the trees named: masked opaque (true), or
  // as any other segment.
  bool unknownPersonOpaque;
  // The query item its image addresses keep, its value replaced ("e", an
  // expiry); empty for none.
  std::string_view imageQueryKept;
  // Whether long digit runs in its pages' element identifiers are masked.
  bool masksIDDigits;
  // The member an element identifier or a path segment names, as written;
  // nullopt for none. Null: the site's never do.
  std::optional<std::string_view> (*memberOfID)(std::string_view id);
  std::optional<std::string_view> (*memberOfSegment)(std::string_view segment);
};

}  // namespace zel::profile
