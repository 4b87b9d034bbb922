#include "tools/capture_tool.h"

#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>

#include "trees/ax_node.h"
#include "chat/chatgpt_extractor.h"
#include "chat/claude_extractor.h"
#include "chat/extractors.h"
#include "chat/grok_extractor.h"
#include "profile/profile_extractor.h"
#include "scrub/scrubber.h"
#include "base/json_text.h"
#include "base/unicode_text.h"

namespace zel::tools {

const char* const captureUsage =
    "usage: zel-capture text FILE...\n"
    "       zel-capture extract --app BUNDLE_ID FILE...\n"
    "       zel-capture extract --extractor chatgpt|claude|grok [--source SOURCE] FILE...\n"
    "       zel-capture profile [--now ISO8601] FILE...\n"
    "       zel-capture merge [FILE...]\n"
    "       zel-capture scrub FILE...";

namespace {

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

std::optional<std::string> readFile(const std::string& name, Io& io) {
  if (name == "-") return std::string(std::istreambuf_iterator<char>(io.in), {});
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    io.problem(name, "cannot be opened");
    return std::nullopt;
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (file.bad()) {
    io.problem(name, "cannot be read");
    return std::nullopt;
  }
  return bytes.str();
}

// Reads every file as window trees and hands each file's windows on; a file
// that cannot be read or decoded is reported and skipped.
void forEachTreeFile(const std::vector<std::string>& files, Io& io,
                     const std::function<void(std::vector<AXNode>&)>& use) {
  for (const auto& name : files) {
    auto bytes = readFile(name, io);
    if (!bytes) continue;
    auto windows = decodeWindows(*bytes);
    if (!windows) {
      io.problem(name, windows.error());
      continue;
    }
    use(windows.value());
  }
}

void textCommand(const std::vector<std::string>& files, Io& io) {
  forEachTreeFile(files, io, [&](std::vector<AXNode>& windows) {
    for (const AXNode& window : windows)
      io.line([&](JSONWriter& w) {
        w.beginObject().member("text", window.text()).key("texts").strings(window.texts()).endObject();
      });
  });
}

void extractCommand(const Extractor& extractor, const std::vector<std::string>& files, Io& io) {
  forEachTreeFile(files, io, [&](std::vector<AXNode>& windows) {
    for (const AXNode& w : windows) {
      auto c = extractor.extract(w);
      const auto line = c ? encodeConversation(*c, DateForm::wholeSeconds) : std::nullopt;
      io.out << line.value_or("null") << '\n';
    }
  });
}

// The extractor named by extract's options, and where its files begin; null
// with a message for options that name none.
std::shared_ptr<const Extractor> chosenExtractor(const std::vector<std::string>& args, size_t& files,
                                                 const CaptureClock& clock, std::string& problem) {
  auto valueAt = [&](size_t i) -> const std::string* { return i < args.size() ? &args[i] : nullptr; };
  if (args.size() > 1 && args[1] == "--app") {
    const std::string* app = valueAt(2);
    if (!app) return nullptr;
    files = 3;
    auto tables = Extractors::build(clock);
    auto it = tables.byBundleID.find(*app);
    if (it == tables.byBundleID.end()) {
      problem = "zel-capture: no extractor reads " + *app;
      return nullptr;
    }
    return it->second;
  }
  if (args.size() > 1 && args[1] == "--extractor") {
    const std::string* name = valueAt(2);
    if (!name) return nullptr;
    files = 3;
    std::optional<Source> source;
    if (const std::string* flag = valueAt(3); flag && *flag == "--source") {
      const std::string* raw = valueAt(4);
      source = raw ? sourceNamed(*raw) : std::nullopt;
      if (!source) {
        problem = "zel-capture: --source takes chatGPTApp, chatGPTWeb, claudeApp or claudeWeb";
        return nullptr;
      }
      files = 5;
    }
    if (*name == "grok") return std::make_shared<GrokExtractor>(clock);
    if (*name == "chatgpt") {
      const Source s = source.value_or(Source::chatGPTWeb);
      if (s != Source::chatGPTApp && s != Source::chatGPTWeb) {
        problem = "zel-capture: the chatgpt extractor takes --source chatGPTApp or chatGPTWeb";
        return nullptr;
      }
      return std::make_shared<ChatGPTExtractor>(s, clock);
    }
    if (*name == "claude") {
      const Source s = source.value_or(Source::claudeWeb);
      if (s != Source::claudeApp && s != Source::claudeWeb) {
        problem = "zel-capture: the claude extractor takes --source claudeApp or claudeWeb";
        return nullptr;
      }
      return std::make_shared<ClaudeExtractor>(s, clock);
    }
    problem = "zel-capture: no extractor is named " + *name;
  }
  return nullptr;
}

void profileCommand(const std::vector<std::string>& files, Date now, const CaptureClock& clock, Io& io) {
  forEachTreeFile(files, io, [&](std::vector<AXNode>& windows) {
    for (const AXNode& w : windows) {
      const auto outcome = ProfileExtractor::extract(w, now, clock);
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
std::optional<std::vector<Conversation>> captures(const std::string& name, const std::string& bytes, Io& io) {
  std::vector<Conversation> found;
  size_t lineNumber = 0;
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string_view line(bytes.data() + start, end - start);
    start = end + 1;
    ++lineNumber;
    if (trimmedView(line).empty()) continue;
    const Json j = Json::parse(line.begin(), line.end(), nullptr, false);
    auto fail = [&](const std::string& why) {
      io.problem(name, "line " + std::to_string(lineNumber) + ": " + why);
      return std::nullopt;
    };
    if (j.is_discarded()) return fail("not JSON");
    if (j.is_object() && j.contains("chats")) {
      if (!j["chats"].is_array()) return fail("\"chats\" must be an array");
      for (const Json& c : j["chats"]) {
        auto conversation = conversationFromJSON(c);
        if (!conversation) return fail(conversation.error());
        found.push_back(std::move(conversation.value()));
      }
      continue;
    }
    auto conversation = conversationFromJSON(j);
    if (!conversation) return fail(conversation.error());
    found.push_back(std::move(conversation.value()));
  }
  return found;
}

void mergeCommand(std::vector<std::string> files, Io& io) {
  if (files.empty()) files.push_back("-");
  std::vector<Conversation> all;
  for (const auto& name : files) {
    auto bytes = readFile(name, io);
    if (!bytes) continue;
    if (auto found = captures(name, *bytes, io)) all.insert(all.end(), found->begin(), found->end());
  }
  for (const Conversation& c : SessionMerge::merge(all))
    if (auto line = encodeConversation(c, DateForm::wholeSeconds)) io.out << *line << '\n';
}

void scrubCommand(const std::vector<std::string>& files, Io& io) {
  std::vector<AXNode> trees;
  forEachTreeFile(files, io, [&](std::vector<AXNode>& windows) {
    for (AXNode& w : windows) trees.push_back(std::move(w));
  });
  auto clean = scrubbed(trees);
  if (!clean) {
    io.err << "zel-capture: no random key could be drawn; nothing was scrubbed\n";
    io.status = 2;
    return;
  }
  for (const AXNode& t : *clean) {
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
                   const CaptureClock& clock) {
  Io io{in, out, err};
  const std::string command = args.empty() ? "" : args[0];
  if (command == "text" && args.size() >= 2) {
    textCommand({args.begin() + 1, args.end()}, io);
    out.flush();
    return io.status;
  }
  if (command == "scrub" && args.size() >= 2) {
    scrubCommand({args.begin() + 1, args.end()}, io);
    out.flush();
    return io.status;
  }
  if (command == "merge") {
    mergeCommand({args.begin() + 1, args.end()}, io);
    out.flush();
    return io.status;
  }
  if (command == "profile") {
    size_t files = 1;
    std::optional<Date> now = clock.now();
    if (args.size() > 1 && args[1] == "--now") {
      now = args.size() > 2 ? parseISO8601(args[2]) : std::nullopt;
      files = 3;
      if (!now) err << "zel-capture: --now takes an ISO 8601 date such as 2026-01-31T09:15:00Z\n";
    }
    if (now && files < args.size()) {
      profileCommand({args.begin() + static_cast<long>(files), args.end()}, *now, clock, io);
      out.flush();
      return io.status;
    }
    err << captureUsage << '\n';
    return 1;
  }
  if (command == "extract") {
    size_t files = args.size();
    std::string problem;
    auto extractor = chosenExtractor(args, files, clock, problem);
    if (extractor && files < args.size()) {
      extractCommand(*extractor, {args.begin() + static_cast<long>(files), args.end()}, io);
      out.flush();
      return io.status;
    }
    if (!problem.empty()) err << problem << '\n';
  }
  err << captureUsage << '\n';
  return 1;
}

}  // namespace zel::tools
