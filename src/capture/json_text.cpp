#include "capture/json_text.h"

namespace zel {

Json dateJSON(Date d, DateForm form) {
  auto text = isoText(d, form);
  if (!text) throw UnencodableValue("date has no ISO 8601 form");
  return Json(std::move(*text));
}

std::optional<std::string> encodeJSON(const Json& value) {
  try {
    return value.dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

void appendJSONString(std::string& out, std::string_view text) {
  // Most texts are plain printable ASCII with nothing to escape: those are
  // copied as they are. Everything else goes through the JSON library, which
  // escapes and checks UTF-8.
  bool plain = true;
  for (unsigned char c : text)
    if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') {
      plain = false;
      break;
    }
  if (plain) {
    out += '"';
    out += text;
    out += '"';
    return;
  }
  try {
    out += Json(text).dump();
  } catch (const nlohmann::json::exception&) {
    throw UnencodableValue("text is not valid UTF-8");
  }
}

}  // namespace zel
