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

using zel::AXNode;

size_t countNodes(const AXNode& n) { return n.preorder().size(); }

using Pred = std::function<bool(const AXNode&)>;

// The recorded window made realistic in size: the children of every answer
// body repeated `lengthen` times (long answers), then the messages of its
// container repeated until the window holds about `target` nodes.
AXNode grown(const std::string& fixture, const Pred& isContainer, const Pred& isAnswerBody, size_t target,
             size_t lengthen = 12) {
  AXNode window = zel::test::fixtureWindow(fixture);
  zel::test::editAll(window, [&](AXNode& n) {
    if (!isAnswerBody(n)) return;
    const std::vector<AXNode> parts = n.children;
    for (size_t i = 1; i < lengthen; ++i) n.children.insert(n.children.end(), parts.begin(), parts.end());
  });
  AXNode* container = nullptr;
  zel::test::editAll(window, [&](AXNode& n) {
    if (!container && isContainer(n)) container = &n;
  });
  if (!container) return window;
  const std::vector<AXNode> messages = container->children;
  size_t perRound = 0;
  for (const AXNode& m : messages) perRound += countNodes(m);
  for (size_t total = countNodes(window); total < target; total += perRound)
    container->children.insert(container->children.end(), messages.begin(), messages.end());
  return window;
}

struct Case {
  const char* name;
  AXNode window;
  std::shared_ptr<const zel::Extractor> extractor;
};

std::vector<Case>& cases() {
  static std::vector<Case> all = [] {
    constexpr size_t n = 60000;
    auto hasClass = [](const char* c) { return [c](const AXNode& x) { return x.hasClass(c); }; };
    auto childCount = [](size_t k) { return [k](const AXNode& x) { return x.children.size() == k; }; };
    auto textGroup = [](const AXNode& x) {
      return zel::hasRole(x, "AXGroup") && x.children.size() == 1 && zel::hasRole(x.children[0], "AXStaticText");
    };
    auto role = [](const char* r) { return [r](const AXNode& x) { return zel::hasRole(x, r); }; };
    const auto& registry = zel::Extractors::byBundleID(zel::System::macOS);
    std::vector<Case> v;
    v.push_back({"chatgptGrouped", grown("chatgpt_grouped.json", hasClass("text-sm"), hasClass("markdown"), n),
                 registry.at("com.google.Chrome")});
    v.push_back({"chatgptFlat", grown("chatgpt_flat.json", hasClass("flex-col"), hasClass("markdown"), n),
                 registry.at("com.openai.codex")});
    v.push_back({"chatgptClassFree", grown("chatgpt_classfree.json", childCount(10), role("AXList"), n),
                 std::make_shared<zel::ChatGPTExtractor>(zel::Source::chatGPTApp)});
    v.push_back({"claudeWeb", grown("claude_web.json", hasClass("flex-1"), hasClass("font-claude-message"), n),
                 registry.at("com.apple.Safari")});
    v.push_back({"claudeRows", grown("claude_rows.json", hasClass("messages"), hasClass("prose"), n),
                 registry.at("com.anthropic.claudefordesktop")});
    v.push_back({"claudeClassFree", grown("claude_classfree.json", childCount(6), textGroup, n),
                 std::make_shared<zel::ClaudeExtractor>(zel::Source::claudeApp)});
    v.push_back({"grok", grown("grok_page.json", hasClass("flex-col"), hasClass("_Paragraph_1x2y"), n),
                 registry.at("com.google.Chrome")});
    return v;
  }();
  return all;
}

void bareWalk(benchmark::State& state, const Case* c) {
  for (auto _ : state) {
    size_t count = 0;
    zel::forEachPreorder(c->window, [&](const AXNode&) {
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
