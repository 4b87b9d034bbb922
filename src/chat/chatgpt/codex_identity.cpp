#include "chat/chatgpt/codex_identity.h"

#include "base/limits.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/json_text.h"

namespace zel::chat {

namespace {

// Reads appended rollout bytes this many at a time, so that a first look at
// a very large file never holds all of it.
constexpr size_t chunkSize = limits.rolloutChunk;
// A line longer than this cannot be parsed within reason; it is skipped like a
// malformed one.
constexpr size_t longestLine = limits.rolloutLine;

std::string homeDirectory() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  return ".";
}

// "state_<digits>.sqlite": the digits, else empty.
std::string_view stateNumber(std::string_view name) {
  constexpr std::string_view prefix = "state_", suffix = ".sqlite";
  if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix)) return {};
  const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  for (char c : middle)
    if (c < '0' || c > '9') return {};
  return middle;
}

// Compares decimal integers of any length.
int compareNumbers(std::string_view a, std::string_view b) {
  auto strip = [](std::string_view s) {
    while (s.size() > 1 && s.front() == '0') s.remove_prefix(1);
    return s;
  };
  a = strip(a);
  b = strip(b);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : a.compare(b) > 0 ? 1 : 0;
}

size_t wordCount(const std::string& needle) { return std::count(needle.begin(), needle.end(), ' ') + 1; }

bool isLineBreak(UChar32 c) {
  return c == '\n' || c == '\r' || c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// Splits at line-break characters, dropping empty lines.
std::vector<std::string> lines(std::string_view text) {
  const icu::UnicodeString s =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  std::vector<std::string> out;
  int32_t start = 0;
  for (int32_t i = 0; i <= s.length();) {
    const bool end = i == s.length();
    const UChar32 c = end ? 0 : s.char32At(i);
    if (end || isLineBreak(c)) {
      if (i > start) {
        std::string line;
        s.tempSubStringBetween(start, i).toUTF8String(line);
        out.push_back(std::move(line));
      }
      if (end) break;
      i = s.moveIndex32(i, 1);
      start = i;
      continue;
    }
    i = s.moveIndex32(i, 1);
  }
  return out;
}

struct File {
  int fd = -1;
  explicit File(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~File() {
    if (fd >= 0) ::close(fd);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
};

}  // namespace

// ---- the state database ----

SQLiteCodexThreads::SQLiteCodexThreads(std::optional<std::string> home) {
  if (home) home_ = *home;
  else if (const char* env = std::getenv("CODEX_HOME"); env) home_ = env;
  else home_ = (std::filesystem::path(homeDirectory()) / ".codex").string();
}

std::optional<std::string> SQLiteCodexThreads::database() const {
  std::error_code ec;
  std::filesystem::directory_iterator it(home_, ec), end;
  std::optional<std::string> best;
  std::string bestNumber;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::string_view number = stateNumber(name);
    if (number.empty()) continue;
    if (!best || compareNumbers(number, bestNumber) > 0) {
      best = it->path().string();
      bestNumber = std::string(number);
    }
  }
  return best;
}

std::vector<CodexThread> SQLiteCodexThreads::threads(const std::string& title) const {
  std::vector<CodexThread> found;
  const auto path = database();
  if (!path) return found;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path->c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return found;
  }
  sqlite3_busy_timeout(db, limits.databaseBusyWait);
  static constexpr const char* query =
      "SELECT id, rollout_path FROM threads\n"
      "WHERE archived = 0 AND (name = ?1 OR (COALESCE(name, '') = '' AND title = ?1))";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, query, -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_bind_text(statement, 1, title.data(), static_cast<int>(title.size()), SQLITE_TRANSIENT) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const auto* id = sqlite3_column_text(statement, 0);
      const int idLength = sqlite3_column_bytes(statement, 0);
      const auto* rollout = sqlite3_column_text(statement, 1);
      const int rolloutLength = sqlite3_column_bytes(statement, 1);
      if (!id || !rollout) continue;
      found.push_back({std::string(reinterpret_cast<const char*>(id), static_cast<size_t>(idLength)),
                       std::string(reinterpret_cast<const char*>(rollout), static_cast<size_t>(rolloutLength))});
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return found;
}

// ---- identity ----

CodexIdentity::CodexIdentity(std::shared_ptr<const CodexThreadStore> store, int minimumWords)
    : minimumWords_(minimumWords), store_(std::move(store)) {}

const std::shared_ptr<CodexIdentity>& CodexIdentity::live() {
  static const std::shared_ptr<CodexIdentity> shared =
      std::make_shared<CodexIdentity>(std::make_shared<SQLiteCodexThreads>(), 8);
  return shared;
}

uint64_t CodexIdentity::bytesRead() const {
  std::lock_guard g(lock_);
  return bytesRead_;
}

std::string CodexIdentity::words(std::string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    // In ASCII the letters and numbers are exactly A-Z, a-z and 0-9.
    std::string joined;
    bool inRun = false;
    for (char c : text) {
      const bool wordChar = c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (wordChar) {
        if (!inRun && !joined.empty()) joined += ' ';
        joined += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      }
      inRun = wordChar;
    }
    return joined;
  }
  icu::UnicodeString s =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  s.toLower(icu::Locale::getRoot());
  // Runs of [\p{L}\p{N}_]: letters, numbers and the low line.
  icu::UnicodeString joined;
  bool inRun = false;
  for (int32_t i = 0; i < s.length(); i = s.moveIndex32(i, 1)) {
    const UChar32 c = s.char32At(i);
    const bool wordChar = c == '_' || (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_N_MASK)) != 0;
    if (wordChar) {
      if (!inRun && !joined.isEmpty()) joined.append(static_cast<UChar>(' '));
      joined.append(c);
    }
    inRun = wordChar;
  }
  std::string out;
  joined.toUTF8String(out);
  return out;
}

std::optional<std::string> CodexIdentity::userText(std::string_view line) {
  if (line.find(R"("role":"user")") == std::string_view::npos) return std::nullopt;
  const Json j = Json::parse(line.begin(), line.end(), nullptr, false);
  if (!j.is_object()) return std::nullopt;
  auto type = j.find("type");
  if (type == j.end() || *type != "response_item") return std::nullopt;
  auto payload = j.find("payload");
  if (payload == j.end() || !payload->is_object()) return std::nullopt;
  auto ptype = payload->find("type"), role = payload->find("role"), content = payload->find("content");
  if (ptype == payload->end() || *ptype != "message" || role == payload->end() || *role != "user" ||
      content == payload->end() || !content->is_array())
    return std::nullopt;
  std::string text;
  bool first = true;
  for (const Json& item : *content) {
    if (!item.is_object()) return std::nullopt;
    auto itype = item.find("type");
    if (itype == item.end() || *itype != "input_text") continue;
    auto t = item.find("text");
    if (t == item.end() || !t->is_string()) continue;
    if (!first) text += '\n';
    text += t->get_ref<const std::string&>();
    first = false;
  }
  if (text.empty()) return std::nullopt;
  return text;
}

CodexIdentity::Messages CodexIdentity::userMessages(const std::string& path) {
  Rollout& state = rollouts_[path];
  File file(path);
  struct stat info{};
  if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
    state = Rollout{};
    return {{}, false};
  }
  const uint64_t fileNumber = static_cast<uint64_t>(info.st_ino);
  const off_t endOffset = ::lseek(file.fd, 0, SEEK_END);
  if (endOffset < 0) return {state.messages, false};
  const auto end = static_cast<uint64_t>(endOffset);
  if (!state.fileNumber || *state.fileNumber != fileNumber || end < state.offset) state = Rollout{};
  state.fileNumber = fileNumber;
  if (end == 0) return {{}, true};
  if (end == state.offset) return {state.messages, true};
  if (::lseek(file.fd, static_cast<off_t>(state.offset), SEEK_SET) < 0) return {state.messages, false};

  // Whole lines are consumed as they arrive; the bytes after the last line
  // feed wait for the next look.
  std::vector<std::string> added;
  std::string partial;
  bool skipping = false;  // inside a line too long to keep
  uint64_t consumed = 0, position = state.offset;
  std::vector<char> chunk(static_cast<size_t>(std::min<uint64_t>(chunkSize, end - position)));
  while (position < end) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), end - position));
    const ssize_t got = ::read(file.fd, chunk.data(), want);
    if (got <= 0) return {state.messages, false};
    bytesRead_ += static_cast<uint64_t>(got);
    std::string_view bytes(chunk.data(), static_cast<size_t>(got));
    while (!bytes.empty()) {
      const size_t lf = bytes.find('\n');
      const std::string_view piece = bytes.substr(0, lf);
      if (!skipping) {
        if (partial.size() + piece.size() > longestLine) {
          skipping = true;
          partial.clear();
        } else {
          partial.append(piece);
        }
      }
      if (lf == std::string_view::npos) break;
      if (!skipping && !partial.empty())
        if (auto text = userText(partial)) added.push_back(" " + words(*text) + " ");
      partial.clear();
      skipping = false;
      consumed = position + (bytes.data() - chunk.data()) + lf + 1 - state.offset;
      bytes.remove_prefix(lf + 1);
    }
    position += static_cast<uint64_t>(got);
  }
  state.offset += consumed;
  state.messages.insert(state.messages.end(), added.begin(), added.end());
  const bool complete = state.offset == end;
  return {state.messages, complete};
}

std::optional<std::string> CodexIdentity::threadID(const Conversation& conversation) {
  if (!conversation.title || conversation.title->empty()) return std::nullopt;
  std::vector<std::string> needles;
  size_t total = 0;
  for (const Turn& t : conversation.turns) {
    if (t.role != Turn::Role::user) continue;
    for (const std::string& line : lines(t.text)) {
      std::string w = words(line);
      if (w.empty()) continue;
      total += wordCount(w);
      needles.push_back(" " + w + " ");
    }
  }
  if (total < static_cast<size_t>(std::max(minimumWords_, 0))) return std::nullopt;

  std::lock_guard g(lock_);
  std::optional<std::string> match;
  size_t matches = 0;
  for (const CodexThread& thread : store_->threads(*conversation.title)) {
    const Messages messages = userMessages(thread.rollout);
    const bool all = !messages.list.empty() && std::all_of(needles.begin(), needles.end(), [&](const std::string& n) {
      return std::any_of(messages.list.begin(), messages.list.end(),
                         [&](const std::string& m) { return m.find(n) != std::string::npos; });
    });
    if (all) {
      ++matches;
      match = thread.id;
      continue;
    }
    // A thread that may still match, or one with nothing to compare, leaves
    // the question open.
    if (!messages.complete || messages.list.empty()) return std::nullopt;
  }
  if (matches != 1) return std::nullopt;
  return match;
}

Conversation CodexIdentity::identify(Conversation conversation) {
  if (conversation.locator && (conversation.locator->find("temporary-chat") != std::string::npos ||
                               conversation.locator->find("incognito") != std::string::npos))
    return conversation;
  if (auto id = threadID(conversation)) conversation.locator = std::string(scheme) + *id;
  return conversation;
}

std::optional<Conversation> IdentifiedChatGPTExtractor::extract(const trees::AXNode& window) const {
  auto conversation = base_.extract(window);
  if (!conversation) return std::nullopt;
  return identity_->identify(std::move(*conversation));
}

}  // namespace zel::chat
