#pragma once
// What a read learnt of an application's objects (a page's, and the browser
// controls around it) that a later read need not ask again: an object's role
// and attributes. Names, texts, structure, states
// and addresses are asked every time (a page's parts in one call each), so
// nothing a person reads is ever taken from here; what changes in place
// without changing an object's name or structure (a class) is caught by a
// read from scratch after `limits.mirrorLifetime`.
//
// No events are listened to: they would bring the text of every window,
// private ones included.
//
// Pure bookkeeping: times come in as values. Safe from any thread.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zel::platform::atspi {

// Where an object lives: its bus name (empty: its parent's) and object path.
struct ChildReference {
  std::string busName;
  std::string path;
};

// What is kept of one object.
struct MirroredObject {
  std::string role;
  std::map<std::string, std::string> attributes;
  // The objects of its subtree when it was last asked for whole, as a page
  // part's root; 0 when it never was.
  size_t partSize = 0;
};

class ObjectMirror {
 public:
  using Clock = std::chrono::steady_clock;
  using Time = Clock::time_point;

  // The key of an object: its application's bus name and its path.
  static std::string key(const std::string& busName, const std::string& path) { return busName + ' ' + path; }

  // The object as an earlier read found it, while that is trusted; null otherwise.
  std::shared_ptr<const MirroredObject> find(const std::string& key, Time now);
  void keep(const std::string& key, std::shared_ptr<const MirroredObject> object, Time now);
  // Forgets everything: the applications' names now mean others.
  void forget();

 private:
  void expire(Time now);

  std::mutex lock_;  // guards the members below; nothing is called under it
  Time startedAt_{};  // of what is kept now
  bool started_ = false;
  std::unordered_map<std::string, std::shared_ptr<const MirroredObject>> entries_;
};

}  // namespace zel::platform::atspi
