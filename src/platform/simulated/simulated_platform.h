#pragma once
// The platform backend that answers every question from a desktop file (named
// by ZEL_AX_DESKTOP). Without the variable there is no accessibility at all.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/platform.h"
#include "platform/simulated/desktop.h"

namespace zel::platform {

class SimulatedPlatform final : public Platform, Accessibility, Workspace, Session, CodeSigning, Preferences,
                                SystemLog, RunLoop {
 public:
  // `desktop` absent: no desktop file was named.
  explicit SimulatedPlatform(std::optional<Desktop> desktop);

  Accessibility& accessibility() override { return *this; }
  Workspace& workspace() override { return *this; }
  Session& session() override { return *this; }
  CodeSigning& codeSigning() override { return *this; }
  Preferences& preferences() override { return *this; }
  SystemLog& systemLog() override { return *this; }
  RunLoop& runLoop() override { return *this; }

  bool isTrusted() override;
  AXElement application(Pid pid) override;
  void setMessagingTimeout(const AXElement&, double) override {}
  AXRead attribute(const AXElement& element, const std::string& name) override;
  AXMultiRead attributes(const AXElement& element, const std::vector<std::string>& names) override;
  void setBoolean(const AXElement& application, const std::string& name, bool value) override;
  bool equal(const AXElement& a, const AXElement& b) override;

  std::optional<std::string> frontBundleID() override;
  std::vector<RunningApp> runningApps(const std::string& bundleID) override;

  std::optional<bool> screenLockFlag() override;
  std::vector<bool> displaysAsleep() override;
  double idleSeconds() override;

  SignatureVerdict verdict(Pid pid, const std::string& requirement) override;
  std::optional<nlohmann::json> appleLanguages(const std::string& bundleID) override;
  void write(const std::string& line) override;

  void run(const std::function<void(SystemEvent)>& deliver) override;
  void stop() override;

 private:
  std::mutex lock_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::optional<Desktop> desktop_;
};

}  // namespace zel::platform
