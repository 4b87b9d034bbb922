#include "base/json_document.h"

#include <new>

namespace zel {

namespace {

using nlohmann::json;

// Frees a value from its leaves up: each value freed holds nothing any more,
// so the library frees it without the list it would allocate. Recursive, as
// deep as the value is nested (bounded when it is read).
void takeApart(json& j) noexcept {
  if (j.is_array()) {
    auto& items = *j.get_ptr<json::array_t*>();
    while (!items.empty()) {
      takeApart(items.back());
      items.pop_back();
    }
  } else if (j.is_object()) {
    auto& members = *j.get_ptr<json::object_t*>();
    while (!members.empty()) {
      const auto last = std::prev(members.end());
      takeApart(last->second);
      members.erase(last);
    }
  }
}

// The library's own reader into a value, with nesting counted.
class BoundedReader {
 public:
  BoundedReader(json& into, size_t maxNesting) : dom_(into, true), maxNesting_(maxNesting) {}

  bool tooDeep() const { return tooDeep_; }

  bool null() { return dom_.null(); }
  bool boolean(bool v) { return dom_.boolean(v); }
  bool number_integer(json::number_integer_t v) { return dom_.number_integer(v); }
  bool number_unsigned(json::number_unsigned_t v) { return dom_.number_unsigned(v); }
  bool number_float(json::number_float_t v, const json::string_t& s) { return dom_.number_float(v, s); }
  bool string(json::string_t& v) { return dom_.string(v); }
  bool binary(json::binary_t& v) { return dom_.binary(v); }
  bool key(json::string_t& v) { return dom_.key(v); }
  bool start_object(std::size_t n) { return deeper() && dom_.start_object(n); }
  bool end_object() {
    --depth_;
    return dom_.end_object();
  }
  bool start_array(std::size_t n) { return deeper() && dom_.start_array(n); }
  bool end_array() {
    --depth_;
    return dom_.end_array();
  }
  bool parse_error(std::size_t at, const std::string& token, const nlohmann::detail::exception& e) {
    return dom_.parse_error(at, token, e);
  }

 private:
  bool deeper() {
    if (++depth_ <= maxNesting_) return true;
    tooDeep_ = true;
    return false;
  }

  nlohmann::detail::json_sax_dom_parser<json> dom_;
  size_t maxNesting_;
  size_t depth_ = 0;
  bool tooDeep_ = false;
};

}  // namespace

JsonDocument::~JsonDocument() {
  if (std::uncaught_exceptions() > exceptionsAtStart_) takeApart(value_);
}

std::optional<std::string> JsonDocument::read(std::string_view text, size_t maxNesting) {
  takeApart(value_);
  value_ = nullptr;
  BoundedReader reader(value_, maxNesting);
  try {
    if (json::sax_parse(text.begin(), text.end(), &reader)) return std::nullopt;
  } catch (const json::exception& e) {
    std::string what = e.what();
    // The parser's own words, without its internal error tag.
    if (auto close = what.find("] "); close != std::string::npos) what.erase(0, close + 2);
    return what;
  } catch (const std::bad_alloc&) {
    takeApart(value_);
    throw;
  }
  if (reader.tooDeep()) return "arrays and objects are nested deeper than " + std::to_string(maxNesting) + " levels";
  return "the text is not one JSON value";
}

}  // namespace zel
