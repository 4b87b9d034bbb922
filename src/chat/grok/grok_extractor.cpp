#include "chat/grok/grok_extractor.h"

#include "base/ax_vocabulary.h"
#include "base/unicode_text.h"

namespace zel::chat {

GrokExtractor::GrokExtractor(CaptureClock clock) : clock_(std::move(clock)) {}

bool GrokExtractor::isReplyContent(const trees::AXNode& n) {
  if (hasRole(n, AX::Button) || hasRole(n, AX::PopUpButton)) return false;
  if (hasRole(n, AX::Link) && n.first([](const trees::AXNode& d) { return hasRole(d, AX::Image); })) return false;
  return true;
}

std::optional<Conversation> GrokExtractor::extract(const trees::AXNode& window) const {
  const trees::AXNode* region = window.first(
      [](const trees::AXNode& n) { return hasSubrole(n, AX::LandmarkRegion) && n.hasClassPrefix("scrollbar"); });
  if (!region) return std::nullopt;
  const trees::AXNode* list = region->first([](const trees::AXNode& n) {
    for (const trees::AXNode& c : n.children)
      if (c.hasClass("items-end") || c.hasClass("items-start")) return true;
    return false;
  });
  if (!list) return std::nullopt;

  std::vector<Turn> turns;
  for (const trees::AXNode& row : list->children) {
    if (row.hasClass("items-end")) {
      if (const trees::AXNode* bubble =
              row.first([](const trees::AXNode& n) { return n.hasClassPrefix("whitespace-pre-wr"); })) {
        std::string t = bubble->text();
        if (!t.empty()) turns.push_back(makeTurn(Turn::Role::user, std::move(t)));
        continue;
      }
    }
    if (row.hasClass("items-start")) {
      std::string t = trees::joinedTexts(row.children, isReplyContent);
      if (!t.empty()) turns.push_back(makeTurn(Turn::Role::assistant, std::move(t)));
    }
  }
  if (turns.empty()) return std::nullopt;

  const trees::AXNode* page = window.first([](const trees::AXNode& n) { return hasRole(n, AX::WebArea); });
  std::optional<std::string> title = page ? page->pageTitle() : std::nullopt;
  // " / X" is ASCII: a canonically equal ending has exactly its four bytes.
  if (title && endsWithCanonically(*title, " / X")) title->resize(title->size() - 4);
  return stampedConversation(Source::grokWeb, std::move(title), page ? page->url : std::nullopt, std::move(turns),
                             std::nullopt, clock_);
}

}  // namespace zel::chat
