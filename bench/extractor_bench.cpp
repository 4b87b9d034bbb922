// Each chat extractor on a realistic window of about 60,000 nodes, grown from
// a recorded window by repeating its messages, as a ratio to a bare pre-order
// walk of the same tree.

#include <benchmark/benchmark.h>

#include <functional>

#include "chat/chatgpt/chatgpt_extractor.h"
#include "chat/claude/claude_extractor.h"
#include "chat/extractors.h"
#include "chat/grok/grok_extractor.h"
#include "ratio_report.h"
#include "support/trees.h"

namespace {

using zel::trees::AXNode;

size_t countNodes(const zel::trees::AXNode& n) { return n.preorder().size(); }

using Pred = std::function<bool(const zel::trees::AXNode&)>;

// The recorded window made realistic in size: the children of every answer
// body repeated `lengthen` times (long answers), then the messages of its
// container repeated until the window holds about `target` nodes.
zel::trees::AXNode grown(const std::string& fixture, const Pred& isContainer, const Pred& isAnswerBody, size_t target,
                         size_t lengthen = 12) {
  zel::trees::AXNode window = zel::test::fixtureWindow(fixture);
  zel::test::editAll(window, [&](zel::trees::AXNode& n) {
    if (!isAnswerBody(n)) return;
    const std::vector<zel::trees::AXNode> parts = n.children;
    for (size_t i = 1; i < lengthen; ++i) n.children.insert(n.children.end(), parts.begin(), parts.end());
  });
  zel::trees::AXNode* container = nullptr;
  zel::test::editAll(window, [&](zel::trees::AXNode& n) {
    if (!container && isContainer(n)) container = &n;
  });
  if (!container) return window;
  const std::vector<zel::trees::AXNode> messages = container->children;
  size_t perRound = 0;
  for (const zel::trees::AXNode& m : messages) perRound += countNodes(m);
  for (size_t total = countNodes(window); total < target; total += perRound)
    container->children.insert(container->children.end(), messages.begin(), messages.end());
  return window;
}

struct Case {
  const char* name;
  zel::trees::AXNode window;
  std::shared_ptr<const zel::chat::Extractor> extractor;
};

std::vector<Case>& cases() {
  static std::vector<Case> all = [] {
    constexpr size_t n = 60000;
    auto hasClass = [](const char* c) { return [c](const zel::trees::AXNode& x) { return x.hasClass(c); }; };
    auto childCount = [](size_t k) { return [k](const zel::trees::AXNode& x) { return x.children.size() == k; }; };
    auto textGroup = [](const zel::trees::AXNode& x) {
      return zel::trees::hasRole(x, "AXGroup") && x.children.size() == 1 &&
             zel::trees::hasRole(x.children[0], "AXStaticText");
    };
    auto role = [](const char* r) { return [r](const zel::trees::AXNode& x) { return zel::trees::hasRole(x, r); }; };
    const auto& registry = zel::chat::Extractors::byBundleID(zel::System::macOS);
    std::vector<Case> v;
    v.push_back({"chatgptGrouped", grown("chatgpt_grouped.json", hasClass("text-sm"), hasClass("markdown"), n),
                 registry.at("com.google.Chrome")});
    v.push_back({"chatgptFlat", grown("chatgpt_flat.json", hasClass("flex-col"), hasClass("markdown"), n),
                 registry.at("com.openai.codex")});
    v.push_back({"chatgptClassFree", grown("chatgpt_classfree.json", childCount(10), role("AXList"), n),
                 std::make_shared<zel::chat::ChatGPTExtractor>(zel::chat::Source::chatGPTApp)});
    v.push_back({"claudeWeb", grown("claude_web.json", hasClass("flex-1"), hasClass("font-claude-message"), n),
                 registry.at("com.apple.Safari")});
    v.push_back({"claudeRows", grown("claude_rows.json", hasClass("messages"), hasClass("prose"), n),
                 registry.at("com.anthropic.claudefordesktop")});
    v.push_back({"claudeClassFree", grown("claude_classfree.json", childCount(6), textGroup, n),
                 std::make_shared<zel::chat::ClaudeExtractor>(zel::chat::Source::claudeApp)});
    v.push_back({"grok", grown("grok_page.json", hasClass("flex-col"), hasClass("_Paragraph_1x2y"), n),
                 registry.at("com.google.Chrome")});
    return v;
  }();
  return all;
}

void bareWalk(benchmark::State& state, const Case* c) {
  for (auto _ : state) {
    size_t count = 0;
    zel::trees::forEachPreorder(c->window, [&](const zel::trees::AXNode&) {
      ++count;
      return true;
    });
    benchmark::DoNotOptimize(count);
  }
  state.counters["nodes"] = static_cast<double>(countNodes(c->window));
}

void extract(benchmark::State& state, const Case* c) {
  size_t turns = 0;
  for (auto _ : state) {
    auto conversation = c->extractor->extract(c->window);
    turns = conversation ? conversation->turns.size() : 0;
    benchmark::DoNotOptimize(conversation);
  }
  state.counters["turns"] = static_cast<double>(turns);
}

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : cases()) {
    benchmark::RegisterBenchmark((std::string(c.name) + "/bareWalk").c_str(), bareWalk, &c);
    benchmark::RegisterBenchmark((std::string(c.name) + "/extract").c_str(), extract, &c);
  }
  return zel::bench::runWithRatios(argc, argv, "bareWalk");
}
