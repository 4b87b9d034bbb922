// Runs the real zel-ax executable the way a host does.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/process.h"
#include "support/temp_dir.h"

namespace zel {
namespace {

using test::runProcess;

const std::string usage =
    "usage: zel-ax trust | serve [--every <s>] [--apps <ids>] [--chat-browsers <ids>] [--profiles linkedin,x]\n";

class ZelAx : public ::testing::Test {
 protected:
  std::string desktop(const std::string& json) {
    auto path = (dir_ / "desktop.json").string();
    std::ofstream(path) << json;
    return path;
  }

  test::TempDir dir_;
};

TEST_F(ZelAx, WrongCommandLinesPrintTheUsage) {
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"Serve"}, {"--every", "1", "serve"}, {"help"}}) {
    auto r = runProcess(ZEL_AX_BINARY, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, usage);
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(ZelAx, TrustAnswersFromTheDesktop) {
  struct Case {
    std::string json;
    std::string out;
  };
  const Case cases[] = {
      {R"({"trusted":true})", "trusted\n"},
      {"{}", "trusted\n"},
      {R"({"trusted":false})", "not trusted (System Settings \u2192 Privacy & Security \u2192 Accessibility)\n"},
  };
  for (const auto& c : cases) {
    auto r = runProcess(ZEL_AX_BINARY, {"trust", "ignored"}, {{"ZEL_AX_DESKTOP", desktop(c.json)}});
    EXPECT_EQ(r.status, 0) << c.json;
    EXPECT_EQ(r.out, c.out) << c.json;
    EXPECT_EQ(r.err, "");
  }
}

TEST_F(ZelAx, TrustWithoutADesktopIsNotTrusted) {
  auto r = runProcess(ZEL_AX_BINARY, {"trust"}, {{"ZEL_AX_DESKTOP", ""}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "not trusted (System Settings \u2192 Privacy & Security \u2192 Accessibility)\n");
}

TEST_F(ZelAx, ABrokenDesktopEndsWithOneLineAndStatus2) {
  const auto path = desktop(R"({"trusted":"maybe"})");
  for (const char* command : {"trust", "serve"}) {
    auto r = runProcess(ZEL_AX_BINARY, {command}, {{"ZEL_AX_DESKTOP", path}});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "zel-ax: desktop file " + path + ": \"trusted\" must be true or false\n");
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(ZelAx, ServeEndsWithStatus0WhenItsInputEnds) {
  auto r = runProcess(ZEL_AX_BINARY, {"serve", "--every", "nan", "--apps"}, {{"ZEL_AX_DESKTOP", desktop("{}")}},
                      "{\"arm\":true}\nnot json\n");
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace zel
