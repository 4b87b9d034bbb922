#pragma once
// A JSON text read whole into one value, for files from outside that may be
// larger than the memory there is. The JSON library frees a large value by
// first allocating a list of its parts; when memory is what ran out, that
// allocation fails inside a destructor and ends the process. A document is
// never freed that way while an exception leaves its owner's scope: it is
// taken apart leaf by leaf with a list of places set aside as it was read,
// which allocates nothing.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class JsonDocument {
 public:
  JsonDocument() = default;
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;
  ~JsonDocument();

  // Reads `text`: nothing when it is one JSON value, otherwise why not, in
  // the parser's words. Throws std::bad_alloc when memory runs out, the
  // partial value taken apart.
  std::optional<std::string> read(std::string_view text);

  const nlohmann::json& value() const { return value_; }

 private:
  void takeApart() noexcept;

  nlohmann::json value_;
  // Room for one place per level the value nests, taken while reading.
  std::vector<nlohmann::json*> places_;
  int exceptionsAtStart_ = std::uncaught_exceptions();
};

}  // namespace zel
