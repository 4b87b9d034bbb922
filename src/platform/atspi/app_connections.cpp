#include "platform/atspi/app_connections.h"

#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <string_view>

#include "base/limits.h"

namespace zel::platform::atspi {

namespace {

// How a call failed, from the name of the error it got back (the names GIO
// maps to the same failures).
Failure failureNamed(std::string_view name) {
  static const std::map<std::string_view, Failure> failures{
      {"org.freedesktop.DBus.Error.ServiceUnknown", Failure::gone},
      {"org.freedesktop.DBus.Error.NameHasNoOwner", Failure::gone},
      {"org.freedesktop.DBus.Error.UnknownObject", Failure::gone},
      {"org.freedesktop.DBus.Error.Disconnected", Failure::gone},
      {"org.freedesktop.DBus.Error.UnknownMethod", Failure::unsupported},
      {"org.freedesktop.DBus.Error.UnknownInterface", Failure::unsupported},
      {"org.freedesktop.DBus.Error.UnknownProperty", Failure::unsupported},
      {"org.freedesktop.DBus.Error.NotSupported", Failure::unsupported},
      {"org.freedesktop.DBus.Error.NoReply", Failure::timedOut},
      {"org.freedesktop.DBus.Error.Timeout", Failure::timedOut},
      {"org.freedesktop.DBus.Error.TimedOut", Failure::timedOut},
  };
  const auto it = failures.find(name);
  return it == failures.end() ? Failure::other : it->second;
}

int appendValue(sd_bus_message* m, GVariant* v);

// The contents of a container type, as sd-bus opens it ("(si)" -> "si").
std::string contentsOf(const GVariantType* t) {
  const std::string whole(g_variant_type_peek_string(t), g_variant_type_get_string_length(t));
  return whole.substr(1, whole.size() - 2);
}

int appendChildren(sd_bus_message* m, GVariant* v) {
  const size_t n = g_variant_n_children(v);
  for (size_t i = 0; i < n; ++i) {
    GVariant* child = g_variant_get_child_value(v, i);
    const int r = appendValue(m, child);
    g_variant_unref(child);
    if (r < 0) return r;
  }
  return 0;
}

// A call's arguments are made with GLib's constructors; they travel as the
// same D-Bus values.
int appendValue(sd_bus_message* m, GVariant* v) {
  const GVariantType* t = g_variant_get_type(v);
  switch (g_variant_classify(v)) {
    case G_VARIANT_CLASS_STRING: return sd_bus_message_append_basic(m, 's', g_variant_get_string(v, nullptr));
    case G_VARIANT_CLASS_OBJECT_PATH: return sd_bus_message_append_basic(m, 'o', g_variant_get_string(v, nullptr));
    case G_VARIANT_CLASS_INT32: {
      const int32_t x = g_variant_get_int32(v);
      return sd_bus_message_append_basic(m, 'i', &x);
    }
    case G_VARIANT_CLASS_UINT32: {
      const uint32_t x = g_variant_get_uint32(v);
      return sd_bus_message_append_basic(m, 'u', &x);
    }
    case G_VARIANT_CLASS_BOOLEAN: {
      const int x = g_variant_get_boolean(v) ? 1 : 0;
      return sd_bus_message_append_basic(m, 'b', &x);
    }
    case G_VARIANT_CLASS_ARRAY: {
      const GVariantType* element = g_variant_type_element(t);
      const std::string contents(g_variant_type_peek_string(element), g_variant_type_get_string_length(element));
      int r = sd_bus_message_open_container(m, 'a', contents.c_str());
      if (r >= 0) r = appendChildren(m, v);
      return r < 0 ? r : sd_bus_message_close_container(m);
    }
    case G_VARIANT_CLASS_TUPLE:
    case G_VARIANT_CLASS_DICT_ENTRY: {
      const char kind = g_variant_classify(v) == G_VARIANT_CLASS_TUPLE ? 'r' : 'e';
      int r = sd_bus_message_open_container(m, kind, contentsOf(t).c_str());
      if (r >= 0) r = appendChildren(m, v);
      return r < 0 ? r : sd_bus_message_close_container(m);
    }
    case G_VARIANT_CLASS_VARIANT: {
      GVariant* inner = g_variant_get_variant(v);
      int r = sd_bus_message_open_container(m, 'v', g_variant_get_type_string(inner));
      if (r >= 0) r = appendValue(m, inner);
      g_variant_unref(inner);
      return r < 0 ? r : sd_bus_message_close_container(m);
    }
    default: return -EINVAL;  // no call of the backend passes one
  }
}

// One call in flight, until its reply (or the timeout sd-bus makes up for it) comes.
// Freed by its slot, whether the reply came or the connection went first.
struct Pending {
  Reply* reply;
  size_t* left;
  bool* hung;
  const bool* closing;  // the connection is being closed: what still waits is gone
};

int replied(sd_bus_message* m, void* data, sd_bus_error*) {
  auto* p = static_cast<Pending*>(data);
  if (sd_bus_message_is_method_error(m, nullptr)) {
    const sd_bus_error* e = sd_bus_message_get_error(m);
    p->reply->failure = *p->closing ? Failure::gone : failureNamed(e && e->name ? e->name : "");
    if (p->reply->failure == Failure::timedOut) *p->hung = true;
  } else {
    p->reply->failure = Failure::none;
    p->reply->message.reset(sd_bus_message_ref(m));
  }
  --*p->left;
  return 0;
}

}  // namespace

AppConnections::~AppConnections() { forget(); }

void AppConnections::forget() { pool_->forget(); }

void AppConnections::Pool::forget() {
  std::map<std::string, std::vector<sd_bus*>> closing;
  {
    std::lock_guard g(lock);
    closing.swap(idle);
    ++generation;
  }
  for (auto& [address, buses] : closing)
    for (sd_bus* b : buses) sd_bus_flush_close_unref(b);
}

sd_bus* AppConnections::Pool::take(const AppRoute& route) {
  {
    std::lock_guard g(lock);
    if (auto it = idle.find(route.address); it != idle.end() && !it->second.empty()) {
      sd_bus* b = it->second.back();
      it->second.pop_back();
      return b;
    }
  }
  // Opened without waiting: the handshake goes out with the first calls,
  // and a peer that never answers it fails them by their timeout.
  sd_bus* b = nullptr;
  if (sd_bus_new(&b) < 0) return nullptr;
  if (sd_bus_set_address(b, route.address.c_str()) < 0 || sd_bus_set_bus_client(b, route.direct ? 0 : 1) < 0 ||
      sd_bus_start(b) < 0) {
    sd_bus_close_unref(b);
    return nullptr;
  }
  return b;
}

void AppConnections::Pool::give(const AppRoute& route, sd_bus* bus, uint64_t since) {
  {
    std::lock_guard g(lock);
    if (since == generation && sd_bus_is_open(bus) > 0) {
      // Mostly gone applications' addresses: forget them all.
      if (!idle.contains(route.address) && idle.size() >= limits.busApplications) {
        for (auto& [address, buses] : idle)
          for (sd_bus* b : buses) sd_bus_close_unref(b);
        idle.clear();
      }
      auto& kept = idle[route.address];
      if (kept.size() < limits.busIdleConnections) {
        kept.push_back(bus);
        return;
      }
    }
  }
  sd_bus_close_unref(bus);
}

bool AppConnections::send(const AppRoute& route, std::vector<Call>& calls, const std::vector<size_t>& which,
                          std::vector<Reply>& replies, int timeoutMs) {
  uint64_t generation;
  {
    std::lock_guard g(pool_->lock);
    generation = pool_->generation;
  }
  sd_bus* bus = pool_->take(route);
  if (!bus) return false;
  // Given back once this volley and every message of its replies are done.
  const std::shared_ptr<void> lease(bus, [pool = pool_, route, generation](void* b) {
    pool->give(route, static_cast<sd_bus*>(b), generation);
  });
  const uint64_t timeoutUs = static_cast<uint64_t>(std::max(timeoutMs, 1)) * 1000;
  size_t left = which.size(), sent = 0;
  // An application that let one call time out is hung: the calls not yet
  // sent fail at once instead of waiting out a timeout each.
  bool hung = false;
  bool broken = false;
  auto fail = [&](size_t k, Failure f) {
    replies[which[k]].failure = f;
    --left;
  };
  auto sendMore = [&] {
    while (sent < which.size() && sent - (which.size() - left) < limits.busCallsInFlight) {
      const size_t k = sent++;
      Call& c = calls[which[k]];
      GVariant* arguments = c.arguments ? g_variant_ref_sink(c.arguments) : nullptr;
      c.arguments = nullptr;
      if (hung || broken) {
        if (arguments) g_variant_unref(arguments);
        fail(k, hung ? Failure::timedOut : Failure::gone);
        continue;
      }
      sd_bus_message* m = nullptr;
      // A direct connection has no bus to route by name.
      int r = sd_bus_message_new_method_call(bus, &m, route.direct ? nullptr : c.destination.c_str(), c.path.c_str(),
                                             c.interface.c_str(), c.method.c_str());
      if (r >= 0 && arguments) r = appendChildren(m, arguments);
      if (arguments) g_variant_unref(arguments);
      if (r >= 0) {
        auto* p = new Pending{&replies[which[k]], &left, &hung, &broken};
        sd_bus_slot* slot = nullptr;
        r = sd_bus_call_async(bus, &slot, m, &replied, p, timeoutUs);
        if (r < 0) {
          delete p;
        } else {
          sd_bus_slot_set_destroy_callback(slot, [](void* d) { delete static_cast<Pending*>(d); });
          // Held by the connection until the reply came or it closed.
          sd_bus_slot_set_floating(slot, 1);
          sd_bus_slot_unref(slot);
        }
      }
      if (m) sd_bus_message_unref(m);
      if (r < 0) {
        // A connection that cannot send any more is gone; a call it could
        // not make (a path that is no path) fails alone.
        if (r == -ENOTCONN || r == -ECONNRESET || r == -EPIPE) broken = true;
        fail(k, broken ? Failure::gone : Failure::other);
      }
    }
  };
  sendMore();
  // The volley gives up once no reply came for `timeoutMs`: its own clock,
  // not sd-bus's per call, so that a peer that stops reading its socket (and
  // so leaves a call unsent) is given up on too.
  using Clock = std::chrono::steady_clock;
  const auto patience = std::chrono::milliseconds(std::max(timeoutMs, 1));
  auto deadline = Clock::now() + patience;
  size_t waiting = left;
  bool late = false;
  while (left > 0) {
    int r = sd_bus_process(bus, nullptr);
    if (r > 0) {
      if (left < waiting) {
        waiting = left;
        deadline = Clock::now() + patience;
      }
      sendMore();
      continue;
    }
    if (r == 0) {
      const auto now = Clock::now();
      if (now >= deadline) {
        late = true;
        break;
      }
      r = sd_bus_wait(bus, std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count() + 1);
    }
    if (r < 0 && r != -EINTR) {
      // The connection went: every call still waiting on it is told so.
      broken = true;
      while (left > 0 && sd_bus_process(bus, nullptr) > 0) {
      }
      break;
    }
  }
  if (left > 0) {
    // Calls not sent fail at once; those sent will never be read: their
    // connection is closed with them.
    hung = hung || late;
    sendMore();
    for (size_t i : which)
      if (!replies[i].message && replies[i].failure == Failure::none)
        replies[i].failure = late ? Failure::timedOut : Failure::gone;
    sd_bus_close(bus);
  }
  for (size_t i : which)
    if (replies[i].message) replies[i].lease = lease;
  return true;
}

}  // namespace zel::platform::atspi
