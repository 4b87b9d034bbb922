#pragma once
// The platform backend that answers every question from a desktop file (named
// by ZEL_AX_DESKTOP). The file is looked at again every quarter second; a
// change posts the notifications a real desktop would, and a broken rewrite
// leaves the last good desktop in force. Without a file there is no
// accessibility at all.

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/platform.h"
#include "platform/simulated/desktop.h"
#include "platform/simulated/journal.h"

namespace zel::platform {

class SimulatedPlatform final : public Platform, Accessibility, Workspace, Session, CodeSigning, Preferences,
                                SystemLog, RunLoop {
 public:
  // `desktop` absent: no desktop file was named. `path`, when not empty, is
  // watched for changes by a thread of the platform's own.
  SimulatedPlatform(std::optional<Desktop> desktop, std::string path = {}, std::optional<std::string> journal = {});
  ~SimulatedPlatform() override;

  // The desktop in the file at `path`, watched for changes; null with one
  // line in `error` when the file cannot be read or decoded.
  static std::unique_ptr<Platform> open(const std::string& path, std::optional<std::string> journal,
                                        std::string& error);

  Accessibility& accessibility() override { return *this; }
  Workspace& workspace() override { return *this; }
  Session& session() override { return *this; }
  CodeSigning& codeSigning() override { return *this; }
  Preferences& preferences() override { return *this; }
  SystemLog& systemLog() override { return *this; }
  RunLoop& runLoop() override { return *this; }
  // The desktop file describes a Mac.
  System system() const override { return System::macOS; }

  bool isTrusted() override;
  AXElement application(Pid pid) override;
  void setMessagingTimeout(const AXElement&, double) override {}
  AXRead attribute(const AXElement& element, const std::string& name) override;
  AXMultiRead attributes(const AXElement& element, const std::vector<std::string>& names,
                         size_t longestList = SIZE_MAX) override;
  void setBoolean(const AXElement& application, const std::string& name, bool value) override;
  bool equal(const AXElement& a, const AXElement& b) override;

  std::optional<std::string> frontBundleID() override;
  std::vector<RunningApp> runningApps(const std::string& bundleID) override;

  std::optional<bool> screenLockFlag() override;
  std::vector<bool> displaysAsleep() override;
  double idleSeconds() override;

  SignatureVerdict verdict(Pid pid, const std::string& requirement) override;
  std::optional<nlohmann::json> appleLanguages(const std::string& bundleID, Pid pid) override;
  void write(const std::string& line) override;

  void run(const std::function<void(SystemEvent)>& deliver) override;
  void stop() override;

  // Reads the file again now if it changed; true when a new desktop is in force.
  bool reload();
  // Replaces the desktop (as a changed file would) and posts what changed.
  void replace(Desktop desktop);

 private:
  struct Handle;
  std::shared_ptr<const Desktop> current() const;
  AXRead read(const Handle& h, const std::string& name, size_t longestList = SIZE_MAX);
  void journalRead(const Handle& h, const std::vector<std::string>& names);
  bool webContentShown(Pid pid, const DesktopApp& app);
  AXValue elementValue(const std::shared_ptr<const Desktop>& d, Pid pid, ElementIndex index);
  void post(SystemEvent e);
  void watch();

  mutable std::mutex lock_;
  std::shared_ptr<const Desktop> desktop_;  // null: no desktop file
  std::map<Pid, bool> webContent_;          // the tree switch state per process
  std::string path_;
  struct FileStamp {
    long long mtime = 0, size = -1;
    unsigned long long inode = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
  };
  FileStamp stamp_;
  Journal journal_;

  std::condition_variable events_;
  std::deque<SystemEvent> queue_;
  bool stopping_ = false;

  std::mutex watchLock_;
  std::condition_variable watchWake_;
  bool watchStop_ = false;
  std::thread watcher_;
};

}  // namespace zel::platform
