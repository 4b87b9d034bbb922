#pragma once
// The accessibility interface of the operating system: the only way the agent
// sees other applications' windows. Roles, attribute names and error codes are
// macOS's, whatever the backend: it translates its system's interface into them.
//
// Threads: every reader calls it at once, each on its own elements, and the
// quit path sets attributes from yet another thread; a backend must be safe
// under all of that. Elements may be shared between threads read-only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zel::platform {

using Pid = int32_t;

// An element of another application's interface. Backends subclass the handle;
// callers only copy the pointer around and ask `Accessibility::equal`.
struct AXElementHandle {
  virtual ~AXElementHandle() = default;
};
using AXElement = std::shared_ptr<const AXElementHandle>;

// Error codes the callers tell apart; every other code is a failure.
namespace ax_error {
constexpr int32_t success = 0;
constexpr int32_t invalidElement = -25202;
constexpr int32_t cannotComplete = -25204;
constexpr int32_t attributeUnsupported = -25205;
constexpr int32_t apiDisabled = -25211;
constexpr int32_t noValue = -25212;
}  // namespace ax_error

// One attribute value as the callers tell values apart.
struct AXValue {
  enum class Kind {
    other,        // anything the callers do not read (ranges, attributed text, ...)
    element,
    list,         // `items`: elements, texts, or anything else
    text,
    integer,
    real,
    boolean,
    url,          // `text` holds the absolute address
    placeholder,  // stands in for a failed attribute of a multiple-attribute read
  };
  Kind kind = Kind::other;
  AXElement element;
  std::vector<AXValue> items;
  std::string text;
  int64_t integer = 0;
  double real = 0;
  bool boolean = false;

  // The one way values are made, by kind.
  static AXValue ofText(std::string text) { return with(Kind::text, &AXValue::text, std::move(text)); }
  static AXValue ofURL(std::string address) { return with(Kind::url, &AXValue::text, std::move(address)); }
  static AXValue ofElement(AXElement element) { return with(Kind::element, &AXValue::element, std::move(element)); }
  static AXValue ofList(std::vector<AXValue> items = {}) { return with(Kind::list, &AXValue::items, std::move(items)); }
  static AXValue ofBoolean(bool value) { return with(Kind::boolean, &AXValue::boolean, value); }
  static AXValue ofInteger(int64_t value) { return with(Kind::integer, &AXValue::integer, value); }
  static AXValue ofReal(double value) { return with(Kind::real, &AXValue::real, value); }
  static AXValue placeholder() { return with(Kind::placeholder, &AXValue::boolean, false); }

 private:
  template <class Member, class Value>
  static AXValue with(Kind kind, Member AXValue::*member, Value value) {
    AXValue v;
    v.kind = kind;
    v.*member = std::move(value);
    return v;
  }
};

struct AXRead {
  int32_t error = ax_error::success;
  AXValue value;  // meaningful only on success
};

struct AXMultiRead {
  int32_t error = ax_error::success;
  std::vector<AXValue> values;  // one per name on success, placeholders for failures
};

class Accessibility {
 public:
  virtual ~Accessibility() = default;
  // Whether this process may use the interface; never prompts the user.
  virtual bool isTrusted() = 0;
  virtual AXElement application(Pid pid) = 0;
  // Every later request on the element gives up after `seconds`.
  virtual void setMessagingTimeout(const AXElement& element, double seconds) = 0;
  virtual AXRead attribute(const AXElement& element, const std::string& name) = 0;
  // Several attributes in one request. A list value holds at most
  // `longestList` items, the first ones: a caller that will visit a few
  // children of an element with a million does not pay for the million.
  virtual AXMultiRead attributes(const AXElement& element, const std::vector<std::string>& names,
                                 size_t longestList = SIZE_MAX) = 0;
  // Sets a boolean attribute on an application element; the outcome is not reported.
  virtual void setBoolean(const AXElement& application, const std::string& name, bool value) = 0;
  virtual bool equal(const AXElement& a, const AXElement& b) = 0;
};

}  // namespace zel::platform
