#include "platform/atspi/desktop_session.h"

#include "base/limits.h"

namespace zel::platform::atspi {

namespace {

constexpr int timeoutMs = limits.sessionStateTimeoutMs;

// One call on a bus whose reply is a single value of `type`; null on any failure.
GVariant* ask(GDBusConnection* bus, const char* destination, const char* path, const char* interface,
              const char* method, GVariant* arguments, const char* type) {
  if (!bus) {
    if (arguments) g_variant_unref(g_variant_ref_sink(arguments));
    return nullptr;
  }
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(bus, destination, path, interface, method, arguments, nullptr,
                                                G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &error);
  if (error) g_error_free(error);
  if (!reply) return nullptr;
  GVariant* value = nullptr;
  if (g_variant_n_children(reply) == 1) {
    value = g_variant_get_child_value(reply, 0);
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
      GVariant* inner = g_variant_get_variant(value);
      g_variant_unref(value);
      value = inner;
    }
    if (!g_variant_is_of_type(value, G_VARIANT_TYPE(type))) {
      g_variant_unref(value);
      value = nullptr;
    }
  }
  g_variant_unref(reply);
  return value;
}

GDBusConnection* systemBus() {
  // The system bus is shared by the process and kept for its life.
  static GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  return bus;
}

}  // namespace

std::optional<bool> DesktopSession::screenLockFlag() {
  if (GVariant* v = ask(bus_.session(), "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                        "org.freedesktop.ScreenSaver", "GetActive", nullptr, "b")) {
    const bool locked = g_variant_get_boolean(v);
    g_variant_unref(v);
    return locked;
  }
  if (GVariant* v = ask(systemBus(), "org.freedesktop.login1", "/org/freedesktop/login1/session/auto",
                        "org.freedesktop.DBus.Properties", "Get",
                        g_variant_new("(ss)", "org.freedesktop.login1.Session", "LockedHint"), "b")) {
    const bool locked = g_variant_get_boolean(v);
    g_variant_unref(v);
    return locked;
  }
  return std::nullopt;
}

double DesktopSession::idleSeconds() {
  if (GVariant* v = ask(bus_.session(), "org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                        "org.gnome.Mutter.IdleMonitor", "GetIdletime", nullptr, "t")) {
    const double ms = static_cast<double>(g_variant_get_uint64(v));
    g_variant_unref(v);
    return ms / 1000;
  }
  if (GVariant* v = ask(bus_.session(), "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                        "org.freedesktop.ScreenSaver", "GetSessionIdleTime", nullptr, "u")) {
    const double ms = g_variant_get_uint32(v);
    g_variant_unref(v);
    return ms / 1000;
  }
  return 0;
}

}  // namespace zel::platform::atspi
