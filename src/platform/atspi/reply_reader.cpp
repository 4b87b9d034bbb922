#include "platform/atspi/reply_reader.h"

#include <string_view>

#include "base/limits.h"
#include "platform/atspi/translation.h"

namespace zel::platform::atspi {

namespace {

std::string text(const char* s) { return boundedText(s ? s : "", limits.busText); }

// The entries of an a{ss} the message stands at, into `out`.
bool readStringMap(sd_bus_message* m, std::map<std::string, std::string>& out) {
  if (sd_bus_message_enter_container(m, 'a', "{ss}") <= 0) return false;
  int r;
  while ((r = sd_bus_message_enter_container(m, 'e', "ss")) > 0) {
    const char* key = nullptr;
    const char* value = nullptr;
    if (sd_bus_message_read_basic(m, 's', &key) <= 0 || sd_bus_message_read_basic(m, 's', &value) <= 0 ||
        sd_bus_message_exit_container(m) < 0)
      return false;
    if (out.size() < limits.busAttributes) out.emplace(text(key), text(value));
  }
  return r == 0 && sd_bus_message_exit_container(m) >= 0;
}

// The a{sv} the message stands at.
bool readProperties(sd_bus_message* m, ObjectProperties& out) {
  if (sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) return false;
  int r;
  while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
    const char* key = nullptr;
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_read_basic(m, 's', &key) <= 0 || sd_bus_message_peek_type(m, &type, &contents) <= 0 ||
        type != 'v' || !contents)
      return false;
    const std::string_view which = key, inside = contents;
    const bool isText = inside == "s";
    if ((which == "Name" || which == "Description") && isText) {
      const char* s = nullptr;
      if (sd_bus_message_enter_container(m, 'v', "s") <= 0 || sd_bus_message_read_basic(m, 's', &s) <= 0 ||
          sd_bus_message_exit_container(m) < 0)
        return false;
      (which == "Name" ? out.name : out.description) = text(s);
    } else if (which == "ChildCount" && inside == "i") {
      int32_t n = 0;
      if (sd_bus_message_enter_container(m, 'v', "i") <= 0 || sd_bus_message_read_basic(m, 'i', &n) <= 0 ||
          sd_bus_message_exit_container(m) < 0)
        return false;
      out.childCount = n;
    } else if (which == "Attributes" && inside == "a{ss}") {
      if (sd_bus_message_enter_container(m, 'v', "a{ss}") <= 0 || !readStringMap(m, out.attributes.emplace()) ||
          sd_bus_message_exit_container(m) < 0)
        return false;
    } else if (sd_bus_message_skip(m, "v") < 0) {
      return false;
    }
    if (sd_bus_message_exit_container(m) < 0) return false;
  }
  return r == 0 && sd_bus_message_exit_container(m) >= 0;
}

template <class T>
std::optional<T> basic(sd_bus_message* m, char type, const char* signature) {
  if (!m || sd_bus_message_has_signature(m, signature) <= 0) return std::nullopt;
  T value{};
  if (sd_bus_message_read_basic(m, type, &value) <= 0) return std::nullopt;
  return value;
}

}  // namespace

std::optional<uint32_t> ReplyReader::word(sd_bus_message* m) { return basic<uint32_t>(m, 'u', "u"); }

std::optional<std::string> ReplyReader::string(sd_bus_message* m) {
  const auto s = basic<const char*>(m, 's', "s");
  if (!s) return std::nullopt;
  return text(*s);
}

std::optional<std::string> ReplyReader::boxedString(sd_bus_message* m) {
  if (!m || sd_bus_message_has_signature(m, "v") <= 0) return std::nullopt;
  const char* s = nullptr;
  if (sd_bus_message_enter_container(m, 'v', "s") <= 0 || sd_bus_message_read_basic(m, 's', &s) <= 0)
    return std::nullopt;
  return text(s);
}

std::optional<std::map<std::string, std::string>> ReplyReader::stringMap(sd_bus_message* m) {
  if (!m || sd_bus_message_has_signature(m, "a{ss}") <= 0) return std::nullopt;
  std::map<std::string, std::string> out;
  if (!readStringMap(m, out)) return std::nullopt;
  return out;
}

ChildReference ReplyReader::reference(const char* name, const char* path, const std::string& busName) {
  return {*name && busName != name ? name : "", path};
}

std::optional<std::vector<ChildReference>> ReplyReader::references(sd_bus_message* m, const std::string& busName) {
  if (!m || sd_bus_message_has_signature(m, "a(so)") <= 0) return std::nullopt;
  if (sd_bus_message_enter_container(m, 'a', "(so)") <= 0) return std::nullopt;
  std::vector<ChildReference> out;
  int r = 0;
  while (out.size() < limits.busListItems && (r = sd_bus_message_enter_container(m, 'r', "so")) > 0) {
    const char* name = nullptr;
    const char* path = nullptr;
    if (sd_bus_message_read_basic(m, 's', &name) <= 0 || sd_bus_message_read_basic(m, 'o', &path) <= 0 ||
        sd_bus_message_exit_container(m) < 0)
      return std::nullopt;
    out.push_back(reference(name, path, busName));
  }
  if (out.size() < limits.busListItems && r < 0) return std::nullopt;
  return out;
}

std::optional<ObjectProperties> ReplyReader::properties(sd_bus_message* m) {
  if (!m || sd_bus_message_has_signature(m, "a{sv}") <= 0) return std::nullopt;
  ObjectProperties out;
  if (!readProperties(m, out)) return std::nullopt;
  return out;
}

std::optional<std::vector<uint32_t>> ReplyReader::words(sd_bus_message* m) {
  if (!m || sd_bus_message_has_signature(m, "au") <= 0) return std::nullopt;
  const void* data = nullptr;
  size_t size = 0;
  if (sd_bus_message_read_array(m, 'u', &data, &size) < 0) return std::nullopt;
  const auto* first = static_cast<const uint32_t*>(data);
  return std::vector<uint32_t>(first, first + size / sizeof(uint32_t));
}

bool ReplyReader::subtree(sd_bus_message* m, size_t most, const TreeEntry& each) {
  if (!m || sd_bus_message_has_signature(m, "a((so)a{sv})") <= 0) return false;
  if (sd_bus_message_enter_container(m, 'a', "((so)a{sv})") <= 0) return false;
  size_t n = 0;
  int r;
  while ((r = sd_bus_message_enter_container(m, 'r', "(so)a{sv}")) > 0) {
    if (++n > most) return false;
    const char* name = nullptr;
    const char* path = nullptr;
    ObjectProperties properties;
    if (sd_bus_message_enter_container(m, 'r', "so") <= 0 || sd_bus_message_read_basic(m, 's', &name) <= 0 ||
        sd_bus_message_read_basic(m, 'o', &path) <= 0 || sd_bus_message_exit_container(m) < 0 ||
        !readProperties(m, properties) || sd_bus_message_exit_container(m) < 0)
      return false;
    if (!each(name, path, std::move(properties))) return false;
  }
  return r == 0;
}

}  // namespace zel::platform::atspi
