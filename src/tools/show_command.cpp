#include "tools/show_command.h"

#include <nlohmann/json.hpp>

#include "browsers/known_app.h"

namespace zel::tools {

namespace {

using Json = nlohmann::json;

std::string appName(const std::string& bundleID) {
  const browsers::KnownApp app = browsers::KnownApp::named(bundleID, System::macOS);
  return app.row ? app.row->name : bundleID;
}

std::string text(const Json& j, const char* key, const std::string& otherwise = "") {
  auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : otherwise;
}

std::string plural(size_t n, const char* one) { return std::to_string(n) + " " + one + (n == 1 ? "" : "s"); }

}  // namespace

std::string shortened(std::string_view text, size_t width) {
  std::string flat;
  for (char c : text) flat += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
  if (flat.size() <= width) return flat;
  size_t cut = flat.rfind(' ', width);
  if (cut == std::string::npos || cut < width / 2) {
    cut = width;  // one long word: cut inside it, on a character boundary
    while (cut > 0 && (static_cast<unsigned char>(flat[cut]) & 0xC0) == 0x80) --cut;
  }
  while (cut > 0 && flat[cut - 1] == ' ') --cut;
  return flat.substr(0, cut) + "\u2026";
}

std::string shownLine(std::string_view line, size_t width) {
  const Json j = Json::parse(line.begin(), line.end(), nullptr, false);
  if (j.is_discarded() || !j.is_object()) return std::string(line) + "\n";
  const std::string app = appName(text(j, "bundle_id", "?"));
  const std::string kind = text(j, "kind");
  std::string out;
  if (kind == "profile" && j.contains("profile") && j["profile"].is_object()) {
    const Json& p = j["profile"];
    out = app + ": the user's own " + text(p, "site") + " profile, " + text(p, "handle") + " (" + text(p, "view") + ")\n";
    if (p.contains("sections") && p["sections"].is_array())
      for (const Json& s : p["sections"])
        if (s.is_object()) out += "    " + shortened(text(s, "kind") + ": " + text(s, "text"), width) + "\n";
    return out;
  }
  if (kind == "profile_status" && j.contains("profile_status") && j["profile_status"].is_object()) {
    const Json& s = j["profile_status"];
    return app + ": somebody else's " + text(s, "site") + " page (" + text(s, "view") + "), not read\n";
  }
  if (!j.contains("chats") || !j["chats"].is_array()) return std::string(line) + "\n";
  const std::string read = text(j, "read");
  if (j["chats"].empty()) return app + ": " + (read == "ok" ? "no chat showing" : "not read (" + read + ")") + "\n";
  for (const Json& c : j["chats"]) {
    if (!c.is_object()) continue;
    const size_t turns = c.contains("turns") && c["turns"].is_array() ? c["turns"].size() : 0;
    out += app + ": \u201c" + text(c, "title", "untitled") + "\u201d (" + text(c, "source") + ", " + plural(turns, "turn");
    if (c.contains("totalTurns") && c["totalTurns"].is_number_integer())
      out += " of " + std::to_string(c["totalTurns"].get<int64_t>());
    out += ")\n";
    if (turns == 0) continue;
    for (const Json& t : c["turns"])
      if (t.is_object()) {
        const std::string who = text(t, "role") + ": ";
        out += "    " + who + shortened(text(t, "text"), width > who.size() ? width - who.size() : 1) + "\n";
      }
  }
  return out;
}

}  // namespace zel::tools
