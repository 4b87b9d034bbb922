#include "support/served_desktop.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace zel::test {

namespace fs = std::filesystem;

void ServedDesktop::SetUp() {
  fs::create_directories(dir_ / "home");
  std::ifstream in(std::string(ZEL_EXAMPLES) + "/desktop.json");
  desktop_ = Json::parse(in);
  write();
}

void ServedDesktop::write() {
  const fs::path next = dir_ / "desktop.json.next";
  std::ofstream(next) << desktop_.dump();
  fs::rename(next, dir_ / "desktop.json");
}

nlohmann::json& ServedDesktop::app(const std::string& bundleID) {
  for (Json& a : desktop_["apps"])
    if (a["bundleID"] == bundleID) return a;
  throw std::runtime_error("no app " + bundleID);
}

std::unique_ptr<AgentProcess> ServedDesktop::start(std::vector<std::string> args) {
  args.insert(args.begin(), "serve");
  return std::make_unique<AgentProcess>(ZEL_AX_BINARY, args,
                                        std::vector<std::pair<std::string, std::string>>{
                                            {"ZEL_AX_DESKTOP", (dir_ / "desktop.json").string()},
                                            {"ZEL_AX_JOURNAL", (dir_ / "journal").string()},
                                            {"HOME", (dir_ / "home").string()},
                                            {"CODEX_HOME", (dir_ / "codex").string()}});
}

std::vector<nlohmann::json> ServedDesktop::journal() const {
  std::vector<Json> events;
  std::ifstream in(dir_ / "journal");
  for (std::string line; std::getline(in, line);) events.push_back(Json::parse(line));
  return events;
}

int ServedDesktop::readsOf(const std::string& label) const {
  int reads = 0;
  for (const auto& e : journal())
    if (e["event"] == "read" && e["label"] == label) ++reads;
  return reads;
}

std::map<std::string, std::vector<nlohmann::json>> ServedDesktop::byTarget(AgentProcess& agent,
                                                                          std::chrono::milliseconds window) {
  std::map<std::string, std::vector<Json>> lines;
  for (const auto& line : agent.linesFor(window)) {
    Json j = Json::parse(line);
    lines[j["bundle_id"].get<std::string>()].push_back(j);
  }
  return lines;
}

nlohmann::json fixture(const std::string& name) {
  std::ifstream in(std::string(ZEL_FIXTURES) + "/" + name);
  return nlohmann::json::parse(in);
}

}  // namespace zel::test
