#include "chat/claude/claude_extractor.h"

#include <span>

#include "base/ax_vocabulary.h"
#include "base/unicode_text.h"

namespace zel::chat {

namespace {

// The text of the first node (the root included) with subrole AXTimeGroup;
// absent when there is none or it shows nothing.
std::optional<std::string> timeGroupText(const trees::AXNode& root) {
  const trees::AXNode* time = root.first([](const trees::AXNode& n) { return hasSubrole(n, AX::TimeGroup); });
  if (!time) return std::nullopt;
  std::string t = time->text();
  if (t.empty()) return std::nullopt;
  return t;
}

// The box of a message: the first node with a child that passes `heading`.
// The body runs from after that heading to the first toolbar after it.
struct MessageBox {
  const trees::AXNode* box = nullptr;
  std::span<const trees::AXNode> body;
  const trees::AXNode* toolbar = nullptr;
};

template <class Heading>
MessageBox messageBox(const trees::AXNode& message, Heading&& heading) {
  MessageBox m;
  m.box = message.first([&](const trees::AXNode& n) {
    for (const trees::AXNode& c : n.children)
      if (heading(c)) return true;
    return false;
  });
  if (!m.box) return m;
  const auto& kids = m.box->children;
  size_t h = 0;
  while (!heading(kids[h])) ++h;
  size_t end = h + 1;
  while (end < kids.size() && !hasRole(kids[end], AX::Toolbar)) ++end;
  m.body = std::span(kids).subspan(h + 1, end - h - 1);
  if (end < kids.size()) m.toolbar = &kids[end];
  return m;
}

bool isContentGroup(const trees::AXNode& n) { return hasRole(n, AX::Group) && ClaudeExtractor::isReplyContent(n); }

// The title without the first of the app's suffixes it ends with. Both
// suffixes are ASCII, so a canonically equal ending has exactly their bytes.
std::optional<std::string> withoutClaudeSuffix(std::optional<std::string> title) {
  if (!title) return title;
  for (std::string_view suffix : {" - Claude Code", " - Claude"})
    if (endsWithCanonically(*title, suffix)) {
      title->resize(title->size() - suffix.size());
      break;
    }
  return title;
}

}  // namespace

ClaudeExtractor::ClaudeExtractor(Source source, CaptureClock clock) : source_(source), clock_(std::move(clock)) {}

bool ClaudeExtractor::isReplyContent(const trees::AXNode& n) {
  if (hasRole(n, AX::Heading) && n.hasClass("sr-only")) return false;
  if (hasRole(n, AX::Toolbar) || hasSubrole(n, AX::ApplicationStatus)) return false;
  return !n.first([](const trees::AXNode& d) { return d.hasClassPrefix("group/morph"); });
}

std::optional<ClaudeExtractor::WebKitMessage> ClaudeExtractor::webKitMessage(const trees::AXNode& message) {
  const MessageBox m =
      messageBox(message, [](const trees::AXNode& c) { return hasRole(c, AX::Heading) && c.hasClass("sr-only"); });
  if (!m.box) return std::nullopt;
  WebKitMessage out{false, {}, std::nullopt};
  std::vector<const trees::AXNode*> content;
  for (const trees::AXNode& c : m.body)
    if (isContentGroup(c)) content.push_back(&c);
  for (const trees::AXNode* c : content) {
    if (c->hasClass("whitespace-pre-wrap")) out.isUser = true;
    for (const trees::AXNode& g : c->children)
      if (g.hasClass("whitespace-pre-wrap")) out.isUser = true;
  }
  out.text = trees::joinedTexts(content, [](const trees::AXNode&) { return true; });
  if (!out.isUser) out.shown = timeGroupText(*m.box);
  return out;
}

std::optional<ClaudeExtractor::ClassFreeMessage> ClaudeExtractor::classFreeMessage(const trees::AXNode& message,
                                                                                   std::optional<int64_t> position) {
  const MessageBox m = messageBox(message, [](const trees::AXNode& c) { return hasRole(c, AX::Heading); });
  if (!m.box) return std::nullopt;
  std::string text = trees::joinedTexts(m.body, isContentGroup);
  if (text.empty()) return std::nullopt;
  std::optional<std::string> shown = m.toolbar ? timeGroupText(*m.toolbar) : std::nullopt;
  if (m.toolbar && m.toolbar->first([](const trees::AXNode& n) { return hasSubrole(n, AX::Toggle); }))
    return ClassFreeMessage{Turn::Role::assistant, std::move(text), std::move(shown)};
  if (position && *position % 2 == 1) return ClassFreeMessage{Turn::Role::user, std::move(text), std::move(shown)};
  return std::nullopt;
}

std::optional<Conversation> ClaudeExtractor::extract(const trees::AXNode& window) const {
  // One walk finds the messages and both window-wide flags.
  std::vector<const trees::AXNode*> messages;
  bool hasRows = false, classFree = true;
  forEachPreorder(window, [&](const trees::AXNode& n) {
    if (&n != &window && hasRole(n, AX::Group) && hasSubrole(n, AX::DocumentArticle)) messages.push_back(&n);
    if (!n.domClasses.empty()) {
      classFree = false;
      hasRows = hasRows || n.hasClass("group/message-row");
    }
    return true;
  });

  std::vector<Turn> turns;
  std::optional<int64_t> total;
  auto add = [&](Turn::Role role, std::string text, std::optional<int64_t> position,
                 std::optional<std::string> shown) {
    Turn t = makeTurn(role, std::move(text));
    t.position = position;
    t.shownTime = std::move(shown);
    turns.push_back(std::move(t));
  };

  for (const trees::AXNode* message : messages) {
    const auto numbers = numbersIn(message->desc.value_or(""));
    std::optional<int64_t> position;
    if (numbers.size() == 2) {
      position = numbers[0];
      total = numbers[1];
    }

    if (classFree) {
      const auto first = numbers.empty() ? std::nullopt : std::optional<int64_t>(numbers[0]);
      if (auto m = classFreeMessage(*message, first)) add(m->role, std::move(m->text), position, std::move(m->shown));
      continue;
    }
    if (hasRows) {
      if (const trees::AXNode* row =
              message->first([](const trees::AXNode& n) { return n.hasClass("group/message-row"); })) {
        std::string text = trees::joinedTexts(row->children, isReplyContent);
        if (!text.empty()) add(Turn::Role::assistant, std::move(text), position, timeGroupText(*row));
        continue;
      }
    } else if (auto m = webKitMessage(*message)) {
      if (!m->text.empty())
        add(m->isUser ? Turn::Role::user : Turn::Role::assistant, std::move(m->text), position,
            m->isUser ? std::nullopt : std::move(m->shown));
      continue;
    }
    if (const trees::AXNode* bubble =
            message->first([](const trees::AXNode& n) { return n.hasClass("whitespace-pre-wrap"); })) {
      std::string text = bubble->text();
      if (!text.empty()) add(Turn::Role::user, std::move(text), position, std::nullopt);
    }
  }
  if (turns.empty()) return std::nullopt;

  const trees::AXNode* page = trees::firstTitledWebArea(window);
  return stampedConversation(source_, page ? withoutClaudeSuffix(page->pageTitle()) : std::nullopt,
                             page ? page->url : std::nullopt, std::move(turns), total, clock_);
}

}  // namespace zel::chat
