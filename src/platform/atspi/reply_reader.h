#pragma once
// The replies of applications, read in place from the message sd-bus
// received: each value once, in order, nothing built on the way but what is
// kept. A reply of another shape than the one asked for reads as nothing;
// texts are cut at `limits.busText`, lists at their caps.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/atspi/bus.h"
#include "platform/atspi/object_mirror.h"

namespace zel::platform::atspi {

// The properties of an object the backend asks for, from an a{sv}: each
// entry once, in whatever order the answer gives them; one of another type
// is left out.
struct ObjectProperties {
  std::optional<std::string> name, description;
  std::optional<int32_t> childCount;
  std::optional<std::map<std::string, std::string>> attributes;
};

struct ReplyReader {
  // Where a listed child lives: a child in another process (an
  // out-of-process frame) keeps that process's name; one of the application
  // `busName` itself, an empty one.
  static ChildReference reference(const char* name, const char* path, const std::string& busName);

  // "u"
  static std::optional<uint32_t> word(sd_bus_message* m);
  // "s"
  static std::optional<std::string> string(sd_bus_message* m);
  // "v" holding an s
  static std::optional<std::string> boxedString(sd_bus_message* m);
  // "a{ss}", at most `limits.busAttributes` entries
  static std::optional<std::map<std::string, std::string>> stringMap(sd_bus_message* m);
  // "a(so)", a child list: at most `limits.busListItems`; a child of the
  // application `busName` itself has an empty bus name
  static std::optional<std::vector<ChildReference>> references(sd_bus_message* m, const std::string& busName);
  // "a{sv}"
  static std::optional<ObjectProperties> properties(sd_bus_message* m);
  // "au"
  static std::optional<std::vector<uint32_t>> words(sd_bus_message* m);
  // "a((so)a{sv})", a subtree in pre-order: `each` is told every entry in
  // turn. False when the reply has another shape or more than `most`
  // entries, or `each` said false.
  using TreeEntry = std::function<bool(const char* busName, const char* path, ObjectProperties&& properties)>;
  static bool subtree(sd_bus_message* m, size_t most, const TreeEntry& each);
};

}  // namespace zel::platform::atspi
