#pragma once
// Benchmarks here report each case as a ratio to a baseline measured in the
// same run, so that figures compare across machines. Use runWithRatios() as
// main(): it runs the registered benchmarks and prints a ratio table after
// Google Benchmark's own output.

namespace zel::bench {

// Benchmarks named "group/case" are divided by "group/<baseline>", measured on
// the same input; names without a group by "<baseline>".
int runWithRatios(int argc, char** argv, const char* baseline);

}  // namespace zel::bench
