#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace zel::bench {

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
        if (!times_.count(r.benchmark_name())) order_.push_back(r.benchmark_name());
        times_[r.benchmark_name()] = r.GetAdjustedCPUTime();
      }
    ConsoleReporter::ReportRuns(runs);
  }

  // Each benchmark "group/case" is divided by "group/<baseline>"; a name
  // without a group by "<baseline>".
  void printRatios(const std::string& baseline) const {
    std::printf("\nratio to %s of the same tree (same run):\n", baseline.c_str());
    for (const auto& name : order_) {
      const size_t slash = name.rfind('/');
      const std::string base = slash == std::string::npos ? baseline : name.substr(0, slash + 1) + baseline;
      auto it = times_.find(base);
      if (it == times_.end() || it->second <= 0) continue;
      std::printf("  %-44s %8.2fx\n", name.c_str(), times_.at(name) / it->second);
    }
  }

 private:
  std::vector<std::string> order_;
  std::map<std::string, double> times_;
};

}  // namespace

int runWithRatios(int argc, char** argv, const char* baseline) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios(baseline);
  benchmark::Shutdown();
  return 0;
}

}  // namespace zel::bench
