#include "agent/front_app.h"

namespace zel::agent {

FrontApp::FrontApp(platform::Workspace& workspace, std::function<void()> onChange)
    : workspace_(workspace), onChange_(std::move(onChange)), bundleID_(workspace.frontBundleID()) {}

void FrontApp::activated() {
  auto front = workspace_.frontBundleID();
  {
    std::lock_guard g(lock_);
    bundleID_ = std::move(front);
  }
  if (onChange_) onChange_();
}

bool FrontApp::is(std::string_view bundleID) const {
  std::lock_guard g(lock_);
  return bundleID_ && *bundleID_ == bundleID;
}

std::optional<std::string> FrontApp::bundleID() const {
  std::lock_guard g(lock_);
  return bundleID_;
}

}  // namespace zel::agent
