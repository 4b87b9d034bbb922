// The LinkedIn profile extractor on an own main profile page grown to about
// 20,000 nodes (a long experience history), as a ratio to a bare pre-order
// walk of the same page.

#include <benchmark/benchmark.h>

#include "profile/linkedin/linkedin_profile_extractor.h"
#include "profile/profile_extractor.h"
#include "ratio_report.h"
#include "support/trees.h"

namespace {

using zel::trees::AXNode;

// A realistic own page: the recorded page with every text wrapped in the
// layers of generic elements real pages have, a few more positions, and a
// long "people also viewed" side panel, to about 20,000 nodes.
const zel::trees::AXNode& page() {
  static const zel::trees::AXNode p = [] {
    zel::trees::AXNode window = zel::test::fixtureWindow("linkedin_own_profile.json");
    zel::test::editAll(window, [](zel::trees::AXNode& n) {
      if (n.hasClass("wrapper")) return;
      for (zel::trees::AXNode& c : n.children)
        if (c.role && *c.role == "AXStaticText")
          c = zel::test::classed(zel::test::el("AXGroup", {zel::test::classed(zel::test::el("AXGroup", {c}), {"wrapper"})}),
                                 {"wrapper"});
    });
    zel::trees::AXNode* experience = nullptr;
    zel::trees::AXNode* main = nullptr;
    zel::test::editAll(window, [&](zel::trees::AXNode& n) {
      if (n.domID && n.domID->ends_with("ExperienceTopLevelSection")) experience = &n;
      if (n.subrole && *n.subrole == "AXLandmarkMain") main = &n;
    });
    const std::vector<zel::trees::AXNode> entries(experience->children.begin() + 1, experience->children.end());
    for (int round = 0; round < 8; ++round)
      for (zel::trees::AXNode e : entries) {
        zel::test::editAll(e, [&](zel::trees::AXNode& n) {
          if (n.url && n.url->find("/edit/forms/position/") != std::string::npos) *n.url += std::to_string(round) + "/";
        });
        experience->children.push_back(std::move(e));
      }
    zel::trees::AXNode aside = zel::test::el("AXGroup");
    aside.domID = "profileAside-people";
    const zel::trees::AXNode person = zel::test::el(
        "AXGroup", {zel::test::el("AXGroup", {zel::test::el("AXGroup", {zel::test::st("Another Person")})}),
                    zel::test::el("AXGroup", {zel::test::el("AXGroup", {zel::test::st("Designer at Somewhere")})}),
                    zel::test::el("AXButton", {zel::test::st("Connect")})});
    main->children.push_back(std::move(aside));
    zel::trees::AXNode& panel = main->children.back();
    while (window.preorder().size() < 20000) panel.children.push_back(person);
    return window;
  }();
  return p;
}

void bareWalk(benchmark::State& state) {
  for (auto _ : state) {
    size_t count = 0;
    zel::trees::forEachPreorder(page(), [&](const zel::trees::AXNode&) {
      ++count;
      return true;
    });
    benchmark::DoNotOptimize(count);
  }
  state.counters["nodes"] = static_cast<double>(page().preorder().size());
}
BENCHMARK(bareWalk)->Name("linkedinOwnPage/bareWalk");

void extract(benchmark::State& state) {
  const zel::Date now{800000000};
  size_t roles = 0;
  for (auto _ : state) {
    auto outcome = zel::profile::ProfileExtractor::extract(page(), now);
    roles = outcome && outcome->read() ? static_cast<size_t>(outcome->read()->health.roles) : 0;
    benchmark::DoNotOptimize(outcome);
  }
  state.counters["roles"] = static_cast<double>(roles);
}
BENCHMARK(extract)->Name("linkedinOwnPage/extract");

}  // namespace

int main(int argc, char** argv) { return zel::bench::runWithRatios(argc, argv, "bareWalk"); }
