#pragma once
// Calls to applications over sd-bus. A reply is read in place by the thread
// that asked, value by value: no thread of the library's own carries it and
// no tree of values is built of it first (GIO does both, which cost the
// reader more than all else it did).
//
// A connection serves one volley at a time: a volley takes one from a pool
// kept per address (opening one when none is idle), and it goes back once
// the volley's replies are in and every message of them is gone (see
// `Reply::lease`). The pool's lock is never held across a call.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/atspi/bus.h"

namespace zel::platform::atspi {

// Where calls to an application go: its own connection (`direct`), or the
// accessibility bus, whose daemon routes them by name.
struct AppRoute {
  std::string address;
  bool direct = false;
  friend bool operator==(const AppRoute&, const AppRoute&) = default;
};

class AppConnections {
 public:
  AppConnections() = default;
  ~AppConnections();
  AppConnections(const AppConnections&) = delete;
  AppConnections& operator=(const AppConnections&) = delete;

  // Sends the calls `which` of `calls` along `route`, at most
  // `limits.busCallsInFlight` in flight, and fills their replies; each call
  // gives up after `timeoutMs`. False, with nothing sent, when no
  // connection could be opened.
  bool send(const AppRoute& route, std::vector<Call>& calls, const std::vector<size_t>& which,
            std::vector<Reply>& replies, int timeoutMs);
  // Closes every idle connection; those in use are closed when given back.
  // For a bus started again: its names and addresses mean others now.
  void forget();

 private:
  // The idle connections; shared with the leases still out.
  struct Pool {
    sd_bus* take(const AppRoute& route);
    void give(const AppRoute& route, sd_bus* bus, uint64_t generation);
    void forget();

    std::mutex lock;  // guards the members below; never held across a call
    std::map<std::string, std::vector<sd_bus*>> idle;  // by address
    uint64_t generation = 0;  // raised by forget()
  };
  std::shared_ptr<Pool> pool_ = std::make_shared<Pool>();
};

}  // namespace zel::platform::atspi
