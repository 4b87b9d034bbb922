#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tools/capture_tool.h"

namespace zel::tools {
namespace {

struct Run {
  int status;
  std::string out;
  std::string err;
};

Run run(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  int status = runCaptureTool(args, in, out, err);
  return {status, out.str(), err.str()};
}

std::string fixture(const std::string& name) { return std::string(ZEL_FIXTURES) + "/" + name; }

TEST(CaptureToolText, RendersEachWindowOfEachFile) {
  auto r = run({"text", fixture("text_window.json"), "-"},
               R"([{"role":"AXStaticText","value":"a/b","domClasses":[],"children":[]},)"
               R"({"domClasses":[],"children":[]}])");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "{\"text\":\"Tables\\nname | size | \\nalpha | 1 | \\n1.First\\n•Second\\nHelloworld\","
            "\"texts\":[\"Tables\",\"name\",\"size\",\"alpha\",\"1\",\"First\",\"Second\",\"• kept\","
            "\"Hello\",\"world\"]}\n"
            "{\"text\":\"a/b\",\"texts\":[\"a/b\"]}\n"
            "{\"text\":\"\",\"texts\":[]}\n");
}

TEST(CaptureToolText, BadFilesAreNamedAndSkipped) {
  const std::string missing = "/nonexistent/tree.json";
  auto r = run({"text", missing, "-", fixture("text_window.json")}, R"({"children":[]})");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "zel-capture: /nonexistent/tree.json: cannot be opened\n"
                   "zel-capture: -: $: \"domClasses\" is missing\n");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);  // the good file still printed
}

TEST(CaptureToolText, UsageErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"text"}, {"render", "x"}}) {
    auto r = run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string(captureUsage) + "\n");
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace zel::tools
