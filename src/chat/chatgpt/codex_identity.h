#pragma once
// Names the thread a Codex window shows. The window has no address of its own,
// so its visible user lines are looked up in the Codex app's local records: a
// SQLite state database listing threads by name, and one rollout file of JSON
// lines per thread. Only these files are read, never written.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chat/chatgpt/chatgpt_extractor.h"
#include "chat/conversation.h"

namespace zel::chat {

struct CodexThread {
  std::string id;
  std::string rollout;  // path of the thread's rollout file
  friend bool operator==(const CodexThread&, const CodexThread&) = default;
};

class CodexThreadStore {
 public:
  virtual ~CodexThreadStore() = default;
  virtual std::vector<CodexThread> threads(const std::string& title) const = 0;
};

// The threads of the newest state database under the Codex home.
class SQLiteCodexThreads final : public CodexThreadStore {
 public:
  // Without a home: $CODEX_HOME, else ~/.codex.
  explicit SQLiteCodexThreads(std::optional<std::string> home = std::nullopt);

  const std::string& home() const { return home_; }
  // "state_N.sqlite" with the largest N; nullopt when there is none.
  std::optional<std::string> database() const;
  std::vector<CodexThread> threads(const std::string& title) const override;

 private:
  std::string home_;
};

class CodexIdentity {
 public:
  static constexpr std::string_view scheme = "codex://thread/";

  struct Rollout {
    std::optional<uint64_t> fileNumber;
    uint64_t offset = 0;
    std::vector<std::string> messages;  // normalised user messages, padded with a space each side
  };

  CodexIdentity(std::shared_ptr<const CodexThreadStore> store, int minimumWords);

  // The shared instance the agent uses.
  static const std::shared_ptr<CodexIdentity>& live();

  // The conversation with a "codex://thread/<id>" locator when its thread is
  // known; otherwise unchanged.
  Conversation identify(Conversation conversation);
  std::optional<std::string> threadID(const Conversation& conversation);

  // Lower-cased runs of letters, numbers and "_", joined by single spaces.
  static std::string words(std::string_view text);
  // The text of a rollout line that records a user message.
  static std::optional<std::string> userText(std::string_view line);

  // Bytes read from rollout files so far (for measurements).
  uint64_t bytesRead() const;

 private:
  struct Messages {
    std::vector<std::string> list;
    bool complete = false;
  };
  Messages userMessages(const std::string& path);

  int minimumWords_;
  std::shared_ptr<const CodexThreadStore> store_;
  mutable std::mutex lock_;
  std::map<std::string, Rollout> rollouts_;
  uint64_t bytesRead_ = 0;
};

// The Codex app's extractor: the ChatGPT reading, then the thread identity.
class IdentifiedChatGPTExtractor final : public Extractor {
 public:
  IdentifiedChatGPTExtractor(ChatGPTExtractor base, std::shared_ptr<CodexIdentity> identity)
      : base_(std::move(base)), identity_(std::move(identity)) {}
  std::optional<Conversation> extract(const trees::AXNode& window) const override;

 private:
  ChatGPTExtractor base_;
  std::shared_ptr<CodexIdentity> identity_;
};

}  // namespace zel::chat
