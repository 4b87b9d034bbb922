#pragma once
// Writing JSON the way every line this project prints is written: compact, keys
// sorted at every level (nlohmann's objects are ordered maps), "/" left as it is,
// and text that is not valid UTF-8 refused instead of patched.

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "capture/date.h"

namespace zel {

using Json = nlohmann::json;

// Thrown while building a JSON value for a record that has no JSON text, such
// as a date outside the years 1...9999. Caught by the line encoders below; it
// never leaves the library.
struct UnencodableValue : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The date as a JSON string in the given form; throws UnencodableValue.
Json dateJSON(Date d, DateForm form);

// The compact text of a value, or nullopt when it cannot be encoded (invalid
// UTF-8 in a text): the caller drops the line.
std::optional<std::string> encodeJSON(const Json& value);

// Appends the JSON string literal of `text`; throws UnencodableValue on
// invalid UTF-8.
void appendJSONString(std::string& out, std::string_view text);

}  // namespace zel
