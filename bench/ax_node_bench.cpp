// Tree operations over a generated chat window of about 60,000 nodes, each as
// a ratio to a bare pre-order count of the same tree.

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include "trees/ax_node.h"
#include "ratio_report.h"
#include "support/trees.h"

namespace {

using zel::trees::AXNode;

const zel::trees::AXNode& window() {
  static const zel::trees::AXNode w = zel::test::syntheticWindow(60000);
  return w;
}

const std::string& windowJSON() {
  static const std::string j = window().json();
  return j;
}

void bareWalk(benchmark::State& state) {
  const zel::trees::AXNode& w = window();
  for (auto _ : state) {
    size_t count = 0;
    zel::trees::forEachPreorder(w, [&](const zel::trees::AXNode&) {
      ++count;
      return true;
    });
    benchmark::DoNotOptimize(count);
  }
  size_t nodes = w.preorder().size();
  state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(bareWalk)->Name("window/bareWalk");

void text(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(window().text());
}
BENCHMARK(text)->Name("window/text");

void texts(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(window().texts());
}
BENCHMARK(texts)->Name("window/texts");

void preorder(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(window().preorder());
}
BENCHMARK(preorder)->Name("window/preorder");

void firstWhere(benchmark::State& state) {
  // Nothing matches: the search walks the whole tree.
  for (auto _ : state)
    benchmark::DoNotOptimize(
        window().first([](const zel::trees::AXNode& n) { return n.role && *n.role == "AXTextArea"; }));
}
BENCHMARK(firstWhere)->Name("window/firstWhere");

void descendantsWhere(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(
        window().descendants([](const zel::trees::AXNode& n) { return n.hasClassPrefix("_Paragraph"); }));
}
BENCHMARK(descendantsWhere)->Name("window/descendantsWhere");

void jsonDecode(benchmark::State& state) {
  const std::string& j = windowJSON();
  for (auto _ : state) benchmark::DoNotOptimize(zel::trees::AXNode::decode(j));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * j.size()));
}
BENCHMARK(jsonDecode)->Name("window/jsonDecode");

void nlohmannParse(benchmark::State& state) {
  const std::string& j = windowJSON();
  for (auto _ : state) benchmark::DoNotOptimize(nlohmann::json::parse(j));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * j.size()));
}
BENCHMARK(nlohmannParse)->Name("window/nlohmannParse");

void jsonEncode(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(window().json());
}
BENCHMARK(jsonEncode)->Name("window/jsonEncode");

}  // namespace

int main(int argc, char** argv) { return zel::bench::runWithRatios(argc, argv, "bareWalk"); }
