#pragma once
// The agent's standard output: one JSON object per line. Reader threads of
// every target print through one printer, which keeps their lines whole.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chat/conversation.h"
#include "profile/profile_read.h"
#include "agent/read_status.h"

namespace zel::agent {

class LinePrinter {
 public:
  // Writes to `fd` (standard output unless told otherwise); the printer does
  // not own it.
  explicit LinePrinter(int fd = 1) : fd_(fd) {}

  // A chat line: the target's read and the conversations it found.
  void emit(std::string_view bundleID, Date at, ReadStatus read, const std::vector<chat::Conversation>& chats,
            const std::optional<std::string>& tree = std::nullopt);
  // A profile line: dates carry nanoseconds when they have a fraction.
  void emitProfile(std::string_view bundleID, Date at, const profile::ProfileRead& profile);
  // A profile status line: a page seen that is not provably the user's own.
  void emitProfileStatus(std::string_view bundleID, Date at, const profile::ProfileStatus& status);

  // The lines as they are written, with their line feed; nullopt when
  // something in them cannot be encoded (the line is then dropped).
  static std::optional<std::string> chatLine(std::string_view bundleID, Date at, ReadStatus read,
                                             const std::vector<chat::Conversation>& chats,
                                             const std::optional<std::string>& tree = std::nullopt);
  static std::optional<std::string> profileLine(std::string_view bundleID, Date at,
                                                const profile::ProfileRead& profile);
  static std::optional<std::string> statusLine(std::string_view bundleID, Date at,
                                               const profile::ProfileStatus& status);

 private:
  void write(const std::optional<std::string>& line);
  int fd_;
  std::mutex lock_;
};

// Writes every byte, resuming after short or interrupted writes. False when
// the output is gone (for example a closed pipe).
bool writeAll(int fd, std::string_view bytes);

}  // namespace zel::agent
