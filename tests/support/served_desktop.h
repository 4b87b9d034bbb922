#pragma once
// A desktop file in a folder of the test's own, and zel-ax serve run on it
// as a host would run it: tests change the desktop while the agent runs and
// read back the simulated desktop's journal.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/agent_process.h"
#include "support/temp_dir.h"

namespace zel::test {

class ServedDesktop : public ::testing::Test {
 protected:
  using Json = nlohmann::json;

  // Starts from the demo desktop.
  void SetUp() override;

  // Writes the desktop beside the watched file and renames it over, as a
  // desktop changes at once.
  void write();
  Json& app(const std::string& bundleID);
  std::unique_ptr<AgentProcess> start(std::vector<std::string> args);
  // The simulated desktop's journal so far.
  std::vector<Json> journal() const;
  // How often elements watched under `label` were read so far.
  int readsOf(const std::string& label) const;

  // The lines that arrive within `window`, by target.
  static std::map<std::string, std::vector<Json>> byTarget(AgentProcess& agent, std::chrono::milliseconds window);

  TempDir dir_;
  Json desktop_;
};

// A recorded window of tests/fixtures.
nlohmann::json fixture(const std::string& name);

}  // namespace zel::test
