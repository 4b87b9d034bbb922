#include <gtest/gtest.h>

#include <functional>

#include "base/json_fields.h"

namespace zel {
namespace {

using Kind = JsonFieldProblem::Kind;

// What one read of member "k" gives: its value as text, or the problem.
template <class Read>
std::string outcome(const char* object, Read&& read) {
  const Json j = Json::parse(object);
  try {
    return read(JsonFields(j));
  } catch (const JsonFieldProblem& p) {
    return p.key + " " + std::string(mustBe(p.kind));
  }
}

TEST(JsonFields, EachMemberIsReadAsTheTypeItMustHaveAndNullIsAbsent) {
  const auto text = [](const JsonFields& f) { return f.text("k"); };
  const auto optionalText = [](const JsonFields& f) { return f.optionalText("k").value_or("(absent)"); };
  const auto integer = [](const JsonFields& f) { return std::to_string(f.integer("k")); };
  const auto texts = [](const JsonFields& f) {
    std::string out;
    for (const auto& t : f.optionalTexts("k").value_or(std::vector<std::string>{"(absent)"})) out += t + ";";
    return out;
  };
  const auto date = [](const JsonFields& f) { return std::to_string(f.date("k").sinceReference); };
  struct Case {
    const char* object;
    std::function<std::string(const JsonFields&)> read;
    std::string expected;
  };
  const Case cases[] = {
      {R"({"k":"a"})", text, "a"},
      {R"({})", text, "k is missing"},
      {R"({"k":null})", text, "k is missing"},
      {R"({"k":1})", text, "k must be a text"},
      {R"({"k":null})", optionalText, "(absent)"},
      {R"({"k":false})", optionalText, "k must be a text"},
      {R"({"k":-3})", integer, "-3"},
      {R"({"k":18446744073709551615})", integer, "k must be a 64-bit integer"},
      {R"({"k":1.5})", integer, "k must be a 64-bit integer"},
      {R"({"k":["a","b"]})", texts, "a;b;"},
      {R"({"k":null})", texts, "(absent);"},
      {R"({"k":["a",1]})", texts, "k must be a list of texts"},
      {R"({"k":"a"})", texts, "k must be a list of texts"},
      {R"({"k":"2001-01-01T00:00:10Z"})", date, "10.000000"},
      {R"({"k":"yesterday"})", date, "k must be an ISO 8601 date"},
  };
  for (const auto& c : cases) EXPECT_EQ(outcome(c.object, c.read), c.expected) << c.object;
}

}  // namespace
}  // namespace zel
