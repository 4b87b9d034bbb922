#include "platform/atspi/object_mirror.h"

#include "base/limits.h"

namespace zel::platform::atspi {

void ObjectMirror::expire(Time now) {
  if (started_ && now - startedAt_ <= std::chrono::duration<double>(limits.mirrorLifetime) && now >= startedAt_)
    return;
  entries_.clear();
  startedAt_ = now;
  started_ = true;
}

std::shared_ptr<const MirroredObject> ObjectMirror::find(const std::string& key, Time now) {
  std::lock_guard g(lock_);
  expire(now);
  auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : it->second;
}

void ObjectMirror::keep(const std::string& key, std::shared_ptr<const MirroredObject> object, Time now) {
  if (!object) return;
  std::lock_guard g(lock_);
  expire(now);
  if (entries_.size() >= limits.mirrorObjects && !entries_.contains(key)) {
    entries_.clear();
    startedAt_ = now;
  }
  entries_[key] = std::move(object);
}

void ObjectMirror::forget() {
  std::lock_guard g(lock_);
  entries_.clear();
  started_ = false;
}

}  // namespace zel::platform::atspi
