// The sample session of docs/protocol.md, run against the real agent, so that
// the document cannot drift from what the agent says.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "support/served_desktop.h"

namespace zel {
namespace {

using namespace std::chrono_literals;

// Dates and the host's time zone differ from run to run.
std::string normalised(const std::string& line) {
  static const std::regex date(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{9})?Z)");
  static const std::regex zone(R"("timeZone":"[^"]*")");
  return std::regex_replace(std::regex_replace(line, date, "DATE"), zone, "\"timeZone\":\"ZONE\"");
}

class ProtocolDocument : public test::ServedDesktop {};

TEST_F(ProtocolDocument, TheSampleSessionIsWhatTheAgentSays) {
  std::ifstream doc(std::string(ZEL_DOCS) + "/protocol.md");
  std::vector<std::string> session;
  bool inside = false;
  for (std::string line; std::getline(doc, line);) {
    if (line == "```session") inside = true;
    else if (inside && line == "```") break;
    else if (inside) session.push_back(line);
  }
  ASSERT_GE(session.size(), 3u) << "no session block in docs/protocol.md";

  const std::string prompt = "$ zel-ax serve";
  ASSERT_TRUE(session[0].starts_with(prompt));
  std::vector<std::string> args;
  std::istringstream words(session[0].substr(prompt.size()));
  for (std::string w; words >> w;) args.push_back(w);
  auto agent = start(args);

  std::optional<int> expectedExit;
  for (size_t i = 1; i < session.size(); ++i) {
    const std::string& line = session[i];
    if (line.starts_with("< ")) {
      auto said = agent->readLine(3s);
      ASSERT_TRUE(said) << "the agent did not say: " << line;
      EXPECT_EQ(normalised(*said), normalised(line.substr(2)));
    } else if (line.starts_with("> ")) {
      agent->write(line.substr(2) + "\n");
    } else if (line == "(end of input)") {
      EXPECT_TRUE(agent->linesFor(1000ms).empty());  // nothing more was said
      agent->closeInput();
    } else if (line.starts_with("exit ")) {
      expectedExit = std::stoi(line.substr(5));
    }
  }
  ASSERT_TRUE(expectedExit);
  EXPECT_EQ(agent->wait(5s), *expectedExit);
  EXPECT_EQ(agent->errors(), "");
}

}  // namespace
}  // namespace zel
