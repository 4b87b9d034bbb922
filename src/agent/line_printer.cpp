#include "agent/line_printer.h"

#include <unistd.h>

#include <cerrno>

namespace zel::agent {

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

namespace {
template <class Write>
std::optional<std::string> withLineFeed(Write&& write, size_t expectedBytes = 256) {
  auto line = encodeLine(write, expectedBytes);
  if (line) *line += '\n';
  return line;
}
}  // namespace

std::optional<std::string> LinePrinter::chatLine(std::string_view bundleID, Date at, ReadStatus read,
                                                 const std::vector<chat::Conversation>& chats,
                                                 const std::optional<std::string>& tree) {
  // Chat lines are mostly turn text: room for all of it, so the line is not
  // copied again as it grows.
  size_t expected = 256 + (tree ? tree->size() : 0);
  for (const chat::Conversation& c : chats)
    for (const chat::Turn& t : c.turns) expected += t.text.size() + t.text.size() / 8 + 96;
  return withLineFeed(
      [&](JSONWriter& w) {
    w.beginObject().key("at").date(at, DateForm::wholeSeconds).member("bundle_id", bundleID);
    w.key("chats").beginArray();
    for (const chat::Conversation& c : chats) writeJSON(w, c, DateForm::wholeSeconds);
    w.endArray();
    w.member("read", rawValue(read)).field("tree", tree).endObject();
      },
      expected);
}

std::optional<std::string> LinePrinter::profileLine(std::string_view bundleID, Date at,
                                                    const profile::ProfileRead& profile) {
  return withLineFeed([&](JSONWriter& w) {
    w.beginObject().key("at").date(at, DateForm::nanoseconds).member("bundle_id", bundleID).member("kind", "profile");
    writeJSON(w.key("profile"), profile, DateForm::nanoseconds);
    w.endObject();
  });
}

std::optional<std::string> LinePrinter::statusLine(std::string_view bundleID, Date at,
                                                   const profile::ProfileStatus& status) {
  return withLineFeed([&](JSONWriter& w) {
    w.beginObject().key("at").date(at, DateForm::wholeSeconds).member("bundle_id", bundleID);
    w.member("kind", "profile_status");
    writeJSON(w.key("profile_status"), status);
    w.endObject();
  });
}

void LinePrinter::emit(std::string_view bundleID, Date at, ReadStatus read,
                       const std::vector<chat::Conversation>& chats, const std::optional<std::string>& tree) {
  write(chatLine(bundleID, at, read, chats, tree));
}

void LinePrinter::emitProfile(std::string_view bundleID, Date at, const profile::ProfileRead& profile) {
  write(profileLine(bundleID, at, profile));
}

void LinePrinter::emitProfileStatus(std::string_view bundleID, Date at, const profile::ProfileStatus& status) {
  write(statusLine(bundleID, at, status));
}

void LinePrinter::write(const std::optional<std::string>& line) {
  if (!line) return;  // cannot be encoded: dropped, as nothing can be said about it
  std::lock_guard g(lock_);
  // A host that closed its end loses the line; the agent goes on.
  writeAll(fd_, *line);
}

}  // namespace zel::agent
