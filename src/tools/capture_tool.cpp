#include "tools/capture_tool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>

#include "trees/ax_node.h"
#include "chat/chat_sites.h"
#include "chat/extractors.h"
#include "profile/profile_extractor.h"
#include "profile/profile_sites.h"
#include "scrub/scrubber.h"
#include "base/json_text.h"
#include "base/address_pieces.h"
#include "base/unicode_text.h"
#include "tools/command_words.h"
#include "tools/explain_command.h"
#include "tools/record_command.h"
#include "tools/show_command.h"

namespace zel::tools {

const char* const captureUsage =
    "usage: zel-capture text FILE...\n"
    "       zel-capture extract --app BUNDLE_ID FILE...\n"
    "       zel-capture extract --extractor chatgpt|claude|grok [--source SOURCE] FILE...\n"
    "       zel-capture profile [--now ISO8601] FILE...\n"
    "       zel-capture merge [FILE...]\n"
    "       zel-capture scrub FILE...\n"
    "       zel-capture record --app BUNDLE_ID [--own HANDLE] [--scrub] [--each-line]\n"
    "       zel-capture explain [--app BUNDLE_ID] [--chat-browsers IDS] [--profiles SITES]\n"
    "       zel-capture show [FILE...]\n"
    "       zel-capture --help | --version";

namespace {

const char* const helpText =
    "\n"
    "Capture operations over recorded window trees, the JSON form of AXNode: a FILE\n"
    "holds one tree, a JSON array of trees, or one tree per line; \"-\" is standard\n"
    "input. Options may stand before or after the files. Every output line is\n"
    "compact JSON.\n"
    "\n"
    "  text      each window's text rendering and its static texts\n"
    "  extract   the conversation of each window, or null: --app reads as the\n"
    "            agent's extractor for that application does (browsers as if every\n"
    "            chat site were allowed), --extractor runs one extractor on its own\n"
    "            (--source chatGPTApp, chatGPTWeb, claudeApp or claudeWeb)\n"
    "  profile   each window's profile line body, profile status, or null\n"
    "  merge     conversations or chat lines in, one merged conversation per chat\n"
    "            out (null lines, as extract prints them, are passed over)\n"
    "  scrub     all trees scrubbed together: names, handles, numbers, addresses\n"
    "  record    the live windows of a running application, read as the agent\n"
    "            reads them (never a private window, never a profile page but the\n"
    "            one of --own), one tree per line; --scrub scrubs them together;\n"
    "            --each-line reads again on each line of standard input, each\n"
    "            read followed by an empty line, asking the application only\n"
    "            for what changed since\n"
    "  explain   one read of each target as zel-ax serve with the same options\n"
    "            would make it: for every application and window, what happened\n"
    "            and why, one JSON line each\n"
    "  show      zel-ax output lines (standard input without FILE) as a person\n"
    "            reads them: chats with a line per turn, profiles, statuses (text,\n"
    "            not JSON)\n"
    "\n"
    "Exit status: 0; 1 for a usage error; 2 when a file could not be read or decoded\n"
    "or the application could not be read.\n";

}  // namespace

namespace {

// The non-empty pieces of a comma-separated list, as zel-ax reads its options.
std::vector<std::string> commaPieces(std::string_view list) {
  std::vector<std::string> pieces;
  for (std::string_view piece : splitKeepingEmpty(list, ','))
    if (!piece.empty()) pieces.emplace_back(piece);
  return pieces;
}

struct Io {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  int status = 0;

  void problem(const std::string& file, const std::string& what) {
    err << "zel-capture: " << file << ": " << what << '\n';
    status = 2;
  }
  template <class Write>
  void line(Write&& write) {
    if (auto text = encodeLine(write)) out << *text << '\n';
  }
};

// A file's bytes. Only regular files and standard input are read: a folder,
// a device or a pipe nobody writes to would never end or mean nothing.
std::optional<std::string> readFile(const std::string& name, Io& io) {
  if (name == "-") return std::string(std::istreambuf_iterator<char>(io.in), {});
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    io.problem(name, std::string("cannot be opened: ") + std::strerror(errno));
    return std::nullopt;
  }
  struct stat st{};
  std::string bytes;
  std::optional<std::string> problem;
  if (::fstat(fd, &st) != 0) problem = std::string("cannot be read: ") + std::strerror(errno);
  else if (S_ISDIR(st.st_mode)) problem = "is a directory";
  else if (!S_ISREG(st.st_mode)) problem = "is not a regular file";
  char buffer[1 << 16];
  while (!problem) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) problem = std::string("cannot be read: ") + std::strerror(errno);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (problem) {
    io.problem(name, *problem);
    return std::nullopt;
  }
  return bytes;
}

// Reads every file as window trees and hands each file's windows on; a file
// that cannot be read or decoded is reported and skipped.
void forEachTreeFile(const std::vector<std::string>& files, Io& io,
                     const std::function<void(std::vector<trees::AXNode>&)>& use) {
  for (const auto& name : files) {
    auto bytes = readFile(name, io);
    if (!bytes) continue;
    auto windows = trees::decodeWindows(*bytes);
    if (windows) {
      use(windows.value());
      continue;
    }
    // One tree per line, as record and scrub print them.
    const size_t firstLine = bytes->find('\n');
    if (firstLine == std::string::npos || firstLine + 1 >= bytes->size() ||
        !trees::AXNode::decode(std::string_view(*bytes).substr(0, firstLine))) {
      io.problem(name, windows.error());
      continue;
    }
    std::vector<trees::AXNode> lines;
    size_t number = 0;
    bool good = true;
    for (size_t start = 0; start < bytes->size() && good;) {
      size_t end = bytes->find('\n', start);
      if (end == std::string::npos) end = bytes->size();
      const std::string_view line = std::string_view(*bytes).substr(start, end - start);
      start = end + 1;
      ++number;
      if (trimmedView(line).empty()) continue;
      auto tree = trees::AXNode::decode(line);
      if (!tree) {
        io.problem(name, "line " + std::to_string(number) + ": " + tree.error());
        good = false;
      } else {
        lines.push_back(std::move(tree.value()));
      }
    }
    if (good) use(lines);
  }
}

void textCommand(const std::vector<std::string>& files, Io& io) {
  forEachTreeFile(files, io, [&](std::vector<trees::AXNode>& windows) {
    for (const trees::AXNode& window : windows)
      io.line([&](JSONWriter& w) {
        w.beginObject().member("text", window.text()).key("texts").strings(window.texts()).endObject();
      });
  });
}

void extractCommand(const chat::Extractor& extractor, const std::vector<std::string>& files, Io& io) {
  forEachTreeFile(files, io, [&](std::vector<trees::AXNode>& windows) {
    for (const trees::AXNode& w : windows) {
      auto c = extractor.extract(w);
      const auto line = c ? chat::encodeConversation(*c, DateForm::wholeSeconds) : std::nullopt;
      io.out << line.value_or("null") << '\n';
    }
  });
}

// The extractor named by extract's options; null with a message for options
// that name none.
std::shared_ptr<const chat::Extractor> chosenExtractor(const CommandWords& words, const CaptureClock& clock,
                                                       std::string& problem) {
  const std::string* app = words.option("--app");
  const std::string* name = words.option("--extractor");
  if (app && !name) {
    auto tables = chat::Extractors::build(clock, System::macOS);
    auto it = tables.byBundleID.find(*app);
    if (it != tables.byBundleID.end()) return it->second;
    problem = "zel-capture: no extractor reads " + *app + "; known: ";
    for (auto known = tables.byBundleID.begin(); known != tables.byBundleID.end(); ++known)
      problem += (known == tables.byBundleID.begin() ? "" : ", ") + known->first;
    return nullptr;
  }
  if (!name || app) return nullptr;
  std::optional<chat::Source> source;
  if (const std::string* raw = words.option("--source")) {
    source = chat::sourceNamed(*raw);
    if (!source) {
      problem = "zel-capture: --source takes chatGPTApp, chatGPTWeb, claudeApp or claudeWeb";
      return nullptr;
    }
  }
  const chat::ChatSite* site = chat::ChatSites::named(*name);
  if (!site) {
    std::vector<std::string_view> known;
    for (const chat::ChatSite& row : chat::ChatSites::all()) known.push_back(row.name);
    std::sort(known.begin(), known.end());
    problem = "zel-capture: no extractor is named " + *name + "; known: ";
    for (size_t i = 0; i < known.size(); ++i) problem += (i ? ", " : "") + std::string(known[i]);
    return nullptr;
  }
  const auto& takes = site->extractorSources;
  const chat::Source s = takes.empty() ? site->source : source.value_or(site->source);
  if (!takes.empty() && std::find(takes.begin(), takes.end(), s) == takes.end()) {
    problem = "zel-capture: the " + std::string(site->name) + " extractor takes --source ";
    for (size_t i = 0; i < takes.size(); ++i)
      problem += (i == 0 ? "" : i + 1 == takes.size() ? " or " : ", ") + std::string(chat::rawValue(takes[i]));
    return nullptr;
  }
  return site->extractor(s, clock);
}

void profileCommand(const std::vector<std::string>& files, Date now, const CaptureClock& clock, Io& io) {
  forEachTreeFile(files, io, [&](std::vector<trees::AXNode>& windows) {
    for (const trees::AXNode& w : windows) {
      const auto outcome = profile::ProfileExtractor::extract(w, now, clock);
      std::optional<std::string> line;
      if (outcome && outcome->read()) {
        line = encodeLine([&](JSONWriter& j) {
          j.beginObject().member("kind", "profile");
          writeJSON(j.key("profile"), *outcome->read(), DateForm::nanoseconds);
          j.endObject();
        });
      } else if (outcome) {
        line = encodeLine([&](JSONWriter& j) {
          j.beginObject().member("kind", "profile_status");
          writeJSON(j.key("profile_status"), *outcome->status());
          j.endObject();
        });
      }
      io.out << line.value_or("null") << '\n';
    }
  });
}

// Conversations from JSON lines: each line a conversation, or a chat line
// whose "chats" are taken in order. Nullopt, with a message, for a file with
// a line that is neither.
std::optional<std::vector<chat::Conversation>> captures(const std::string& name, const std::string& bytes, Io& io) {
  std::vector<chat::Conversation> found;
  size_t lineNumber = 0;
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string_view line(bytes.data() + start, end - start);
    start = end + 1;
    ++lineNumber;
    // Blank lines, and the null that extract prints for a window without a
    // conversation, carry nothing.
    if (trimmedView(line).empty() || trimmedView(line) == "null") continue;
    const Json j = Json::parse(line.begin(), line.end(), nullptr, false);
    auto fail = [&](const std::string& why) {
      io.problem(name, "line " + std::to_string(lineNumber) + ": " + why);
      return std::nullopt;
    };
    if (j.is_discarded()) {
      if (Json::accept(bytes)) return fail("not JSON on its own: merge reads one JSON object per line");
      return fail("not JSON");
    }
    if (j.is_object() && j.contains("chats")) {
      if (!j["chats"].is_array()) return fail("\"chats\" must be an array");
      for (const Json& c : j["chats"]) {
        auto conversation = chat::conversationFromJSON(c);
        if (!conversation) return fail(conversation.error());
        found.push_back(std::move(conversation.value()));
      }
      continue;
    }
    auto conversation = chat::conversationFromJSON(j);
    if (!conversation) return fail(conversation.error());
    found.push_back(std::move(conversation.value()));
  }
  return found;
}

void mergeCommand(std::vector<std::string> files, Io& io) {
  if (files.empty()) files.push_back("-");
  std::vector<chat::Conversation> all;
  for (const auto& name : files) {
    auto bytes = readFile(name, io);
    if (!bytes) continue;
    if (auto found = captures(name, *bytes, io)) all.insert(all.end(), found->begin(), found->end());
  }
  for (const chat::Conversation& c : chat::SessionMerge::merge(all))
    if (auto line = chat::encodeConversation(c, DateForm::wholeSeconds)) io.out << *line << '\n';
}

void scrubCommand(const std::vector<std::string>& files, Io& io) {
  std::vector<trees::AXNode> trees;
  forEachTreeFile(files, io, [&](std::vector<trees::AXNode>& windows) {
    for (trees::AXNode& w : windows) trees.push_back(std::move(w));
  });
  auto clean = scrub::scrubbed(trees);
  if (!clean) {
    io.err << "zel-capture: no random key could be drawn; nothing was scrubbed\n";
    io.status = 2;
    return;
  }
  for (const trees::AXNode& t : *clean) {
    std::string line;
    try {
      t.appendJSON(line);
    } catch (const UnencodableValue&) {
      continue;
    }
    io.out << line << '\n';
  }
}

}  // namespace

int runCaptureTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
                   const ToolEnvironment& environment) {
  Io io{in, out, err};
  const CaptureClock& clock = environment.clock;
  const std::string command = args.empty() ? "" : args[0];
  auto usage = [&](const std::string& problem = "") {
    if (!problem.empty()) err << (problem.starts_with("zel-capture: ") ? "" : "zel-capture: ") << problem << '\n';
    err << captureUsage << '\n';
    return 1;
  };
  auto done = [&] {
    out.flush();
    return io.status;
  };
  if (command == "--help" || command == "help") {
    out << captureUsage << '\n' << helpText;
    return 0;
  }
  if (command == "--version") {
    out << "zel-capture " << ZEL_VERSION << '\n';
    return 0;
  }

  if (command == "text" || command == "scrub") {
    const auto words = CommandWords::parse(args, 1, {});
    if (!words.problem.empty()) return usage(words.problem);
    if (words.files.empty()) return usage();
    if (command == "text") textCommand(words.files, io);
    else scrubCommand(words.files, io);
    return done();
  }
  if (command == "merge") {
    const auto words = CommandWords::parse(args, 1, {});
    if (!words.problem.empty()) return usage(words.problem);
    mergeCommand(words.files, io);
    return done();
  }
  if (command == "profile") {
    const auto words = CommandWords::parse(args, 1, {"--now"});
    if (!words.problem.empty()) return usage(words.problem);
    std::optional<Date> now = clock.now();
    if (const std::string* text = words.option("--now")) {
      now = parseISO8601(*text);
      if (!now) return usage("--now takes an ISO 8601 date such as 2026-01-31T09:15:00Z");
    }
    if (words.files.empty()) return usage();
    profileCommand(words.files, *now, clock, io);
    return done();
  }
  if (command == "extract") {
    const auto words = CommandWords::parse(args, 1, {"--app", "--extractor", "--source"});
    if (!words.problem.empty()) return usage(words.problem);
    std::string problem;
    auto extractor = chosenExtractor(words, clock, problem);
    if (!extractor || words.files.empty()) return usage(problem);
    extractCommand(*extractor, words.files, io);
    return done();
  }
  if (command == "record") {
    const auto words = CommandWords::parse(args, 1, {"--app", "--own"}, {"--scrub", "--each-line"});
    if (!words.problem.empty()) return usage(words.problem);
    const std::string* app = words.option("--app");
    if (!app || !words.files.empty()) return usage();
    RecordRequest request{*app, words.option("--own") ? std::optional(*words.option("--own")) : std::nullopt,
                          words.flags.contains("--scrub"), words.flags.contains("--each-line") ? &io.in : nullptr};
    io.status = record(request, environment, io.out, io.err);
    return done();
  }
  if (command == "show") {
    auto words = CommandWords::parse(args, 1, {});
    if (!words.problem.empty()) return usage(words.problem);
    if (words.files.empty()) words.files.push_back("-");
    for (const auto& name : words.files) {
      auto bytes = readFile(name, io);
      if (!bytes) continue;
      for (size_t start = 0; start < bytes->size();) {
        size_t end = bytes->find('\n', start);
        if (end == std::string::npos) end = bytes->size();
        const std::string_view line = std::string_view(*bytes).substr(start, end - start);
        start = end + 1;
        if (!trimmedView(line).empty()) out << shownLine(line);
      }
    }
    return done();
  }
  if (command == "explain") {
    const auto words = CommandWords::parse(args, 1, {"--app", "--chat-browsers", "--profiles"});
    if (!words.problem.empty()) return usage(words.problem);
    if (!words.files.empty()) return usage();
    ExplainRequest request;
    if (const std::string* app = words.option("--app")) request.app = *app;
    if (const std::string* ids = words.option("--chat-browsers"))
      for (auto& id : commaPieces(*ids)) request.chatBrowsers.insert(std::move(id));
    if (const std::string* sites = words.option("--profiles"))
      for (auto& site : commaPieces(*sites))
        if (profile::ProfileSites::named(site)) request.profileSites.insert(std::move(site));
    const int status = explain(request, environment, out, err);
    out.flush();
    return status;
  }
  return usage();
}

}  // namespace zel::tools
