#pragma once
// Reading the members of one JSON object by name, each as the type it must
// have: the one way this project reads JSON it did not write itself (browser
// rows, profile records, conversations, control lines, desktop files; trees
// stream through their own SAX reader for depth and speed).
//
// A member that is missing or null is absent. One that is present with
// another type is a problem, thrown as `JsonFieldProblem` naming the member
// and what it must be; each reader catches it and words it for its own
// messages (`mustBe` gives the common words).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/date.h"
#include "base/json_text.h"

namespace zel {

struct JsonFieldProblem {
  enum class Kind { missing, text, texts, integer, boolean, object, list, date };
  std::string key;
  Kind kind;
};

// "is missing", "must be a text", "must be a list of texts", ...
std::string_view mustBe(JsonFieldProblem::Kind kind);

class JsonFields {
 public:
  // `object` must be a JSON object (callers say what else it was).
  explicit JsonFields(const Json& object) : j_(object) {}

  const Json* find(const char* key) const;
  const Json& need(const char* key) const;

  std::string text(const char* key) const;
  std::optional<std::string> optionalText(const char* key) const;
  int64_t integer(const char* key) const;
  std::optional<int64_t> optionalInteger(const char* key) const;
  bool boolean(const char* key) const;
  std::optional<bool> optionalBoolean(const char* key) const;
  std::vector<std::string> texts(const char* key) const;
  std::optional<std::vector<std::string>> optionalTexts(const char* key) const;
  const Json& object(const char* key) const;
  const Json* optionalObject(const char* key) const;
  const Json& list(const char* key) const;
  // An ISO 8601 date-time text.
  Date date(const char* key) const;

  [[noreturn]] static void fail(const char* key, JsonFieldProblem::Kind kind);

 private:
  const Json& j_;
};

}  // namespace zel
