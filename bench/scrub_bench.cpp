// The scrubber on a recorded LinkedIn page grown to about 60,000 nodes, as a
// ratio to its floor: one HMAC-SHA256 per distinct text of the same tree.
// And merging 500 overlapping captures of a 400-turn chat.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <set>

#include "chat/conversation.h"
#include "scrub/scrubber.h"
#include "ratio_report.h"
#include "support/trees.h"

namespace {

using zel::trees::AXNode;

const zel::trees::AXNode& page() {
  static const zel::trees::AXNode p = [] {
    zel::trees::AXNode window = zel::test::fixtureWindow("linkedin_own_profile.json");
    zel::trees::AXNode* experience = nullptr;
    zel::test::editAll(window, [&](zel::trees::AXNode& n) {
      if (n.domID && n.domID->ends_with("ExperienceTopLevelSection")) experience = &n;
    });
    const std::vector<zel::trees::AXNode> entries(experience->children.begin() + 1, experience->children.end());
    for (int round = 0; window.preorder().size() < 60000; ++round)
      for (zel::trees::AXNode e : entries) {
        // Every copy is another position, company and text: distinct masks.
        zel::test::editAll(e, [&](zel::trees::AXNode& n) {
          if (n.url) *n.url += std::to_string(round) + "/";
          if (n.value) *n.value += " " + std::to_string(round);
        });
        experience->children.push_back(std::move(e));
      }
    return window;
  }();
  return p;
}

std::vector<std::string> distinctTexts() {
  std::set<std::string> texts;
  zel::trees::forEachPreorder(page(), [&](const zel::trees::AXNode& n) {
    for (const auto* t : {&n.title, &n.desc, &n.value, &n.url, &n.domID})
      if (*t) texts.insert(**t);
    return true;
  });
  return {texts.begin(), texts.end()};
}

void hmacFloor(benchmark::State& state) {
  const auto texts = distinctTexts();
  unsigned char key[32] = {1, 2, 3};
  for (auto _ : state) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (const auto& t : texts)
      HMAC(EVP_sha256(), key, sizeof key, reinterpret_cast<const unsigned char*>(t.data()), t.size(), digest, &length);
    benchmark::DoNotOptimize(digest);
  }
  state.counters["distinctTexts"] = static_cast<double>(texts.size());
  state.counters["nodes"] = static_cast<double>(page().preorder().size());
}
BENCHMARK(hmacFloor)->Name("page/hmacFloor");

void scrub(benchmark::State& state) {
  const double texts = static_cast<double>(distinctTexts().size());
  for (auto _ : state) benchmark::DoNotOptimize(zel::scrub::scrubbed(page()));
  state.counters["textsPerSecond"] = benchmark::Counter(texts * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(scrub)->Name("page/scrub");

std::vector<zel::chat::Conversation> captures() {
  std::vector<zel::chat::Turn> chat;
  for (int i = 0; i < 400; ++i)
    chat.push_back(zel::chat::makeTurn(i % 2 ? zel::chat::Turn::Role::assistant : zel::chat::Turn::Role::user,
                                       "Message " + std::to_string(i) + ": " + std::string(300, 'a' + i % 26)));
  std::vector<zel::chat::Conversation> out;
  for (int c = 0; c < 500; ++c) {
    zel::chat::Conversation conversation;
    conversation.locator = "https://chatgpt.com/c/abc";
    const int first = c * 360 / 500;  // a 40-turn window scrolling down the chat
    for (int i = first; i < std::min(first + 40, 400); ++i) conversation.turns.push_back(chat[static_cast<size_t>(i)]);
    // The newest answer is still growing.
    conversation.turns.back().text += std::string(static_cast<size_t>(c % 7), '.');
    out.push_back(std::move(conversation));
  }
  return out;
}

void merge500(benchmark::State& state) {
  const auto all = captures();
  size_t turns = 0;
  for (auto _ : state) {
    auto merged = zel::chat::SessionMerge::merge(all);
    turns = merged.front().turns.size();
    benchmark::DoNotOptimize(merged);
  }
  state.counters["turns"] = static_cast<double>(turns);
}
BENCHMARK(merge500)->Name("merge/500capturesOf400Turns")->Unit(benchmark::kMillisecond);

// Two captures of 20,000 turns each that share no turn: every later turn
// looks for a match and finds none.
void mergeDisjoint(benchmark::State& state) {
  std::vector<zel::chat::Turn> earlier, later;
  for (int i = 0; i < 20000; ++i) {
    const auto role = i % 2 ? zel::chat::Turn::Role::assistant : zel::chat::Turn::Role::user;
    earlier.push_back(zel::chat::makeTurn(role, "Earlier message " + std::to_string(i) + " about the same thing"));
    later.push_back(zel::chat::makeTurn(role, "Later message " + std::to_string(i) + " about the same thing"));
  }
  for (auto _ : state) benchmark::DoNotOptimize(zel::chat::Conversation::mergeByContent(earlier, later));
}
BENCHMARK(mergeDisjoint)->Name("merge/disjoint20000Turns")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return zel::bench::runWithRatios(argc, argv, "hmacFloor"); }
