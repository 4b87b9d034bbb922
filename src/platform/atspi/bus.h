#pragma once
// The two D-Bus connections of the backend, over GIO: the session bus (the
// accessibility switch, the screen saver) and the accessibility bus (every
// application's tree). GIO connections may be called from any thread; calls
// made together travel together and are waited for together, so a batch of
// N calls costs about one round trip, not N.

#include <gio/gio.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zel::platform::atspi {

// An owned GVariant.
struct VariantFree {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
using Variant = std::unique_ptr<GVariant, VariantFree>;

struct Call {
  std::string destination;
  std::string path;
  std::string interface;
  std::string method;
  GVariant* arguments = nullptr;  // floating; consumed
};

// How a call ended, in the terms the accessibility interface reports.
enum class Failure { none, gone, unsupported, timedOut, other };

struct Reply {
  Failure failure = Failure::none;
  Variant value;  // the reply tuple when failure is none
};

class Bus {
 public:
  // Connects to the session bus and, through it, to the accessibility bus.
  // On failure returns null and says why in `error`.
  static std::unique_ptr<Bus> open(std::string& error);
  ~Bus();
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  GDBusConnection* session() const { return session_; }
  GDBusConnection* accessibility() const { return a11y_; }

  // Sends every call on the accessibility bus at once and waits for all the
  // replies, each giving up after `timeoutMs`. Safe from any thread.
  std::vector<Reply> all(std::vector<Call> calls, int timeoutMs) const;
  Reply one(Call call, int timeoutMs) const;
  bool reachable() const;

  // org.a11y.Status.IsEnabled on the session bus: whether applications put
  // their trees on the accessibility bus.
  std::optional<bool> accessibilityEnabled() const;
  void setAccessibilityEnabled(bool on) const;

 private:
  Bus(GDBusConnection* session, GDBusConnection* a11y) : session_(session), a11y_(a11y) {}
  GDBusConnection* session_;
  GDBusConnection* a11y_;
};

}  // namespace zel::platform::atspi
