#include "base/json_fields.h"

namespace zel {

using Kind = JsonFieldProblem::Kind;

std::string_view mustBe(Kind kind) {
  switch (kind) {
    case Kind::missing: return "is missing";
    case Kind::text: return "must be a text";
    case Kind::texts: return "must be a list of texts";
    case Kind::integer: return "must be a 64-bit integer";
    case Kind::boolean: return "must be true or false";
    case Kind::object: return "must be an object";
    case Kind::list: return "must be a list";
    case Kind::date: return "must be an ISO 8601 date";
  }
  return "is wrong";
}

void JsonFields::fail(const char* key, Kind kind) { throw JsonFieldProblem{key, kind}; }

const Json* JsonFields::find(const char* key) const {
  auto it = j_.find(key);
  return it == j_.end() || it->is_null() ? nullptr : &*it;
}

const Json& JsonFields::need(const char* key) const {
  const Json* v = find(key);
  if (!v) fail(key, Kind::missing);
  return *v;
}

// Each member's check, on a value that is there; the required and the
// optional forms share it, and an optional member is looked up once.
namespace {

std::string textOf(const Json& v, const char* key) {
  if (!v.is_string()) JsonFields::fail(key, Kind::text);
  return v.get<std::string>();
}

int64_t integerOf(const Json& v, const char* key) {
  if (!v.is_number_integer() || (v.is_number_unsigned() && v.get<uint64_t>() > uint64_t(INT64_MAX)))
    JsonFields::fail(key, Kind::integer);
  return v.get<int64_t>();
}

bool booleanOf(const Json& v, const char* key) {
  if (!v.is_boolean()) JsonFields::fail(key, Kind::boolean);
  return v.get<bool>();
}

std::vector<std::string> textsOf(const Json& v, const char* key) {
  if (!v.is_array()) JsonFields::fail(key, Kind::texts);
  std::vector<std::string> out;
  out.reserve(v.size());
  for (const Json& item : v) {
    if (!item.is_string()) JsonFields::fail(key, Kind::texts);
    out.push_back(item.get<std::string>());
  }
  return out;
}

const Json& objectOf(const Json& v, const char* key) {
  if (!v.is_object()) JsonFields::fail(key, Kind::object);
  return v;
}

}  // namespace

std::string JsonFields::text(const char* key) const { return textOf(need(key), key); }
std::optional<std::string> JsonFields::optionalText(const char* key) const {
  const Json* v = find(key);
  return v ? std::optional(textOf(*v, key)) : std::nullopt;
}

int64_t JsonFields::integer(const char* key) const { return integerOf(need(key), key); }
std::optional<int64_t> JsonFields::optionalInteger(const char* key) const {
  const Json* v = find(key);
  return v ? std::optional(integerOf(*v, key)) : std::nullopt;
}

bool JsonFields::boolean(const char* key) const { return booleanOf(need(key), key); }
std::optional<bool> JsonFields::optionalBoolean(const char* key) const {
  const Json* v = find(key);
  return v ? std::optional(booleanOf(*v, key)) : std::nullopt;
}

std::vector<std::string> JsonFields::texts(const char* key) const { return textsOf(need(key), key); }
std::optional<std::vector<std::string>> JsonFields::optionalTexts(const char* key) const {
  const Json* v = find(key);
  return v ? std::optional(textsOf(*v, key)) : std::nullopt;
}

const Json& JsonFields::object(const char* key) const { return objectOf(need(key), key); }
const Json* JsonFields::optionalObject(const char* key) const {
  const Json* v = find(key);
  return v ? &objectOf(*v, key) : nullptr;
}

const Json& JsonFields::list(const char* key) const {
  const Json& v = need(key);
  if (!v.is_array()) fail(key, Kind::list);
  return v;
}

Date JsonFields::date(const char* key) const {
  const Json& v = need(key);
  auto d = v.is_string() ? parseISO8601(v.get<std::string>()) : std::nullopt;
  if (!d) fail(key, Kind::date);
  return *d;
}

}  // namespace zel
