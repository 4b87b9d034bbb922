#include "chat/conversation.h"

#include <array>
#include <utility>

namespace zel {

namespace {

constexpr std::array<std::pair<Source, std::string_view>, 5> sources{{
    {Source::chatGPTApp, "chatGPTApp"},
    {Source::chatGPTWeb, "chatGPTWeb"},
    {Source::claudeApp, "claudeApp"},
    {Source::claudeWeb, "claudeWeb"},
    {Source::grokWeb, "grokWeb"},
}};

// Reads an optional member: missing and null are both absent; any other type
// than the expected one is an error.
template <class T>
bool readOptional(const Json& j, const char* key, std::optional<T>& out, std::string& error) {
  auto it = j.find(key);
  if (it == j.end() || it->is_null()) return true;
  if constexpr (std::is_same_v<T, std::string>) {
    if (!it->is_string()) {
      error = std::string("\"") + key + "\" must be a string";
      return false;
    }
    out = it->template get<std::string>();
  } else {
    const bool tooLarge = it->is_number_unsigned() && it->template get<uint64_t>() > uint64_t(INT64_MAX);
    if (!it->is_number_integer() || tooLarge) {
      error = std::string("\"") + key + "\" must be a 64-bit integer";
      return false;
    }
    out = it->template get<T>();
  }
  return true;
}

const Json* required(const Json& j, const char* key, std::string& error) {
  auto it = j.find(key);
  if (it == j.end() || it->is_null()) {
    error = std::string("\"") + key + "\" is missing";
    return nullptr;
  }
  return &*it;
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
  std::string error;
  Turn t;
  const Json* role = required(j, "role", error);
  if (!role) return R::failure(error);
  auto r = role->is_string() ? roleNamed(role->get<std::string>()) : std::nullopt;
  if (!r) return R::failure("\"role\" must be \"user\" or \"assistant\"");
  t.role = *r;
  const Json* text = required(j, "text", error);
  if (!text) return R::failure(error);
  if (!text->is_string()) return R::failure("\"text\" must be a string");
  t.text = text->get<std::string>();
  const Json* attachments = required(j, "attachments", error);
  if (!attachments) return R::failure(error);
  if (!attachments->is_array()) return R::failure("\"attachments\" must be an array of strings");
  for (const Json& a : *attachments) {
    if (!a.is_string()) return R::failure("\"attachments\" must be an array of strings");
    t.attachments.push_back(a.get<std::string>());
  }
  if (!readOptional(j, "position", t.position, error) || !readOptional(j, "shownTime", t.shownTime, error) ||
      !readOptional(j, "shownDay", t.shownDay, error))
    return R::failure(error);
  return t;
}

Result<Conversation> conversationFromJSON(const Json& j) {
  using R = Result<Conversation>;
  if (!j.is_object()) return R::failure("a conversation must be an object");
  std::string error;
  Conversation c;
  const Json* source = required(j, "source", error);
  if (!source) return R::failure(error);
  auto s = source->is_string() ? sourceNamed(source->get<std::string>()) : std::nullopt;
  if (!s) return R::failure("\"source\" names no known source");
  c.source = *s;
  const Json* turns = required(j, "turns", error);
  if (!turns) return R::failure(error);
  if (!turns->is_array()) return R::failure("\"turns\" must be an array");
  for (size_t i = 0; i < turns->size(); ++i) {
    auto t = turnFromJSON((*turns)[i]);
    if (!t) return R::failure("turn " + std::to_string(i) + ": " + t.error());
    c.turns.push_back(std::move(t.value()));
  }
  const Json* captured = required(j, "capturedAt", error);
  if (!captured) return R::failure(error);
  auto at = captured->is_string() ? parseISO8601(captured->get<std::string>()) : std::nullopt;
  if (!at) return R::failure("\"capturedAt\" must be an ISO 8601 date");
  c.capturedAt = *at;
  if (!readOptional(j, "title", c.title, error) || !readOptional(j, "locator", c.locator, error) ||
      !readOptional(j, "totalTurns", c.totalTurns, error) || !readOptional(j, "timeZone", c.timeZone, error))
    return R::failure(error);
  return c;
}

}  // namespace zel
