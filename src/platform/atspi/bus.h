#pragma once
// The D-Bus connections of the backend. Over GIO: the session bus (the
// accessibility switch, the screen saver) and the accessibility bus's own
// questions (the registry, the bus daemon, the events listened to). Over
// sd-bus: every call to an application, straight to it where it offers a
// connection of its own, else through the accessibility bus. Calls made
// together travel together and are waited for together, so a batch of N
// calls costs about one round trip, not N.

#include <gio/gio.h>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zel::platform::atspi {

// An owned GVariant.
struct VariantFree {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
using Variant = std::unique_ptr<GVariant, VariantFree>;

// An owned sd-bus message.
struct MessageUnref {
  void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

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
  // The connection `message` came on, kept from every other volley until
  // the message is gone: a message counts as a reference to its
  // connection, and sd-bus counts those without atomics, so a connection
  // and everything of it stay with one thread at a time.
  std::shared_ptr<void> lease;
  // When failure is none: a call to an application's reply as sd-bus read
  // it (its body read in place, on the thread that asked), any other
  // call's reply tuple. Declared after `lease`: it is let go first.
  Message message;
  Variant value;
};

class AppConnections;
struct AppRoute;

class Bus {
 public:
  // Connects to the session bus and, through it, to the accessibility bus.
  // On failure returns null and says why in `error`. `direct`: calls go to
  // applications over their own connections where they offer one; false:
  // everything through the bus, where a bus monitor sees it.
  static std::unique_ptr<Bus> open(std::string& error, bool direct = true);
  ~Bus();
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  GDBusConnection* session() const { return session_; }
  // The accessibility bus as first connected, for listening to its signals.
  GDBusConnection* accessibility() const { return first_; }
  // Counts the connections made to the accessibility bus: a bus started
  // again (its daemon died) has other applications under the same names.
  uint64_t generation() const;

  // Sends every call at once and waits for all the replies, each giving up
  // after `timeoutMs`. A call to an application goes straight to it when it
  // offers a connection of its own (org.a11y.atspi.Application.
  // GetApplicationBusAddress): half the round trip, and the bus daemon
  // carries nothing; otherwise, and for everything else, through the
  // accessibility bus. Safe from any thread.
  std::vector<Reply> all(std::vector<Call> calls, int timeoutMs) const;
  Reply one(Call call, int timeoutMs) const;
  // Whether the accessibility bus answers; a closed connection is made
  // again, at most once a second, when the bus is back.
  bool reachable() const;

  // org.a11y.Status.IsEnabled on the session bus: whether applications put
  // their trees on the accessibility bus.
  std::optional<bool> accessibilityEnabled() const;
  void setAccessibilityEnabled(bool on) const;

 private:
  Bus(GDBusConnection* session, GDBusConnection* a11y, std::string address, bool direct);
  // The accessibility bus connection now (a reference of the caller's own),
  // connected again when it closed and the bus is back.
  GDBusConnection* current() const;
  // The calls `which` of `calls`, over GIO.
  void gioCalls(GDBusConnection* bus, std::vector<Call>& calls, const std::vector<size_t>& which,
                std::vector<Reply>& replies, int timeoutMs) const;
  // Where each of the calls `which` (to applications) goes: an application's
  // own connection, or the bus.
  std::vector<AppRoute> routes(GDBusConnection* bus, const std::vector<Call>& calls, const std::vector<size_t>& which,
                               int timeoutMs) const;
  // The address of the application's own connection; none when it offers none.
  std::optional<std::string> addressOf(GDBusConnection* bus, const std::string& busName, int timeoutMs) const;

  GDBusConnection* session_;
  GDBusConnection* first_;
  const bool directAllowed_;
  std::unique_ptr<AppConnections> apps_;
  mutable std::mutex lock_;  // guards the members below; never held across a call
  mutable GDBusConnection* a11y_;
  mutable std::string address_;  // of the accessibility bus
  mutable uint64_t generation_ = 0;
  mutable std::optional<gint64> triedAt_;  // the last attempt to connect again, monotonic µs
  // By bus name: the address of the application's own connection, or empty
  // when it offers none. A bus name is never reused.
  mutable std::map<std::string, std::string> direct_;
};

}  // namespace zel::platform::atspi
