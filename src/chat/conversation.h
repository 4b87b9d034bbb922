#pragma once
// What a chat capture ends in: the turns one window shows, with the chat's title
// and the address that identifies it, stamped with the time of capture.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trees/ax_node.h"
#include "base/capture_clock.h"
#include "base/date.h"
#include "base/json_text.h"
#include "base/result.h"

namespace zel::chat {

enum class Source { chatGPTApp, chatGPTWeb, claudeApp, claudeWeb, grokWeb };
std::string_view rawValue(Source s);
std::optional<Source> sourceNamed(std::string_view raw);

struct Turn {
  enum class Role { user, assistant };

  Role role = Role::user;
  std::string text;
  std::vector<std::string> attachments;
  std::optional<int64_t> position;
  std::optional<std::string> shownTime;
  std::optional<std::string> shownDay;

  friend bool operator==(const Turn&, const Turn&) = default;
};
std::string_view rawValue(Turn::Role r);
std::optional<Turn::Role> roleNamed(std::string_view raw);

struct Conversation {
  Source source = Source::chatGPTApp;
  std::optional<std::string> title;
  std::optional<std::string> locator;
  std::vector<Turn> turns;
  std::optional<int64_t> totalTurns;
  Date capturedAt;
  std::optional<std::string> timeZone;

  friend bool operator==(const Conversation&, const Conversation&) = default;

  // The locator, unless it is a desktop application's internal "app://" page;
  // then "<source>:<title>" ("untitled" without a title).
  std::string chatKey() const;
  // Whether the capture begins after the chat's first message.
  bool startsMidChat() const;

  // This (earlier) capture of a chat folded with a later capture of it: every
  // message seen is kept, grown messages are updated, new ones placed among
  // the known ones.
  Conversation merged(const Conversation& later) const;
  static std::vector<Turn> mergeByContent(const std::vector<Turn>& earlier, const std::vector<Turn>& later);
  // For each later turn, the earlier turn it is a capture of: same role, and
  // one text begins with the other (both empty counts); matches keep their
  // order, each taking the first such earlier turn after the last match.
  static std::vector<std::optional<size_t>> matchedTurns(const std::vector<Turn>& earlier,
                                                         const std::vector<Turn>& later);
};

namespace SessionMerge {
// Captures in capture order to one conversation per chat, in the order each
// chat first appeared.
std::vector<Conversation> merge(const std::vector<Conversation>& captures);
}  // namespace SessionMerge

// JSON forms, keys sorted. Writing throws UnencodableValue for invalid UTF-8
// or a date without ISO text; line encoders turn that into a dropped line.
void writeJSON(JSONWriter& w, const Turn& t);
void writeJSON(JSONWriter& w, const Conversation& c, DateForm dates);
// The conversation as one compact JSON text; nullopt when it cannot be encoded.
std::optional<std::string> encodeConversation(const Conversation& c, DateForm dates);
Result<Turn> turnFromJSON(const Json& j);
Result<Conversation> conversationFromJSON(const Json& j);

// A conversation as every extractor returns one: stamped with the clock's
// time and time zone.
Conversation stampedConversation(Source source, std::optional<std::string> title, std::optional<std::string> locator,
                                 std::vector<Turn> turns, std::optional<int64_t> totalTurns,
                                 const CaptureClock& clock);
Turn makeTurn(Turn::Role role, std::string text);

// Reads what one window shows as a conversation; nullopt when the window shows
// nothing the extractor recognises. Implementations keep no state between calls
// unless they guard it themselves, and may be called from any thread.
class Extractor {
 public:
  virtual ~Extractor() = default;
  virtual std::optional<Conversation> extract(const trees::AXNode& window) const = 0;
};

}  // namespace zel::chat
