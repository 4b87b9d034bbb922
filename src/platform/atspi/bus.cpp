#include "platform/atspi/bus.h"

#include <algorithm>

#include "base/limits.h"
#include "platform/atspi/app_connections.h"

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
GDBusConnection* connectAccessibility(GDBusConnection* session, std::string& error, std::string& where) {
  const auto address = accessibilityBusAddress(session);
  if (!address) {
    error = "no accessibility bus: is at-spi-bus-launcher running?";
    return nullptr;
  }
  where = *address;
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
  std::string address;
  GDBusConnection* a11y = connectAccessibility(session, error, address);
  if (!a11y) {
    g_object_unref(session);
    return nullptr;
  }
  return std::unique_ptr<Bus>(new Bus(session, a11y, std::move(address), direct));
}

Bus::Bus(GDBusConnection* session, GDBusConnection* a11y, std::string address, bool direct)
    : session_(session),
      first_(g_object_ref(a11y)),
      directAllowed_(direct),
      apps_(std::make_unique<AppConnections>()),
      a11y_(a11y),
      address_(std::move(address)) {}

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
  std::string why, address;
  GDBusConnection* again = connectAccessibility(session_, why, address);
  bool forget = false;
  GDBusConnection* out;
  {
    std::lock_guard g(lock_);
    if (again && g_dbus_connection_is_closed(a11y_)) {
      g_object_unref(a11y_);
      a11y_ = again;
      again = nullptr;
      address_ = std::move(address);
      ++generation_;
      direct_.clear();
      forget = true;
    }
    out = g_object_ref(a11y_);
  }
  if (again) g_object_unref(again);  // another thread connected first
  // Connections to the bus that went, and to applications it named.
  if (forget) apps_->forget();
  return out;
}

uint64_t Bus::generation() const {
  GDBusConnection* c = current();
  g_object_unref(c);
  std::lock_guard g(lock_);
  return generation_;
}

Bus::~Bus() {
  apps_.reset();
  g_object_unref(a11y_);
  g_object_unref(first_);
  g_object_unref(session_);
}

std::optional<std::string> Bus::addressOf(GDBusConnection* bus, const std::string& busName, int timeoutMs) const {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(bus, busName.c_str(), "/org/a11y/atspi/accessible/root",
                                                "org.a11y.atspi.Application", "GetApplicationBusAddress", nullptr,
                                                G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs,
                                                nullptr, &error);
  if (!reply) {
    g_error_free(error);
    return std::nullopt;
  }
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  // Only a socket of this machine: an application names the address, and a
  // hostile one could name anything.
  std::string where = address ? address : "";
  g_variant_unref(reply);
  if (where.rfind("unix:", 0) != 0) return std::nullopt;
  return where;
}

std::vector<AppRoute> Bus::routes(GDBusConnection* bus, const std::vector<Call>& calls,
                                  const std::vector<size_t>& which, int timeoutMs) const {
  std::vector<AppRoute> out(which.size());
  std::vector<std::string> unknown;
  auto lookUp = [&] {
    unknown.clear();
    std::lock_guard g(lock_);
    for (size_t k = 0; k < which.size(); ++k) {
      out[k] = {address_, false};
      if (!directAllowed_) continue;
      const std::string& to = calls[which[k]].destination;
      auto it = direct_.find(to);
      if (it == direct_.end()) {
        if (std::find(unknown.begin(), unknown.end(), to) == unknown.end()) unknown.push_back(to);
      } else if (!it->second.empty()) {
        out[k] = {it->second, true};
      }
    }
  };
  lookUp();
  if (unknown.empty()) return out;
  // Addresses are asked for without the lock, then kept.
  std::vector<std::pair<std::string, std::string>> asked;
  for (const auto& name : unknown) asked.emplace_back(name, addressOf(bus, name, timeoutMs).value_or(""));
  {
    std::lock_guard g(lock_);
    // Mostly gone applications: forget them all; a live one is asked again.
    if (direct_.size() + asked.size() > limits.busApplications) direct_.clear();
    for (auto& [name, address] : asked) direct_.emplace(name, std::move(address));
  }
  lookUp();
  return out;
}

void Bus::gioCalls(GDBusConnection* bus, std::vector<Call>& calls, const std::vector<size_t>& which,
                   std::vector<Reply>& replies, int timeoutMs) const {
  // Replies come back on a context of this call's own, so that threads
  // reading at once never see each other's replies.
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  const size_t inFlight = limits.busCallsInFlight;
  size_t left = which.size(), sent = 0;
  // An application that let one call time out is hung: the calls not yet
  // sent fail at once instead of waiting out a timeout each.
  bool hung = false;
  auto send = [&] {
    while (sent < which.size() && sent - (which.size() - left) < inFlight) {
      const size_t i = which[sent++];
      Call& c = calls[i];
      GVariant* arguments = c.arguments;
      c.arguments = nullptr;
      if (hung) {
        if (arguments) g_variant_unref(g_variant_ref_sink(arguments));
        replies[i].failure = Failure::timedOut;
        --left;
        continue;
      }
      g_dbus_connection_call(bus, c.destination.c_str(), c.path.c_str(), c.interface.c_str(), c.method.c_str(),
                             arguments, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &finished,
                             new Pending{&replies, i, &left, &hung});
    }
  };
  send();
  while (left > 0) {
    g_main_context_iteration(context, TRUE);
    send();
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
}

std::vector<Reply> Bus::all(std::vector<Call> calls, int timeoutMs) const {
  std::vector<Reply> replies(calls.size());
  if (calls.empty()) return replies;
  GDBusConnection* bus = current();
  // Calls to applications (by their unique names) go over sd-bus; the bus
  // daemon's and the registry's over GIO.
  std::vector<size_t> toApps, others;
  for (size_t i = 0; i < calls.size(); ++i)
    (!calls[i].destination.empty() && calls[i].destination[0] == ':' ? toApps : others).push_back(i);
  if (!others.empty()) gioCalls(bus, calls, others, replies, timeoutMs);
  if (!toApps.empty()) {
    const auto via = routes(bus, calls, toApps, timeoutMs);
    // The calls of each route together (a volley mostly has one).
    std::vector<bool> done(toApps.size(), false);
    for (size_t k = 0; k < toApps.size(); ++k) {
      if (done[k]) continue;
      std::vector<size_t> group;
      for (size_t j = k; j < toApps.size(); ++j)
        if (!done[j] && via[j] == via[k]) {
          group.push_back(toApps[j]);
          done[j] = true;
        }
      if (apps_->send(via[k], calls, group, replies, timeoutMs)) continue;
      // An application's own connection that cannot be opened: through the
      // bus, now and from now on.
      AppRoute throughBus;
      if (via[k].direct) {
        std::lock_guard g(lock_);
        for (size_t i : group) direct_[calls[i].destination].clear();
        throughBus = {address_, false};
      }
      if (!via[k].direct || !apps_->send(throughBus, calls, group, replies, timeoutMs))
        for (size_t i : group) {
          if (calls[i].arguments) g_variant_unref(g_variant_ref_sink(calls[i].arguments));
          calls[i].arguments = nullptr;
          replies[i].failure = Failure::gone;
        }
    }
  }
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
