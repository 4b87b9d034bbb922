#include "capture/read_plan.h"

#include "capture/hosts.h"

namespace zel {

std::optional<PlanStep> PagePlan::common(const AXNode& node) {
  if (node.role && *node.role == "AXWebArea") {
    if (seenPage_) return PlanStep::skip();  // only the window's first page is read
    seenPage_ = true;
  }
  if (!node.subrole) return std::nullopt;
  if (*node.subrole == "AXLandmarkBanner" || *node.subrole == "AXSectionFooter") return PlanStep::skip();
  return std::nullopt;
}

PlanStep LinkedInReadPlan::step(const AXNode& node) {
  if (auto s = common(node)) return *s;
  if (!node.domID) return PlanStep::descend();
  const std::string_view id = *node.domID;
  if (id.starts_with("profileAside") || id.starts_with("profileDetailAside")) return PlanStep::skip();
  if (id == "msg-overlay") return PlanStep::addressesOnly(false);
  constexpr std::string_view cardPrefix = "com.linkedin.sdui.profile.card.ref";
  if (!id.starts_with(cardPrefix)) return PlanStep::descend();
  const std::string_view rest = id.substr(cardPrefix.size());
  if (rest.ends_with("Activity")) return PlanStep::addressesOnly(true);
  if (rest.ends_with("RecommendationsTopLevel") || rest.ends_with("ConnectedAccountsTopLevel") ||
      rest.ends_with("SupportedLocales"))
    return PlanStep::skip();
  return PlanStep::descend();
}

PlanStep XReadPlan::step(const AXNode& node) {
  if (finished_) return PlanStep::skip();
  if (auto s = common(node)) return *s;
  if (node.role && *node.role == "AXLink" && node.url) {
    const auto link = LinkPath::parse(*node.url);
    if (link && link->host == hosts::x && link->segments.size() == 2 &&
        ProfilePage::normalizedHandle(link->segments[0]) &&
        (link->segments[1] == "following" || link->segments[1] == "followers" ||
         link->segments[1] == "verified_followers")) {
      // The follow counts end the profile header: nothing after them is read.
      finished_ = true;
      return PlanStep::skip();
    }
  }
  return PlanStep::descend();
}

std::unique_ptr<ReadPlan> profileReadPlan(std::string_view url) {
  const auto page = ProfilePage::parse(url);
  if (!page) return nullptr;
  if (page->site == ProfilePage::Site::x) return std::make_unique<XReadPlan>();
  return std::make_unique<LinkedInReadPlan>(page->handle);
}

namespace {
std::vector<const AXNode*> childrenOf(const AXNode& n) {
  std::vector<const AXNode*> kids;
  kids.reserve(n.children.size());
  for (const AXNode& c : n.children) kids.push_back(&c);
  return kids;
}
}  // namespace

ElementValues<RecordedSource::Element> RecordedSource::full(Element node) {
  fullReads.push_back(node);
  return {node->withoutChildren(), childrenOf(*node)};
}

ElementValues<RecordedSource::Element> RecordedSource::addresses(Element node) {
  addressReads.push_back(node);
  AXNode n;
  n.role = node->role;
  n.url = node->url;
  return {std::move(n), childrenOf(*node)};
}

}  // namespace zel
