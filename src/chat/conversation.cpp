#include "chat/conversation.h"

#include <array>
#include <utility>

#include "base/json_fields.h"

namespace zel::chat {

namespace {

constexpr std::array<std::pair<Source, std::string_view>, 5> sources{{
    {Source::chatGPTApp, "chatGPTApp"},
    {Source::chatGPTWeb, "chatGPTWeb"},
    {Source::claudeApp, "claudeApp"},
    {Source::claudeWeb, "claudeWeb"},
    {Source::grokWeb, "grokWeb"},
}};

// Conversations word their problems in their own terms ("must be a string"),
// which hosts and stored files have seen since the first version.
std::string worded(const JsonFieldProblem& p) {
  using Kind = JsonFieldProblem::Kind;
  const std::string key = "\"" + p.key + "\" ";
  switch (p.kind) {
    case Kind::missing: return key + "is missing";
    case Kind::text: return key + "must be a string";
    case Kind::texts: return key + "must be an array of strings";
    case Kind::list: return key + "must be an array";
    default: return key + std::string(mustBe(p.kind));
  }
}

}  // namespace

std::string_view rawValue(Source s) {
  for (const auto& [v, raw] : sources)
    if (v == s) return raw;
  return {};
}

std::optional<Source> sourceNamed(std::string_view raw) {
  for (const auto& [v, name] : sources)
    if (name == raw) return v;
  return std::nullopt;
}

std::string_view rawValue(Turn::Role r) { return r == Turn::Role::user ? "user" : "assistant"; }

std::optional<Turn::Role> roleNamed(std::string_view raw) {
  if (raw == "user") return Turn::Role::user;
  if (raw == "assistant") return Turn::Role::assistant;
  return std::nullopt;
}

std::string Conversation::chatKey() const {
  if (locator && !locator->starts_with("app://")) return *locator;
  return std::string(rawValue(source)) + ":" + title.value_or("untitled");
}

bool Conversation::startsMidChat() const {
  if (turns.empty()) return false;
  const Turn& first = turns.front();
  if (first.position) return *first.position > 1;
  return first.role == Turn::Role::assistant;
}

Conversation stampedConversation(Source source, std::optional<std::string> title, std::optional<std::string> locator,
                                 std::vector<Turn> turns, std::optional<int64_t> totalTurns,
                                 const CaptureClock& clock) {
  Conversation c;
  c.source = source;
  c.title = std::move(title);
  c.locator = std::move(locator);
  c.turns = std::move(turns);
  c.totalTurns = totalTurns;
  c.capturedAt = clock.now();
  c.timeZone = clock.timeZone();
  return c;
}

Turn makeTurn(Turn::Role role, std::string text) {
  Turn t;
  t.role = role;
  t.text = std::move(text);
  return t;
}

void writeJSON(JSONWriter& w, const Turn& t) {
  w.beginObject();
  w.key("attachments").strings(t.attachments);
  w.field("position", t.position);
  w.member("role", rawValue(t.role));
  w.field("shownDay", t.shownDay);
  w.field("shownTime", t.shownTime);
  w.member("text", t.text);
  w.endObject();
}

void writeJSON(JSONWriter& w, const Conversation& c, DateForm dates) {
  w.beginObject();
  w.key("capturedAt").date(c.capturedAt, dates);
  w.field("locator", c.locator);
  w.member("source", rawValue(c.source));
  w.field("timeZone", c.timeZone);
  w.field("title", c.title);
  w.field("totalTurns", c.totalTurns);
  w.key("turns").beginArray();
  for (const Turn& t : c.turns) writeJSON(w, t);
  w.endArray();
  w.endObject();
}

std::optional<std::string> encodeConversation(const Conversation& c, DateForm dates) {
  return encodeLine([&](JSONWriter& w) { writeJSON(w, c, dates); });
}

Result<Turn> turnFromJSON(const Json& j) {
  using R = Result<Turn>;
  if (!j.is_object()) return R::failure("a turn must be an object");
  const JsonFields f(j);
  Turn t;
  try {
    const Json& role = f.need("role");
    auto r = role.is_string() ? roleNamed(role.get<std::string>()) : std::nullopt;
    if (!r) return R::failure("\"role\" must be \"user\" or \"assistant\"");
    t.role = *r;
    t.text = f.text("text");
    t.attachments = f.texts("attachments");
    t.position = f.optionalInteger("position");
    t.shownTime = f.optionalText("shownTime");
    t.shownDay = f.optionalText("shownDay");
  } catch (const JsonFieldProblem& p) {
    return R::failure(worded(p));
  }
  return t;
}

Result<Conversation> conversationFromJSON(const Json& j) {
  using R = Result<Conversation>;
  if (!j.is_object()) return R::failure("a conversation must be an object");
  const JsonFields f(j);
  Conversation c;
  try {
    const Json& source = f.need("source");
    auto s = source.is_string() ? sourceNamed(source.get<std::string>()) : std::nullopt;
    if (!s) return R::failure("\"source\" names no known source");
    c.source = *s;
    const Json& turns = f.list("turns");
    for (size_t i = 0; i < turns.size(); ++i) {
      auto t = turnFromJSON(turns[i]);
      if (!t) return R::failure("turn " + std::to_string(i) + ": " + t.error());
      c.turns.push_back(std::move(t.value()));
    }
    c.capturedAt = f.date("capturedAt");
    c.title = f.optionalText("title");
    c.locator = f.optionalText("locator");
    c.totalTurns = f.optionalInteger("totalTurns");
    c.timeZone = f.optionalText("timeZone");
  } catch (const JsonFieldProblem& p) {
    return R::failure(worded(p));
  }
  return c;
}

}  // namespace zel::chat
