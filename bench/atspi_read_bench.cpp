// Reads a real browser window over the accessibility bus two ways, in one
// run: the backend's walk as the agent makes it (one multi-attribute read
// per element, sibling lists fetched in volleys) — first, again unchanged,
// and after a change the caller makes —, and a naive synchronous walk
// through libatspi (one blocking call per property). Also counts what
// deciding that a window shows no chat page costs.
//
//   atspi_read_bench TITLE_PART [NEWS_TITLE_PART]
//
// Run by bench/live_read.py, which starts the desktop and the browser.

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/atspi/atspi_accessibility.h"
#include "platform/atspi/bus.h"
#include "platform/atspi/processes.h"

using namespace zel::platform;
using namespace zel::platform::atspi;
using Clock = std::chrono::steady_clock;

namespace {

const std::vector<std::string> everything{"AXRole",         "AXSubrole",       "AXTitle", "AXDescription", "AXValue",
                                          "AXDOMClassList", "AXDOMIdentifier", "AXURL",   "AXChildren"};

AXElement windowTitled(AtspiAccessibility& ax, const AXElement& app, const std::string& part) {
  auto windows = ax.attribute(app, "AXWindows");
  for (const auto& w : windows.value.items) {
    auto title = ax.attribute(w.element, "AXTitle");
    if (title.error == ax_error::success && title.value.text.find(part) != std::string::npos) return w.element;
  }
  return nullptr;
}

size_t backendWalk(AtspiAccessibility& ax, const AXElement& e, uint64_t& reads) {
  ++reads;
  auto v = ax.attributes(e, everything);
  size_t n = 1;
  if (v.error != ax_error::success) return n;
  for (const auto& child : v.values.back().items)
    if (child.kind == AXValue::Kind::element) n += backendWalk(ax, child.element, reads);
  return n;
}

// The search the agent makes for a window's page address.
bool findPage(AtspiAccessibility& ax, const AXElement& e, uint64_t& reads) {
  // As the agent looks: the role first, a page's children never.
  ++reads;
  const auto role = ax.attribute(e, "AXRole");
  if (role.error != ax_error::success) return false;
  if (role.value.kind == AXValue::Kind::text && role.value.text == "AXWebArea") {
    ++reads;
    return ax.attribute(e, "AXURL").error == ax_error::success;
  }
  ++reads;
  const auto children = ax.attribute(e, "AXChildren");
  if (children.error != ax_error::success) return false;
  for (const auto& child : children.value.items)
    if (child.kind == AXValue::Kind::element && findPage(ax, child.element, reads)) return true;
  return false;
}

// One blocking call per property, one element after another: what a client
// gets by asking as most examples do.
size_t naiveWalk(const Bus& bus, const std::string& dest, const std::string& path) {
  const char* accessible = "org.a11y.atspi.Accessible";
  auto call = [&](const char* interface, const char* method, GVariant* arguments) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus.accessibility(), dest.c_str(), path.c_str(), interface, method,
                                                  arguments, nullptr, G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, &error);
    if (error) g_error_free(error);
    return reply;
  };
  const std::vector<std::tuple<const char*, const char*, GVariant*>> properties{
      {accessible, "GetRole", nullptr},
      {"org.freedesktop.DBus.Properties", "GetAll", g_variant_new("(s)", accessible)},
      {accessible, "GetAttributes", nullptr},
      {"org.a11y.atspi.Text", "GetText", g_variant_new("(ii)", 0, -1)}};
  for (const auto& [interface, method, arguments] : properties)
    if (GVariant* reply = call(interface, method, arguments)) g_variant_unref(reply);
  size_t n = 1;
  GVariant* children = call(accessible, "GetChildren", nullptr);
  if (!children) return n;
  GVariant* list = g_variant_get_child_value(children, 0);
  for (size_t i = 0; i < g_variant_n_children(list); ++i) {
    const gchar* childDest = nullptr;
    const gchar* childPath = nullptr;
    g_variant_get_child(list, i, "(&s&o)", &childDest, &childPath);
    n += naiveWalk(bus, childDest && *childDest ? childDest : dest, childPath);
  }
  g_variant_unref(list);
  g_variant_unref(children);
  return n;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return s(usage.ru_utime) + s(usage.ru_stime);
}

// CPU seconds of the processes the caller named: the browser's process group
// and the accessibility bus daemon.
struct Others {
  double browser = 0;
  double daemon = 0;
};

double processSeconds(const std::string& stat) {
  // The fields after the command's closing parenthesis: utime is the 12th, stime the 13th.
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 13 && fields >> field; ++i)
    if (i == 12 || i == 13) ticks += std::strtod(field.c_str(), nullptr);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long groupOf(const std::string& stat) {
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 1));
  std::string state, parent, group;
  fields >> state >> parent >> group;
  return std::strtol(group.c_str(), nullptr, 10);
}

Others othersNow() {
  Others out;
  const char* group = std::getenv("ZEL_BENCH_BROWSER_GROUP");
  const char* daemon = std::getenv("ZEL_BENCH_BUS_DAEMON");
  const long browserGroup = group ? std::strtol(group, nullptr, 10) : -1;
  const std::string daemonPid = daemon ? daemon : "";
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename();
    if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
    std::ifstream in(entry.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    if (pid == daemonPid) out.daemon += processSeconds(stat);
    else if (browserGroup > 0 && groupOf(stat) == browserGroup) out.browser += processSeconds(stat);
  }
  return out;
}

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: atspi_read_bench TITLE_PART [NEWS_TITLE_PART]\n");
    return 1;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::string error;
  auto bus = Bus::open(error);
  if (!bus) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  AtspiAccessibility ax(*bus);
  // The browser read: Chromium unless ZEL_BENCH_APP names another.
  const char* bundleID = std::getenv("ZEL_BENCH_APP");
  if (!bundleID || !*bundleID) bundleID = "com.google.Chrome";
  const auto apps = Processes().applications(bundleID);
  if (apps.empty()) {
    std::fprintf(stderr, "no %s running\n", bundleID);
    return 1;
  }
  const AXElement app = ax.application(apps.front().pid);
  // A browser building a page of 60,000 elements answers slowly for a while:
  // the benchmark waits for answers rather than timing out and looking again.
  ax.setMessagingTimeout(app, 5.0);
  const AXElement window = windowTitled(ax, app, argv[1]);
  if (!window) {
    std::fprintf(stderr, "no window titled with %s\n", argv[1]);
    return 1;
  }
  // The wake the agent's tree switch makes, then until the page is there.
  ax.setBoolean(app, "AXManualAccessibility", true);
  for (int tries = 0; tries < 600; ++tries) {  // a page of 60,000 elements takes a while to be built
    uint64_t reads = 0;
    if (findPage(ax, windowTitled(ax, app, argv[1]), reads)) break;
    g_usleep(100000);
  }

  // Judging a page that is no chat, once the browser shows it, on a window
  // handle read afresh. Nothing walks it: a walk of a large page would keep
  // the browser busy answering for a long while after.
  if (argc > 2) {
    uint64_t reads = 0;
    for (int tries = 0; tries < 600; ++tries) {
      const AXElement news = windowTitled(ax, app, argv[2]);
      if (news && findPage(ax, news, reads)) break;
      g_usleep(100000);
    }
    if (const AXElement news = windowTitled(ax, app, argv[2])) {
      reads = 0;
      const uint64_t calls = ax.calls(), volleys = ax.volleys();
      const auto start = Clock::now();
      const bool found = findPage(ax, news, reads);
      std::printf("page address:   %s after %llu reads of the interface, %llu bus calls in %llu volleys, %.3f s\n",
                  found ? "found" : "not found", (unsigned long long)reads,
                  (unsigned long long)(ax.calls() - calls), (unsigned long long)(ax.volleys() - volleys),
                  seconds(start));
    }
  }

  // Reads as the agent makes them, each from the window list on: the first;
  // one of the unchanged page; and, when the caller changes the page (it is
  // told "change the page" and answers with a line), one after the change.
  // The browser's and the bus daemon's CPU come from the processes the
  // caller names.
  // A read of an unchanged page is made five times over and the one of
  // median CPU printed: its costs are small enough for the machine's noise.
  struct Measured {
    size_t elements;
    double t, cpu, browser, daemon;
    uint64_t calls, volleys;
  };
  auto measure = [&] {
    uint64_t reads = 0;
    const uint64_t calls = ax.calls(), volleys = ax.volleys();
    const double cpu = cpuSeconds();
    const Others others = othersNow();
    const auto start = Clock::now();
    const AXElement fresh = windowTitled(ax, app, argv[1]);
    const size_t n = fresh ? backendWalk(ax, fresh, reads) : 0;
    const double t = seconds(start);
    const Others after = othersNow();
    return Measured{n, t, cpuSeconds() - cpu, after.browser - others.browser, after.daemon - others.daemon,
                    ax.calls() - calls, ax.volleys() - volleys};
  };
  auto read = [&](const char* what, int times = 1) {
    std::vector<Measured> runs;
    for (int i = 0; i < times; ++i) runs.push_back(measure());
    std::sort(runs.begin(), runs.end(), [](const Measured& a, const Measured& b) { return a.cpu < b.cpu; });
    const Measured& m = runs[runs.size() / 2];
    std::printf("%-22s %6zu elements in %.3f s = %7.0f elements/s; %llu bus calls (%.2f per element) in %llu "
                "volleys; CPU s: this process %.3f, browser %.3f, bus daemon %.3f%s\n",
                what, m.elements, m.t, m.elements / m.t, (unsigned long long)m.calls, double(m.calls) / m.elements,
                (unsigned long long)m.volleys, m.cpu, m.browser, m.daemon, times > 1 ? " (median of 5)" : "");
  };
  read("first read:");
  read("unchanged page:", 5);
  if (std::getenv("ZEL_BENCH_CHANGES")) {
    std::printf("change the page\n");
    std::string line(256, '\0');
    if (std::fgets(line.data(), static_cast<int>(line.size()), stdin)) read("after one new turn:");
  }

  {
    // What the agent sends for an admitted page: the page judged by its
    // address, then walked, both from the same window.
    uint64_t reads = 0;
    const uint64_t calls = ax.calls();
    const AXElement fresh = windowTitled(ax, app, argv[1]);
    findPage(ax, fresh, reads);
    const uint64_t judged = ax.calls() - calls;
    const size_t n = backendWalk(ax, fresh, reads);
    std::printf("judged and read: %llu bus calls to judge the page, %llu in all for %zu elements\n",
                (unsigned long long)judged, (unsigned long long)(ax.calls() - calls), n);
  }

  {
    const auto start = Clock::now();
    const auto where = AtspiAccessibility::whereIs(window);
    const size_t n = naiveWalk(*bus, where.first, where.second);
    const double t = seconds(start);
    std::printf("naive walk:     %6zu elements in %.3f s = %7.0f elements/s (one blocking call per property)\n", n,
                t, n / t);
  }

  return 0;
}
