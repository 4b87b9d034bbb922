#include "profile/profile_extractor.h"

#include "base/ax_vocabulary.h"
#include "browsers/browsers.h"
#include "profile/profile_sites.h"

namespace zel::profile::ProfileExtractor {

std::optional<ProfileOutcome> extract(const trees::AXNode& window, Date now, const CaptureClock& clock) {
  if (browsers::Browsers::endsLikePrivateWindow(window.title)) return std::nullopt;
  const trees::AXNode* page =
      window.first([](const trees::AXNode& n) { return hasRole(n, AX::WebArea) && n.url.has_value(); });
  if (!page) return std::nullopt;
  const auto at = ProfilePage::parse(*page->url);
  if (!at) return std::nullopt;
  // Embedded frames never contribute to a read; most pages have none and are
  // read in place.
  std::optional<trees::AXNode> stripped;
  if (page->hasFramedPages()) stripped = page->withoutFramedPages();
  const trees::AXNode& p = stripped ? *stripped : *page;
  return ProfileSites::of(at->site).extract(p, *at, now, clock);
}

}  // namespace zel::profile::ProfileExtractor
