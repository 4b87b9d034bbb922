#pragma once
// Linux processes as the library knows applications: by bundle identifier,
// with a process id and a launch date, read from /proc. Every file there
// belongs to another process and may vanish or lie: a value, never a crash.

#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.h"

namespace zel::platform::atspi {

struct Process {
  Pid pid = 0;
  Pid parent = 0;
  unsigned uid = 0;     // whose process it is
  std::string program;  // the name it was started as, or its executable's
  std::optional<double> launched;  // seconds since 2001-01-01 UTC
};

class Processes {
 public:
  explicit Processes(std::filesystem::path proc = "/proc", unsigned user = ::geteuid())
      : proc_(std::move(proc)), user_(user) {}

  // The identity of a program by its name: chromium, google-chrome, firefox,
  // firefox-esr, ...; nullopt for any other.
  static std::optional<std::string> bundleIDOf(std::string_view program);

  std::optional<Process> read(Pid pid) const;
  // The processes running as an application: of the identity, the user's
  // own (another user's browser is never this agent's to read), and not
  // started by a process of the same identity (a browser's helpers are).
  std::vector<Process> applications(const std::string& bundleID) const;
  // The process's environment, at most a few variables' worth.
  std::map<std::string, std::string> environment(Pid pid) const;
  // The path of the process's executable file through /proc.
  std::filesystem::path executable(Pid pid) const { return proc_ / std::to_string(pid) / "exe"; }

 private:
  std::optional<double> bootTime() const;
  std::filesystem::path proc_;
  unsigned user_;
};

// The first interface language of an environment, as a language tag
// ("en-GB"): LANGUAGE's first entry, else LC_ALL, LC_MESSAGES, LANG; the C
// locale is English. Nullopt when a variable holds no language.
std::optional<std::string> languageOf(const std::map<std::string, std::string>& environment);

}  // namespace zel::platform::atspi
