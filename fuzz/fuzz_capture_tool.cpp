// Every zel-capture command over input from standard input: it ends with 0
// or 2, never anything else, whatever it is fed.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "base/capture_clock.h"
#include "tools/capture_tool.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zel;
  if (size == 0) return 0;
  static const std::vector<std::vector<std::string>> commands = {
      {"text", "-"},
      {"extract", "--app", "com.google.Chrome", "-"},
      {"extract", "--extractor", "chatgpt", "--source", "chatGPTApp", "-"},
      {"extract", "--extractor", "claude", "-"},
      {"extract", "--extractor", "grok", "-"},
      {"profile", "--now", "2026-01-31T09:15:00Z", "-"},
      {"merge", "-"},
      {"scrub", "-"},
      {"show", "-"},
  };
  const auto& args = commands[data[0] % commands.size()];
  std::istringstream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  std::ostringstream out, err;
  tools::ToolEnvironment environment;
  environment.clock = CaptureClock::fixed(Date{800000000}, "UTC");
  const int status = tools::runCaptureTool(args, in, out, err, environment);
  if (status != 0 && status != 2) __builtin_trap();
  return 0;
}
