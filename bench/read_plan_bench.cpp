// The planned walk over recorded trees on a 60,000-node window, with and
// without a read plan, as a ratio to a bare pre-order walk of the same tree.

#include <benchmark/benchmark.h>

#include "profile/linkedin/linkedin_read_plan.h"
#include "profile/profile_read_plan.h"
#include "profile/x/x_read_plan.h"
#include "trees/read_plan.h"
#include "trees/recorded_source.h"
#include "ratio_report.h"
#include "support/trees.h"

namespace {

using zel::trees::AXNode;

const zel::trees::AXNode& window() {
  static const zel::trees::AXNode w = zel::test::syntheticWindow(60000);
  return w;
}

void bareWalk(benchmark::State& state) {
  for (auto _ : state) {
    size_t count = 0;
    zel::trees::forEachPreorder(window(), [&](const zel::trees::AXNode&) {
      ++count;
      return true;
    });
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(bareWalk)->Name("window/bareWalk");

void walkWithoutPlan(benchmark::State& state) {
  for (auto _ : state) {
    zel::trees::RecordedSource source;
    benchmark::DoNotOptimize(zel::trees::PlannedWalk::walk(source, &window(), nullptr, 60000));
  }
}
BENCHMARK(walkWithoutPlan)->Name("window/walkWithoutPlan");

void walkWithPlan(benchmark::State& state) {
  for (auto _ : state) {
    zel::trees::RecordedSource source;
    auto plan = zel::profile::profileReadPlan("https://www.linkedin.com/in/sample-slug/");
    benchmark::DoNotOptimize(zel::trees::PlannedWalk::walk(source, &window(), plan.get(), 60000));
  }
}
BENCHMARK(walkWithPlan)->Name("window/walkWithLinkedInPlan");

}  // namespace

int main(int argc, char** argv) { return zel::bench::runWithRatios(argc, argv, "bareWalk"); }
