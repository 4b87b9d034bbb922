#pragma once
// Writing JSON the way every line this project prints is written: compact,
// keys sorted at every level, "/" left as it is, text that is not valid UTF-8
// refused rather than patched, and dates in one of the two date forms.
//
// Output lines can carry hundreds of kilobytes of chat text many times a
// minute, so they are written straight into a string rather than built as a
// JSON value first. Reading JSON goes through nlohmann's parser.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/date.h"

namespace zel {

using Json = nlohmann::json;

// Thrown while writing a value that has no JSON text (invalid UTF-8, a date
// outside the years 1...9999). Line encoders catch it and drop the line; it
// never leaves the library.
struct UnencodableValue : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Appends `text` as a JSON string literal, escaped exactly as nlohmann's
// serializer escapes it; throws UnencodableValue on invalid UTF-8.
void appendJSONString(std::string& out, std::string_view text);

// A streaming writer. Callers name keys in ascending byte order; debug builds
// check it.
class JSONWriter {
 public:
  explicit JSONWriter(std::string& out) : out_(out) {}

  JSONWriter& beginObject();
  JSONWriter& endObject();
  JSONWriter& beginArray();
  JSONWriter& endArray();
  JSONWriter& key(std::string_view k);

  JSONWriter& string(std::string_view s);
  JSONWriter& integer(int64_t v);
  JSONWriter& boolean(bool v);
  JSONWriter& date(Date d, DateForm form);
  JSONWriter& strings(const std::vector<std::string>& list);

  // Members written only when present.
  JSONWriter& field(std::string_view k, const std::optional<std::string>& v);
  JSONWriter& field(std::string_view k, const std::optional<int64_t>& v);
  JSONWriter& member(std::string_view k, std::string_view v) { return key(k).string(v); }

 private:
  void separate();
  std::string& out_;
  // Per open container: whether a value was written, and the last key.
  struct Level {
    bool any = false;
    std::string_view lastKey;
  };
  std::vector<Level> levels_;
  bool afterKey_ = false;
};

// Where a node sits in a tree, for error messages: `root` then
// ".children[i]" for each step down. A path deeper than a few steps names its
// first steps and its depth, not every step: trees from outside may nest
// thousands of levels.
std::string childrenPath(std::string root, const std::vector<size_t>& steps);

// Runs `write` on a fresh string (of `expectedBytes` capacity); nullopt when
// something in it cannot be encoded, so that the caller drops the line.
template <class Write>
std::optional<std::string> encodeLine(Write&& write, size_t expectedBytes = 0) {
  std::string out;
  out.reserve(expectedBytes);
  try {
    JSONWriter w(out);
    write(w);
  } catch (const UnencodableValue&) {
    return std::nullopt;
  }
  return out;
}

}  // namespace zel
