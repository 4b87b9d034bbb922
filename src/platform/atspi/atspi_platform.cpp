#include "platform/atspi/atspi_platform.h"

#include <syslog.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/atspi/atspi_accessibility.h"
#include "platform/atspi/atspi_workspace.h"
#include "platform/atspi/bus.h"
#include "platform/atspi/desktop_session.h"
#include "platform/atspi/executable_trust.h"
#include "platform/atspi/glib_run_loop.h"
#include "platform/atspi/processes.h"

namespace zel::platform {

namespace atspi {

namespace {

class EnvironmentPreferences : public Preferences {
 public:
  explicit EnvironmentPreferences(const Processes& processes) : processes_(processes) {}
  // The languages a program shows its interface in come from its locale
  // variables: the process being read tells.
  std::optional<nlohmann::json> appleLanguages(const std::string&, Pid pid) override {
    const auto language = languageOf(processes_.environment(pid));
    if (!language) return std::nullopt;
    return nlohmann::json::array({*language});
  }

 private:
  const Processes& processes_;
};

class Syslog : public SystemLog {
 public:
  Syslog() { openlog("zel-ax", LOG_PID, LOG_USER); }
  ~Syslog() override { closelog(); }
  void write(const std::string& line) override { syslog(LOG_NOTICE, "%s", line.c_str()); }
};

struct Subscription {
  GDBusConnection* bus;
  guint id;
};

class AtspiPlatform : public Platform {
 public:
  AtspiPlatform(std::unique_ptr<Bus> bus, std::optional<std::filesystem::path> switchFile)
      : bus_(std::move(bus)),
        switchRecord_(std::move(switchFile), processes_),
        accessibility_(*bus_, &switchRecord_),
        workspace_(accessibility_, processes_),
        session_(*bus_),
        preferences_(processes_),
        runLoop_([this](const GlibRunLoop::Deliver& deliver) { return listen(deliver); }) {
    // An agent that was killed with the switch on left it on for every
    // application of the session: put it back before anything else.
    if (switchRecord_.leftOnByAGoneAgent()) {
      if (bus_->accessibilityEnabled() == true) bus_->setAccessibilityEnabled(false);
      switchRecord_.putBack();
    }
  }

  Accessibility& accessibility() override { return accessibility_; }
  Workspace& workspace() override { return workspace_; }
  Session& session() override { return session_; }
  CodeSigning& codeSigning() override { return trust_; }
  Preferences& preferences() override { return preferences_; }
  SystemLog& systemLog() override { return log_; }
  RunLoop& runLoop() override { return runLoop_; }
  System system() const override { return System::Linux; }

 private:
  struct Listening {
    AtspiPlatform* platform;
    GlibRunLoop::Deliver deliver;
  };

  // A window of an application became active (1) or stopped being (0): the
  // "active" state change, whose only data is a number. (The window events
  // carry the window's title, of private windows and every other
  // application's too; they are not listened to.)
  static void activeEvent(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar*,
                          GVariant* parameters, gpointer data) {
    auto* l = static_cast<Listening*>(data);
    if (!sender || !g_variant_is_of_type(parameters, G_VARIANT_TYPE_TUPLE) || g_variant_n_children(parameters) < 2)
      return;
    GVariant* kind = g_variant_get_child_value(parameters, 0);
    GVariant* detail = g_variant_get_child_value(parameters, 1);
    const bool isActive = g_variant_is_of_type(kind, G_VARIANT_TYPE_STRING) &&
                          std::string_view(g_variant_get_string(kind, nullptr)) == "active";
    const bool on = g_variant_is_of_type(detail, G_VARIANT_TYPE_INT32) && g_variant_get_int32(detail) == 1;
    g_variant_unref(kind);
    g_variant_unref(detail);
    if (!isActive) return;
    const bool changed =
        on ? l->platform->workspace_.windowActivated(sender) : l->platform->workspace_.windowDeactivated(sender);
    if (changed) l->deliver(SystemEvent::appActivated);
  }

  static void lockEvent(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                        gpointer data) {
    auto* l = static_cast<Listening*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
    gboolean active = FALSE;
    g_variant_get(parameters, "(b)", &active);
    l->deliver(active ? SystemEvent::screenLocked : SystemEvent::screenUnlocked);
  }

  // Asks applications for window events and listens to them and to the
  // screen saver; returns what stops listening.
  std::function<void()> listen(const GlibRunLoop::Deliver& deliver) {
    auto* l = new Listening{this, deliver};
    const char* empty[] = {nullptr};
    (void)bus_->one({"org.a11y.atspi.Registry", "/org/a11y/atspi/registry", "org.a11y.atspi.Registry",
                     "RegisterEvent", g_variant_new("(s^ass)", "object:state-changed:active", empty, "")},
                    1000);
    std::vector<Subscription> subs;
    // The bus hands over only "active" state changes (arg0), no other state
    // change and no other event.
    subs.push_back({bus_->accessibility(),
                    g_dbus_connection_signal_subscribe(bus_->accessibility(), nullptr, "org.a11y.atspi.Event.Object",
                                                       "StateChanged", nullptr, "active", G_DBUS_SIGNAL_FLAGS_NONE,
                                                       &activeEvent, l, nullptr)});
    subs.push_back({bus_->session(),
                    g_dbus_connection_signal_subscribe(bus_->session(), nullptr, "org.freedesktop.ScreenSaver",
                                                       "ActiveChanged", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                       &lockEvent, l, nullptr)});
    return [subs, l] {
      for (const auto& s : subs) g_dbus_connection_signal_unsubscribe(s.bus, s.id);
      delete l;
    };
  }

  std::unique_ptr<Bus> bus_;
  Processes processes_;
  SwitchRecord switchRecord_;
  AtspiAccessibility accessibility_;
  AtspiWorkspace workspace_;
  DesktopSession session_;
  ExecutableTrust trust_;
  EnvironmentPreferences preferences_;
  Syslog log_;
  GlibRunLoop runLoop_;
};

}  // namespace

std::unique_ptr<Platform> openAtspiPlatform(std::string& error) {
  // Without a session or an accessibility bus nothing can be seen: the agent
  // still runs, untrusted, as it would without the permission.
  std::string why;
  // Tests that watch what the agent asks, with a monitor of the bus, have
  // every call go through it.
  const char* throughBus = std::getenv("ZEL_AX_ATSPI_THROUGH_BUS");
  auto bus = Bus::open(why, !(throughBus && *throughBus && std::string(throughBus) != "0"));
  if (!bus) return absentPlatform();
  (void)error;
  return std::make_unique<AtspiPlatform>(std::move(bus), SwitchRecord::in(std::getenv("XDG_RUNTIME_DIR")));
}

}  // namespace atspi

std::unique_ptr<Platform> openNativePlatform(std::string& error) { return atspi::openAtspiPlatform(error); }

}  // namespace zel::platform
