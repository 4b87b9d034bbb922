#pragma once
// A value or the reason there is none. Failures travel as values: decoding,
// parsing and platform calls hand one of these back instead of throwing.

#include <optional>
#include <string>
#include <utility>

namespace zel {

template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose
  static Result failure(std::string why) {
    Result r;
    r.error_ = std::move(why);
    return r;
  }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const T& value() const& { return *value_; }
  T& value() & { return *value_; }
  T&& value() && { return std::move(*value_); }
  const T* operator->() const { return &*value_; }
  const T& operator*() const { return *value_; }
  const std::string& error() const { return error_; }

 private:
  Result() = default;
  std::optional<T> value_;
  std::string error_;
};

}  // namespace zel
