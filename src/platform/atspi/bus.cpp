#include "platform/atspi/bus.h"

#include <algorithm>

#include "base/limits.h"

namespace zel::platform::atspi {

namespace {

Failure failureOf(const GError* error) {
  if (!error) return Failure::none;
  if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_TIMED_OUT) return Failure::timedOut;
  if (error->domain == G_DBUS_ERROR) {
    switch (error->code) {
      case G_DBUS_ERROR_TIMEOUT:
      case G_DBUS_ERROR_TIMED_OUT:
      case G_DBUS_ERROR_NO_REPLY: return Failure::timedOut;
      case G_DBUS_ERROR_SERVICE_UNKNOWN:
      case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
      case G_DBUS_ERROR_UNKNOWN_OBJECT:
      case G_DBUS_ERROR_DISCONNECTED: return Failure::gone;
      case G_DBUS_ERROR_UNKNOWN_METHOD:
      case G_DBUS_ERROR_UNKNOWN_INTERFACE:
      case G_DBUS_ERROR_UNKNOWN_PROPERTY:
      case G_DBUS_ERROR_NOT_SUPPORTED: return Failure::unsupported;
      default: break;
    }
  }
  if (error->domain == G_IO_ERROR && error->code == G_IO_ERROR_CLOSED) return Failure::gone;
  return Failure::other;
}

struct Pending {
  std::vector<Reply>* replies;
  size_t index;
  size_t* left;
  bool* hung;
};

void finished(GObject* source, GAsyncResult* result, gpointer data) {
  auto* p = static_cast<Pending*>(data);
  GError* error = nullptr;
  GVariant* value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  Reply& r = (*p->replies)[p->index];
  r.failure = failureOf(error);
  if (r.failure == Failure::timedOut) *p->hung = true;
  if (value) r.value.reset(value);
  if (error) g_error_free(error);
  --*p->left;
  delete p;
}

std::optional<std::string> accessibilityBusAddress(GDBusConnection* session);

// A connection to the accessibility bus whose address the session bus gives;
// null with the reason in `error`.
GDBusConnection* connectAccessibility(GDBusConnection* session, std::string& error) {
  const auto address = accessibilityBusAddress(session);
  if (!address) {
    error = "no accessibility bus: is at-spi-bus-launcher running?";
    return nullptr;
  }
  GError* e = nullptr;
  GDBusConnection* a11y = g_dbus_connection_new_for_address_sync(
      address->c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &e);
  if (!a11y) {
    error = std::string("cannot connect to the accessibility bus: ") + (e ? e->message : "unknown error");
    if (e) g_error_free(e);
    return nullptr;
  }
  g_dbus_connection_set_exit_on_close(a11y, FALSE);
  return a11y;
}

std::optional<std::string> accessibilityBusAddress(GDBusConnection* session) {
  if (const char* address = g_getenv("AT_SPI_BUS_ADDRESS"); address && *address) return address;
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                                nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, limits.sessionBusTimeoutMs, nullptr,
                                                &error);
  if (!reply) {
    g_error_free(error);
    return std::nullopt;
  }
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  std::string out = address ? address : "";
  g_variant_unref(reply);
  if (out.empty()) return std::nullopt;
  return out;
}

}  // namespace

std::unique_ptr<Bus> Bus::open(std::string& error, bool direct) {
  GError* e = nullptr;
  GDBusConnection* session = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &e);
  if (!session) {
    error = std::string("no session bus: ") + (e ? e->message : "unknown error");
    if (e) g_error_free(e);
    return nullptr;
  }
  // A quit of the agent must not be a quit of the process because the bus went.
  g_dbus_connection_set_exit_on_close(session, FALSE);
  GDBusConnection* a11y = connectAccessibility(session, error);
  if (!a11y) {
    g_object_unref(session);
    return nullptr;
  }
  return std::unique_ptr<Bus>(new Bus(session, a11y, direct));
}

GDBusConnection* Bus::current() const {
  {
    std::lock_guard g(lock_);
    if (!g_dbus_connection_is_closed(a11y_)) return g_object_ref(a11y_);
    // The bus went (its daemon died or was restarted): connect again, at
    // most once a second, so that a bus that stays away costs nothing.
    const gint64 now = g_get_monotonic_time();
    if (triedAt_ && now - *triedAt_ < static_cast<gint64>(limits.busReconnectEvery * 1e6)) return g_object_ref(a11y_);
    triedAt_ = now;
  }
  std::string why;
  GDBusConnection* again = connectAccessibility(session_, why);
  std::lock_guard g(lock_);
  if (again && g_dbus_connection_is_closed(a11y_)) {
    g_object_unref(a11y_);
    a11y_ = again;
    again = nullptr;
    ++generation_;
    for (auto& [name, connection] : direct_)
      if (connection) g_object_unref(connection);
    direct_.clear();
  }
  if (again) g_object_unref(again);  // another thread connected first
  return g_object_ref(a11y_);
}

uint64_t Bus::generation() const {
  GDBusConnection* c = current();
  g_object_unref(c);
  std::lock_guard g(lock_);
  return generation_;
}

Bus::~Bus() {
  for (auto& [name, connection] : direct_)
    if (connection) {
      g_dbus_connection_close_sync(connection, nullptr, nullptr);
      g_object_unref(connection);
    }
  g_object_unref(a11y_);
  g_object_unref(first_);
  g_object_unref(session_);
}

GDBusConnection* Bus::connectTo(GDBusConnection* bus, const std::string& busName, int timeoutMs) const {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(bus, busName.c_str(), "/org/a11y/atspi/accessible/root",
                                                "org.a11y.atspi.Application", "GetApplicationBusAddress", nullptr,
                                                G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs,
                                                nullptr, &error);
  if (!reply) {
    g_error_free(error);
    return nullptr;
  }
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  // Only a socket of this machine: an application names the address, and a
  // hostile one could name anything.
  const std::string where = address ? address : "";
  g_variant_unref(reply);
  if (where.rfind("unix:", 0) != 0) return nullptr;
  // Opened with a deadline: an application stopped between its answer and
  // the handshake would hold a blocking open for ever.
  struct Opening {
    GDBusConnection* connection = nullptr;
    bool done = false;
  } opening;
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  GCancellable* cancel = g_cancellable_new();
  g_dbus_connection_new_for_address(
      where.c_str(), G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT, nullptr, cancel,
      [](GObject*, GAsyncResult* result, gpointer data) {
        auto* o = static_cast<Opening*>(data);
        o->connection = g_dbus_connection_new_for_address_finish(result, nullptr);
        o->done = true;
      },
      &opening);
  GSource* deadline = g_timeout_source_new(static_cast<guint>(std::max(timeoutMs, 1)));
  g_source_set_callback(
      deadline,
      [](gpointer c) {
        g_cancellable_cancel(static_cast<GCancellable*>(c));
        return G_SOURCE_REMOVE;
      },
      cancel, nullptr);
  g_source_attach(deadline, context);
  while (!opening.done) g_main_context_iteration(context, TRUE);
  g_source_destroy(deadline);
  g_source_unref(deadline);
  g_object_unref(cancel);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  if (opening.connection) g_dbus_connection_set_exit_on_close(opening.connection, FALSE);
  return opening.connection;
}

std::vector<GDBusConnection*> Bus::routes(GDBusConnection* bus, const std::vector<Call>& calls,
                                          int timeoutMs) const {
  std::vector<GDBusConnection*> out(calls.size(), bus);
  if (!directAllowed_) return out;
  std::vector<std::string> unknown;
  auto lookUp = [&] {
    unknown.clear();
    std::lock_guard g(lock_);
    for (size_t i = 0; i < calls.size(); ++i) {
      const std::string& to = calls[i].destination;
      // Applications have unique names; the registry and the bus do not.
      if (to.empty() || to[0] != ':') continue;
      auto it = direct_.find(to);
      if (it == direct_.end()) {
        if (std::find(unknown.begin(), unknown.end(), to) == unknown.end()) unknown.push_back(to);
      } else if (it->second && !g_dbus_connection_is_closed(it->second)) {
        out[i] = g_object_ref(it->second);
      }
    }
  };
  lookUp();
  if (unknown.empty()) return out;
  // Connections are opened without the lock, then kept; a thread that opened
  // one for the same application first wins.
  std::vector<std::pair<std::string, GDBusConnection*>> opened;
  for (const auto& name : unknown) opened.emplace_back(name, connectTo(bus, name, timeoutMs));
  {
    std::lock_guard g(lock_);
    for (auto& [name, connection] : opened) {
      if (direct_.contains(name)) {
        if (connection) g_object_unref(connection);
        continue;
      }
      if (direct_.size() >= limits.busApplications) {
        // Mostly gone applications: forget them all; a live one is opened
        // again when next asked (volleys in flight hold their own references).
        for (auto it = direct_.begin(); it != direct_.end();) {
          if (it->second) g_object_unref(it->second);
          it = direct_.erase(it);
        }
      }
      direct_.emplace(name, connection);
    }
  }
  for (GDBusConnection* c : out)
    if (c != bus) g_object_unref(c);
  out.assign(calls.size(), bus);
  lookUp();
  return out;
}

std::vector<Reply> Bus::all(std::vector<Call> calls, int timeoutMs) const {
  std::vector<Reply> replies(calls.size());
  if (calls.empty()) return replies;
  // Each connection is held by a reference of this volley's own.
  GDBusConnection* bus = current();
  std::vector<GDBusConnection*> via = routes(bus, calls, timeoutMs);
  // Replies come back on a context of this call's own, so that threads
  // reading at once never see each other's replies.
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  const size_t inFlight = limits.busCallsInFlight;
  size_t left = calls.size(), sent = 0;
  // An application that let one call time out is hung: the calls not yet
  // sent fail at once instead of waiting out a timeout each.
  bool hung = false;
  auto send = [&] {
    while (sent < calls.size() && sent - (calls.size() - left) < inFlight) {
      Call& c = calls[sent];
      if (hung) {
        if (c.arguments) g_variant_unref(g_variant_ref_sink(c.arguments));
        replies[sent++].failure = Failure::timedOut;
        --left;
        continue;
      }
      // A direct connection has no bus to route by name.
      const bool direct = via[sent] != bus;
      g_dbus_connection_call(via[sent], direct ? nullptr : c.destination.c_str(), c.path.c_str(),
                             c.interface.c_str(), c.method.c_str(), c.arguments, nullptr,
                             G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &finished,
                             new Pending{&replies, sent, &left, &hung});
      ++sent;
    }
  };
  send();
  while (left > 0) {
    g_main_context_iteration(context, TRUE);
    send();
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  for (GDBusConnection* c : via)
    if (c != bus) g_object_unref(c);
  g_object_unref(bus);
  return replies;
}

Reply Bus::one(Call call, int timeoutMs) const {
  std::vector<Call> calls;
  calls.push_back(std::move(call));
  return std::move(all(std::move(calls), timeoutMs)[0]);
}

bool Bus::reachable() const {
  GDBusConnection* c = current();
  const bool open = !g_dbus_connection_is_closed(c);
  g_object_unref(c);
  return open;
}

std::optional<bool> Bus::accessibilityEnabled() const {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      session_, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, 1000,
      nullptr, &error);
  if (!reply) {
    g_error_free(error);
    return std::nullopt;
  }
  GVariant* inner = nullptr;
  g_variant_get(reply, "(v)", &inner);
  std::optional<bool> out;
  if (g_variant_is_of_type(inner, G_VARIANT_TYPE_BOOLEAN)) out = g_variant_get_boolean(inner);
  g_variant_unref(inner);
  g_variant_unref(reply);
  return out;
}

void Bus::setAccessibilityEnabled(bool on) const {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      session_, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
      g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(on)), nullptr,
      G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, &error);
  if (reply) g_variant_unref(reply);
  if (error) g_error_free(error);
}

}  // namespace zel::platform::atspi
