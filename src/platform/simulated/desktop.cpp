#include "platform/simulated/desktop.h"

#include <fstream>
#include <set>
#include <sstream>

#include "capture/date.h"

namespace zel::platform {

namespace {

using nlohmann::json;
using R = Result<Desktop>;

std::optional<std::string> decodeApp(const json& j, DesktopApp& app) {
  if (!j.is_object()) return "must be an object";
  auto bundle = j.find("bundleID");
  if (bundle == j.end() || !bundle->is_string()) return "\"bundleID\" must be a text";
  app.bundleID = bundle->get<std::string>();
  auto pid = j.find("pid");
  if (pid == j.end() || !pid->is_number_integer() || pid->get<int64_t>() < INT32_MIN ||
      pid->get<int64_t>() > INT32_MAX || (pid->is_number_unsigned() && pid->get<uint64_t>() > INT32_MAX))
    return "\"pid\" must be a 32-bit integer";
  app.pid = static_cast<Pid>(pid->get<int64_t>());
  if (auto it = j.find("launched"); it != j.end()) {
    auto date = it->is_string() ? parseISO8601(it->get<std::string>()) : std::nullopt;
    if (!date) return "\"launched\" must be an ISO 8601 date";
    app.launched = date->sinceReference;
  }
  if (auto it = j.find("signature"); it != j.end()) {
    const std::string s = it->is_string() ? it->get<std::string>() : "";
    if (s == "vendors") app.signature = SignatureVerdict::vendors;
    else if (s == "refused") app.signature = SignatureVerdict::refused;
    else if (s == "changedOnDisk") app.signature = SignatureVerdict::changedOnDisk;
    else return "\"signature\" must be \"vendors\", \"refused\" or \"changedOnDisk\"";
  }
  if (auto it = j.find("languages"); it != j.end()) app.languages = *it;
  if (auto it = j.find("menuBar"); it != j.end()) {
    if (!it->is_array()) return "\"menuBar\" must be a list of texts";
    std::vector<std::string> titles;
    for (const json& t : *it) {
      if (!t.is_string()) return "\"menuBar\" must be a list of texts";
      titles.push_back(t.get<std::string>());
    }
    app.menuBar = std::move(titles);
  }
  return std::nullopt;
}

}  // namespace

Result<Desktop> Desktop::decode(std::string_view text) {
  json j;
  try {
    j = json::parse(text);
  } catch (const json::exception& e) {
    std::string what = e.what();
    if (auto close = what.find("] "); close != std::string::npos) what.erase(0, close + 2);
    return R::failure(what);
  }
  if (!j.is_object()) return R::failure("the desktop must be a JSON object");

  Desktop d;
  if (auto it = j.find("trusted"); it != j.end()) {
    if (!it->is_boolean()) return R::failure("\"trusted\" must be true or false");
    d.trusted = it->get<bool>();
  }
  if (auto it = j.find("front"); it != j.end() && !it->is_null()) {
    if (!it->is_string()) return R::failure("\"front\" must be a text or null");
    d.front = it->get<std::string>();
  }
  if (auto it = j.find("idleSeconds"); it != j.end()) {
    if (!it->is_number()) return R::failure("\"idleSeconds\" must be a number");
    d.idleSeconds = it->get<double>();
  }
  if (auto it = j.find("session"); it != j.end() && !it->is_null()) {
    if (!it->is_object()) return R::failure("\"session\" must be an object or null");
    auto flag = it->find("CGSSessionScreenIsLocked");
    d.screenLockFlag = flag != it->end() && flag->is_boolean() && flag->get<bool>();
  }
  if (auto it = j.find("displays"); it != j.end()) {
    if (!it->is_array()) return R::failure("\"displays\" must be a list");
    for (const json& display : *it) {
      auto asleep = display.is_object() ? display.find("asleep") : display.end();
      if (!display.is_object() || asleep == display.end() || !asleep->is_boolean())
        return R::failure("each display must be {\"asleep\": true or false}");
      d.displaysAsleep.push_back(asleep->get<bool>());
    }
  }
  if (auto it = j.find("apps"); it != j.end()) {
    if (!it->is_array()) return R::failure("\"apps\" must be a list");
    std::set<Pid> pids;
    for (size_t i = 0; i < it->size(); ++i) {
      DesktopApp app;
      if (auto problem = decodeApp((*it)[i], app)) return R::failure("app " + std::to_string(i) + ": " + *problem);
      if (!pids.insert(app.pid).second)
        return R::failure("app " + std::to_string(i) + ": pid " + std::to_string(app.pid) + " is used twice");
      d.apps.push_back(std::move(app));
    }
  }
  return d;
}

Result<Desktop> Desktop::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return R::failure(path + ": cannot be read");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return R::failure(path + ": cannot be read");
  auto d = decode(bytes.str());
  if (!d) return R::failure(path + ": " + d.error());
  return d;
}

}  // namespace zel::platform
