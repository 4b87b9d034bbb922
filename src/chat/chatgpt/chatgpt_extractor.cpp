#include "chat/chatgpt/chatgpt_extractor.h"

#include <algorithm>
#include <span>

#include "base/ax_vocabulary.h"
#include "base/unicode_text.h"

namespace zel::chat {

namespace {

bool isMessageHeading(const trees::AXNode& n) { return hasRole(n, AX::Heading) && n.hasClass("sr-only"); }

bool hasMessageHeadingChild(const trees::AXNode& n) {
  for (const trees::AXNode& c : n.children)
    if (isMessageHeading(c)) return true;
  return false;
}

// A group of at least two children whose first, and only the first, child
// passes `heading`.
template <class Heading>
bool isHeadedGroup(const trees::AXNode& n, Heading&& heading) {
  if (!hasRole(n, AX::Group) || n.children.size() < 2 || !heading(n.children[0])) return false;
  for (size_t i = 1; i < n.children.size(); ++i)
    if (heading(n.children[i])) return false;
  return true;
}

std::span<const trees::AXNode> body(const trees::AXNode& group) { return std::span(group.children).subspan(1); }

void appendToLastOrAdd(std::vector<Turn>& turns, Turn::Role role, const std::string& text) {
  if (!turns.empty() && turns.back().role == role) {
    turns.back().text += "\n\n";
    turns.back().text += text;
  } else {
    turns.push_back(makeTurn(role, text));
  }
}

// The flat reading: headings, message parts, day separators and time labels
// are siblings of one container.
class FlatReading {
 public:
  std::vector<Turn> read(const std::vector<trees::AXNode>& children) {
    for (size_t i = 0; i < children.size(); ++i) {
      const trees::AXNode& c = children[i];
      if (hasRole(c, AX::Splitter) && c.desc && !c.desc->empty()) {
        dayLabel_ = c.desc;
        continue;
      }
      if (isMessageHeading(c)) {
        flush();
        day_ = dayLabel_;
        role_ = Turn::Role::assistant;
        for (size_t j = i + 1; j < children.size() && !isMessageHeading(children[j]); ++j)
          if (children[j].hasClass("bg-user-message")) {
            role_ = Turn::Role::user;
            break;
          }
        continue;
      }
      if (!role_) continue;
      if (hasRole(c, AX::StaticText) && !c.hasClass("sr-only")) {
        std::string t = c.text();
        if (!t.empty()) pendingTime_ = std::move(t);
        continue;
      }
      if (*role_ == Turn::Role::user) {
        const bool part = c.hasClass("bg-user-message"), label = c.hasClass("truncate");
        if (part || label) {
          std::string t = c.text();
          if (part) parts_.push_back(t);
          if (label) attachments_.push_back(std::move(t));
        }
      } else if (ChatGPTExtractor::isReplyContent(c)) {
        parts_.push_back(c.text());
      }
    }
    flush();
    return std::move(turns_);
  }

 private:
  void flush() {
    if (!role_) return;
    std::string joined;
    for (size_t i = 0; i < parts_.size(); ++i) {
      if (i) joined += '\n';
      joined += parts_[i];
    }
    std::string text = trimmed(joined);
    if (!(text.empty() && attachments_.empty())) {
      if (!turns_.empty() && turns_.back().role == *role_) {
        Turn& last = turns_.back();
        last.text += "\n\n";
        last.text += text;
        last.attachments.insert(last.attachments.end(), attachments_.begin(), attachments_.end());
        if (pendingTime_) last.shownTime = pendingTime_;
      } else {
        Turn t = makeTurn(*role_, std::move(text));
        t.attachments = attachments_;
        t.shownTime = pendingTime_;
        t.shownDay = day_;
        turns_.push_back(std::move(t));
      }
    }
    parts_.clear();
    attachments_.clear();
    pendingTime_.reset();
  }

  std::optional<Turn::Role> role_;
  std::vector<std::string> parts_;
  std::vector<std::string> attachments_;
  std::optional<std::string> pendingTime_;
  std::optional<std::string> day_;
  std::optional<std::string> dayLabel_;
  std::vector<Turn> turns_;
};

}  // namespace

ChatGPTExtractor::ChatGPTExtractor(Source source, CaptureClock clock) : source_(source), clock_(std::move(clock)) {}

bool ChatGPTExtractor::isReplyContent(const trees::AXNode& n) {
  const std::string_view role = n.role ? std::string_view(*n.role) : std::string_view();
  if (role != AX::Group && role != AX::List && role != AX::Table && role != AX::Heading) return false;
  if (hasSubrole(n, AX::ApplicationStatus) || hasSubrole(n, AX::EmptyGroup)) return false;
  return !n.hasClass("sr-only") && !n.hasClass("contents") && !n.hasClass("outline-none");
}

std::optional<std::vector<Turn>> ChatGPTExtractor::webKitTurns(const trees::AXNode& scrollContainer) {
  const auto groups =
      scrollContainer.descendants([](const trees::AXNode& n) { return isHeadedGroup(n, isMessageHeading); });
  if (groups.empty()) return std::nullopt;
  std::vector<Turn> turns;
  for (const trees::AXNode* group : groups) {
    const auto parts = body(*group);
    const trees::AXNode* user = nullptr;
    for (const trees::AXNode& c : parts)
      if (c.hasClass("whitespace-pre-wrap") || c.hasClass("bg-user-message")) {
        user = &c;
        break;
      }
    if (user) {
      std::string t = user->text();
      if (!t.empty()) turns.push_back(makeTurn(Turn::Role::user, std::move(t)));
      continue;
    }
    const std::string answer = trees::joinedTexts(parts, isReplyContent);
    if (!answer.empty()) appendToLastOrAdd(turns, Turn::Role::assistant, answer);
  }
  if (turns.empty()) return std::nullopt;
  return turns;
}

std::optional<std::vector<Turn>> ChatGPTExtractor::classFreeTurns(const trees::AXNode& window) {
  if (window.first([](const trees::AXNode& n) { return !n.domClasses.empty(); })) return std::nullopt;
  const trees::AXNode* main = window.first([](const trees::AXNode& n) { return hasSubrole(n, AX::LandmarkMain); });
  if (!main) return std::nullopt;
  const auto regions = main->descendants([](const trees::AXNode& n) { return hasSubrole(n, AX::LandmarkRegion); });

  auto isHeading = [](const trees::AXNode& n) { return hasRole(n, AX::Heading); };
  auto isTurnGroup = [&](const trees::AXNode& n) { return isHeadedGroup(n, isHeading); };
  auto holdsTurnGroups = [&](const trees::AXNode& n) {
    for (const trees::AXNode& c : n.children)
      if (isTurnGroup(c)) return true;
    return false;
  };

  // Regions may nest; a container found through two of them is read once.
  std::vector<const trees::AXNode*> containers;
  for (const trees::AXNode* region : regions) {
    std::vector<const trees::AXNode*> pending{region};
    while (!pending.empty()) {
      const trees::AXNode* n = pending.back();
      pending.pop_back();
      if (holdsTurnGroups(*n)) {
        if (std::find(containers.begin(), containers.end(), n) == containers.end()) containers.push_back(n);
        continue;
      }
      if (isTurnGroup(*n)) continue;
      for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) pending.push_back(&*it);
    }
  }

  std::vector<Turn> turns;
  for (const trees::AXNode* container : containers) {
    std::vector<std::string> pending;
    bool answered = false;
    for (const trees::AXNode& c : container->children) {
      if (isTurnGroup(c)) {
        const auto parts = body(c);
        std::string text = trees::joinedTexts(parts, isReplyContent);
        const bool fromUser =
            std::any_of(parts.begin(), parts.end(), [](const trees::AXNode& p) { return hasRole(p, AX::Button); });
        if (fromUser) {
          pending.clear();
          if (!text.empty()) turns.push_back(makeTurn(Turn::Role::user, std::move(text)));
          answered = false;
        } else if (!text.empty()) {
          pending.push_back(std::move(text));
        }
        continue;
      }
      if (pending.empty() || !c.first([](const trees::AXNode& n) { return hasSubrole(n, AX::Toggle); })) continue;
      std::string joined;
      for (size_t i = 0; i < pending.size(); ++i) {
        if (i) joined += "\n\n";
        joined += pending[i];
      }
      if (answered && !turns.empty() && turns.back().role == Turn::Role::assistant) {
        turns.back().text += "\n\n";
        turns.back().text += joined;
      } else {
        turns.push_back(makeTurn(Turn::Role::assistant, std::move(joined)));
      }
      answered = true;
      pending.clear();
    }
  }
  if (turns.empty()) return std::nullopt;
  return turns;
}

std::optional<Conversation> ChatGPTExtractor::extract(const trees::AXNode& window) const {
  std::optional<std::vector<Turn>> turns;
  if (const trees::AXNode* scroll =
          window.first([](const trees::AXNode& n) { return n.hasClass("thread-scroll-container"); })) {
    turns = webKitTurns(*scroll);
    if (!turns) {
      const trees::AXNode* container = scroll->first(hasMessageHeadingChild);
      if (!container) return std::nullopt;
      turns = FlatReading().read(container->children);
    }
  } else {
    turns = classFreeTurns(window);
  }
  if (!turns || turns->empty()) return std::nullopt;

  const trees::AXNode* page = trees::firstTitledWebArea(window);
  return stampedConversation(source_, page ? page->pageTitle() : std::nullopt, page ? page->url : std::nullopt,
                             std::move(*turns), std::nullopt, clock_);
}

}  // namespace zel::chat
