#include <gtest/gtest.h>

#include "agent/command_line.h"

namespace zel::agent {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, FirstWordChoosesTheCommandExactly) {
  EXPECT_EQ(commandOf({}), Command::usage);
  EXPECT_EQ(commandOf({"Serve"}), Command::usage);
  EXPECT_EQ(commandOf({"--every", "serve"}), Command::usage);
  EXPECT_EQ(commandOf({"trust", "extra"}), Command::trust);
  EXPECT_EQ(commandOf({"serve"}), Command::serve);
}

TEST(CommandLine, Every) {
  struct Case {
    Words args;
    double every;
  };
  const Case cases[] = {
      {{"serve"}, 3.0},
      {{"serve", "--every", "0.5"}, 0.5},
      {{"serve", "--every", "0.5", "--every", "9"}, 0.5},
      {{"serve", "--every", "0"}, 0.0},
      {{"serve", "--every", "1e1"}, 10.0},
      {{"serve", "--every", "+2"}, 2.0},
      {{"serve", "--every", "abc"}, 3.0},
      {{"serve", "--every", ""}, 3.0},
      {{"serve", "--every", "nan"}, 3.0},
      {{"serve", "--every", "inf"}, 3.0},
      {{"serve", "--every", "-1"}, 3.0},
      {{"serve", "--every", "1e400"}, 3.0},
      {{"serve", "--every", "2s"}, 3.0},
      {{"serve", "--every", " 2"}, 3.0},
      {{"serve", "--every"}, 3.0},
  };
  for (const auto& c : cases) EXPECT_EQ(serveConfig(c.args).every, c.every) << ::testing::PrintToString(c.args);
}

TEST(CommandLine, AppsAndProfiles) {
  auto config = serveConfig({"serve", "--profiles", "linkedin,,X", "--apps", "com.a,,com.b, com.c,com.a"});
  EXPECT_EQ(config.profileSites, std::set<std::string>{"linkedin"});
  EXPECT_EQ(config.apps, (std::set<std::string>{"com.a", "com.b", " com.c"}));

  EXPECT_EQ(serveConfig({"serve"}).apps, std::nullopt);
  EXPECT_EQ(serveConfig({"serve", "--apps"}).apps, std::nullopt);
  EXPECT_EQ(serveConfig({"serve", "--apps", ","}).apps, std::set<std::string>{});
  EXPECT_EQ(serveConfig({"serve", "--profiles", "x,linkedin,x"}).profileSites,
            (std::set<std::string>{"linkedin", "x"}));
  EXPECT_TRUE(serveConfig({"serve", "--profiles"}).profileSites.empty());
  using Ids = std::set<std::string>;
  EXPECT_EQ(serveConfig({"serve", "--chat-browsers", "com.google.Chrome,,com.apple.Safari,"}).chatBrowsers,
            (Ids{"com.google.Chrome", "com.apple.Safari"}));
  EXPECT_EQ(serveConfig({"serve", "--chat-browsers", "a", "--chat-browsers", "b"}).chatBrowsers, Ids{"a"});
  EXPECT_TRUE(serveConfig({"serve", "--chat-browsers"}).chatBrowsers.empty());
  EXPECT_TRUE(serveConfig({"serve", "stray", "--apps", "a"}).chatBrowsers.empty());
}

TEST(CommandLine, CommaList) {
  EXPECT_EQ(commaList(""), Words{});
  EXPECT_EQ(commaList(",,"), Words{});
  EXPECT_EQ(commaList("a"), Words{"a"});
  EXPECT_EQ(commaList(",a,, b ,"), (Words{"a", " b "}));
}

}  // namespace
}  // namespace zel::agent
