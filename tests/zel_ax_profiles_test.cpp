// Profile reading in zel-ax serve end to end: recorded profile pages shown in
// Chrome on the simulated desktop, armed and disarmed by control lines as a
// host would. What the agent read is told by the journal: every element
// right below a page's web area is watched, so a page whose label has no read
// event was never walked.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/served_desktop.h"

namespace zel {
namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

const std::string chrome = "com.google.Chrome";
const std::string armLinkedIn = R"({"arm":{"linkedin":{}},"own":{"linkedin":"sample-slug"}})"
                                "\n";

class ServeProfiles : public test::ServedDesktop {
 protected:
  void SetUp() override {
    ServedDesktop::SetUp();
    desktop_["front"] = chrome;
    app(chrome)["windows"] = Json::array();
    app(chrome)["focusedWindow"] = 0;  // the tree switch waits for a focused page
  }

  // Shows a recorded window in Chrome, its page content watched as `label`.
  void show(const std::string& fixture, const std::string& label, const std::string& title = "") {
    Json window = test::fixture(fixture);
    if (!title.empty()) window["title"] = title;
    Json* page = webArea(window);
    for (Json& child : (*page)["children"]) child["watch"] = label;
    app(chrome)["windows"].push_back(window);
    write();
  }

  static Json* webArea(Json& node) {
    if (node.value("role", "") == "AXWebArea") return &node;
    if (node.contains("children"))
      for (Json& child : node["children"])
        if (Json* found = webArea(child)) return found;
    return nullptr;
  }

  std::unique_ptr<test::AgentProcess> serve(const std::string& profiles) {
    return start({"--every", "0.2", "--apps", chrome, "--profiles", profiles});
  }

  // The next line the agent prints, decoded; null when none comes in time.
  static Json next(test::AgentProcess& agent, std::chrono::milliseconds limit = 3s) {
    auto line = agent.readLine(limit);
    return line ? Json::parse(*line) : Json();
  }

  static void end(test::AgentProcess& agent) {
    agent.closeInput();
    EXPECT_EQ(agent.wait(5s), 0);
    EXPECT_EQ(agent.errors(), "");
  }
};

TEST_F(ServeProfiles, AnArmedOwnPageIsPrintedOnceThenRestsUntilTheHostAsksAgain) {
  show("linkedin_own_profile.json", "own");
  auto agent = serve("linkedin,x");
  EXPECT_TRUE(agent->linesFor(1000ms).empty());  // not armed: no chat allowed, no profile wanted
  EXPECT_EQ(readsOf("own"), 0);

  agent->write(armLinkedIn);
  const Json line = next(*agent);
  ASSERT_EQ(line["kind"], "profile") << line;
  EXPECT_EQ(line["bundle_id"], chrome);
  EXPECT_EQ(line["profile"]["handle"], "sample-slug");
  EXPECT_EQ(line["profile"]["view"], "profile");
  EXPECT_TRUE(line["profile"]["health"]["readMs"].is_number_integer());

  // Read again while fresh, then settled: nothing more is printed, and once
  // the page rests it is not walked at all.
  EXPECT_TRUE(agent->linesFor(2500ms).empty());
  const int settled = readsOf("own");
  EXPECT_TRUE(agent->linesFor(1200ms).empty());
  EXPECT_EQ(readsOf("own"), settled);

  // The host asks again: the page is read and printed anew.
  agent->write(armLinkedIn);
  const Json again = next(*agent);
  EXPECT_EQ(again["kind"], "profile");
  EXPECT_GT(readsOf("own"), settled);
  end(*agent);
}

TEST_F(ServeProfiles, AnotherMembersPageGivesAStatusWithoutBeingRead) {
  show("linkedin_other_profile.json", "other");
  auto agent = serve("linkedin");
  agent->write(armLinkedIn);
  const auto line = agent->readLine(3s);
  ASSERT_TRUE(line);
  EXPECT_EQ(Json::parse(*line)["profile_status"], Json::parse(R"({"own":false,"site":"linkedin","view":"profile"})"));
  EXPECT_EQ(line->find("other-person"), std::string::npos);
  // The same status is told again at most every five seconds.
  const auto again = agent->linesFor(1500ms);
  EXPECT_TRUE(again.empty()) << again.front();
  EXPECT_EQ(readsOf("other"), 0);
  end(*agent);
}

TEST_F(ServeProfiles, XOwnPageIsReadAndAnotherHandleOnlyTold) {
  show("x_own_profile.json", "own");
  show("x_other_profile.json", "other");
  auto agent = serve("x");
  agent->write(R"({"arm":{"x":{}},"own":{"x":"sample_handle"}})"
               "\n");
  std::map<std::string, Json> lines;
  for (int i = 0; i < 2; ++i) {
    const Json line = next(*agent);
    ASSERT_TRUE(line.is_object());
    lines[line["kind"]] = line;
  }
  EXPECT_EQ(lines["profile"]["profile"]["handle"], "sample_handle");
  EXPECT_EQ(lines["profile_status"]["profile_status"], Json::parse(R"({"own":false,"site":"x","view":"profile"})"));
  // One read: the same instant, in the profile line's finer form.
  EXPECT_EQ(lines["profile"]["at"].get<std::string>().substr(0, 19),
            lines["profile_status"]["at"].get<std::string>().substr(0, 19));
  EXPECT_EQ(lines["profile_status"].dump().find("someone_else"), std::string::npos);
  EXPECT_GT(readsOf("own"), 0);
  EXPECT_EQ(readsOf("other"), 0);
  end(*agent);
}

// Each case shows the user's own LinkedIn page, sends what a host sends, and
// expects the page never to be walked and nothing to be printed.
TEST_F(ServeProfiles, PagesThatMayNotBeReadAreNeverWalked) {
  struct Case {
    const char* name;
    std::string profiles, control, title;
  };
  // A saved own handle lets its pages be read armed or not; these cases
  // have none, or arm another site, or hide the page behind incognito.
  const std::vector<Case> cases = {
      {"not armed", "linkedin", R"({"own":{"x":"sample_handle"}})", ""},
      {"site not named on the command line", "x", armLinkedIn, ""},
      {"another site armed", "linkedin,x", R"({"arm":{"x":{}}})", ""},
      {"arming expired", "linkedin", R"({"arm":{"linkedin":{}},"until":"2001-01-01T00:00:00Z"})", ""},
      {"incognito window", "linkedin", armLinkedIn, "Sam Sample | LinkedIn - Google Chrome (Incognito)"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir_ / "journal");
    app(chrome)["windows"] = Json::array();
    show("linkedin_own_profile.json", "own", c.title);
    auto agent = serve(c.profiles);
    agent->write(c.control + "\n");
    EXPECT_TRUE(agent->linesFor(1500ms).empty()) << c.name;
    EXPECT_EQ(readsOf("own"), 0) << c.name;
    end(*agent);
  }
}

TEST_F(ServeProfiles, AFloodOfRequestsReadsNoFasterThanTheSchedule) {
  show("linkedin_own_profile.json", "own");
  auto agent = serve("linkedin");
  std::string flood;
  for (int i = 0; i < 5000; ++i) flood += armLinkedIn;
  const auto started = std::chrono::steady_clock::now();
  agent->write(flood);
  const auto lines = agent->linesFor(2000ms);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // Every request starts the page afresh, so each read may print; but reads
  // come no faster than the front interval of 0.2 s.
  EXPECT_GE(lines.size(), 1u);
  EXPECT_LE(lines.size(), static_cast<size_t>(seconds / 0.2) + 2);
  end(*agent);
}

}  // namespace
}  // namespace zel
