#include "platform/platform.h"

#include <condition_variable>
#include <mutex>

namespace zel::platform {

namespace {

// Answers as a machine on which nothing can be seen.
class AbsentPlatform final : public Platform, Accessibility, Workspace, Session, CodeSigning, Preferences, SystemLog,
                             RunLoop {
 public:
  Accessibility& accessibility() override { return *this; }
  Workspace& workspace() override { return *this; }
  Session& session() override { return *this; }
  CodeSigning& codeSigning() override { return *this; }
  Preferences& preferences() override { return *this; }
  SystemLog& systemLog() override { return *this; }
  RunLoop& runLoop() override { return *this; }
  System system() const override { return System::macOS; }

  bool isTrusted() override { return false; }
  AXElement application(Pid) override { return std::make_shared<AXElementHandle>(); }
  void setMessagingTimeout(const AXElement&, double) override {}
  AXRead attribute(const AXElement&, const std::string&) override { return {ax_error::apiDisabled, {}}; }
  AXMultiRead attributes(const AXElement&, const std::vector<std::string>&, size_t) override {
    return {ax_error::apiDisabled, {}};
  }
  void setBoolean(const AXElement&, const std::string&, bool) override {}
  bool equal(const AXElement& a, const AXElement& b) override { return a && a == b; }
  std::optional<std::string> frontBundleID() override { return std::nullopt; }
  std::vector<RunningApp> runningApps(const std::string&) override { return {}; }
  std::optional<bool> screenLockFlag() override { return std::nullopt; }
  std::vector<bool> displaysAsleep() override { return {}; }
  double idleSeconds() override { return 0; }
  SignatureVerdict verdict(Pid, const std::string&) override { return SignatureVerdict::refused; }
  std::optional<nlohmann::json> appleLanguages(const std::string&, Pid) override { return std::nullopt; }
  void write(const std::string&) override {}
  void run(const std::function<void(SystemEvent)>&) override {
    std::unique_lock g(lock_);
    stopped_.wait(g, [&] { return stopping_; });
  }
  void stop() override {
    std::lock_guard g(lock_);
    stopping_ = true;
    stopped_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable stopped_;
  bool stopping_ = false;
};

}  // namespace

std::unique_ptr<Platform> absentPlatform() { return std::make_unique<AbsentPlatform>(); }

}  // namespace zel::platform
