#include "base/json_document.h"

#include <new>

namespace zel {

using nlohmann::json;

// The library's own reader into a value, setting aside a place for each new
// level of nesting before the value grows that deep.
class PlaceKeepingReader {
 public:
  PlaceKeepingReader(json& into, std::vector<json*>& places) : dom_(into, true), places_(places) {}

  bool null() { return dom_.null(); }
  bool boolean(bool v) { return dom_.boolean(v); }
  bool number_integer(json::number_integer_t v) { return dom_.number_integer(v); }
  bool number_unsigned(json::number_unsigned_t v) { return dom_.number_unsigned(v); }
  bool number_float(json::number_float_t v, const json::string_t& s) { return dom_.number_float(v, s); }
  bool string(json::string_t& v) { return dom_.string(v); }
  bool binary(json::binary_t& v) { return dom_.binary(v); }
  bool key(json::string_t& v) { return dom_.key(v); }
  bool start_object(std::size_t n) {
    deeper();
    return dom_.start_object(n);
  }
  bool end_object() {
    --depth_;
    return dom_.end_object();
  }
  bool start_array(std::size_t n) {
    deeper();
    return dom_.start_array(n);
  }
  bool end_array() {
    --depth_;
    return dom_.end_array();
  }
  bool parse_error(std::size_t at, const std::string& token, const nlohmann::detail::exception& e) {
    return dom_.parse_error(at, token, e);
  }

 private:
  // The root and one place per level: reserved before the level exists, so
  // that running out of memory here leaves room for what was read.
  void deeper() {
    if (places_.capacity() < depth_ + 2) places_.reserve(std::max<size_t>(64, 2 * (depth_ + 2)));
    ++depth_;
  }

  nlohmann::detail::json_sax_dom_parser<json> dom_;
  std::vector<json*>& places_;
  size_t depth_ = 0;
};

JsonDocument::~JsonDocument() {
  if (std::uncaught_exceptions() > exceptionsAtStart_) takeApart();
}

// Frees the value from its leaves up, without recursion: a value freed holds
// nothing any more, so the library frees it without the list it would
// allocate. The places in use never outnumber the levels read.
void JsonDocument::takeApart() noexcept {
  places_.clear();
  if (places_.capacity() == 0) {
    if (!value_.is_structured() || value_.empty()) value_ = nullptr;
    return;  // nothing nested was read
  }
  places_.push_back(&value_);
  auto lastOf = [](json& j) -> json* {
    if (j.is_array()) return j.empty() ? nullptr : &j.back();
    if (j.is_object()) return j.empty() ? nullptr : &std::prev(j.get_ptr<json::object_t*>()->end())->second;
    return nullptr;
  };
  auto dropLast = [](json& j) {
    if (j.is_array()) j.get_ptr<json::array_t*>()->pop_back();
    else j.get_ptr<json::object_t*>()->erase(std::prev(j.get_ptr<json::object_t*>()->end()));
  };
  while (!places_.empty()) {
    json* here = places_.back();
    json* last = lastOf(*here);
    if (!last) {
      places_.pop_back();
      continue;
    }
    if (lastOf(*last) && places_.size() < places_.capacity()) {
      places_.push_back(last);
      continue;
    }
    dropLast(*here);
  }
  value_ = nullptr;
}

std::optional<std::string> JsonDocument::read(std::string_view text) {
  takeApart();
  PlaceKeepingReader reader(value_, places_);
  try {
    if (json::sax_parse(text.begin(), text.end(), &reader)) return std::nullopt;
  } catch (const json::exception& e) {
    std::string what = e.what();
    // The parser's own words, without its internal error tag.
    if (auto close = what.find("] "); close != std::string::npos) what.erase(0, close + 2);
    return what;
  } catch (const std::bad_alloc&) {
    takeApart();
    throw;
  }
  return "the text is not one JSON value";
}

}  // namespace zel
