#include "platform/atspi/switch_record.h"

#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace zel::platform::atspi {

namespace {

// A process and when it started: a process id alone may have been given to
// another process since.
struct Owner {
  Pid pid = 0;
  double launched = 0;
};

std::optional<Owner> ownerOf(const Processes& processes, Pid pid) {
  const auto p = processes.read(pid);
  if (!p || !p->launched) return std::nullopt;
  return Owner{pid, *p->launched};
}

}  // namespace

std::optional<std::filesystem::path> SwitchRecord::in(const char* runtimeFolder) {
  if (!runtimeFolder || !*runtimeFolder || runtimeFolder[0] != '/') return std::nullopt;
  return std::filesystem::path(runtimeFolder) / "zel-ax" / "accessibility-switch";
}

void SwitchRecord::turnedOn() const {
  if (!file_) return;
  const auto me = ownerOf(processes_, ::getpid());
  if (!me) return;
  std::error_code ignored;
  std::filesystem::create_directories(file_->parent_path(), ignored);
  std::filesystem::permissions(file_->parent_path(), std::filesystem::perms::owner_all, ignored);
  // Written whole under another name, then put in place: a reader never
  // sees half a record.
  const auto next = std::filesystem::path(file_->string() + ".next");
  {
    std::ofstream out(next, std::ios::trunc);
    out.precision(17);
    out << me->pid << ' ' << me->launched << '\n';
    if (!out) return;
  }
  std::filesystem::rename(next, *file_, ignored);
}

void SwitchRecord::putBack() const {
  if (!file_) return;
  std::error_code ignored;
  std::filesystem::remove(*file_, ignored);
}

bool SwitchRecord::leftOnByAGoneAgent() const {
  if (!file_) return false;
  std::ifstream in(*file_);
  if (!in) return false;
  std::string line;
  std::getline(in, line);
  std::istringstream fields(line);
  long long pid = 0;
  double launched = 0;
  if (!(fields >> pid >> launched) || pid <= 0 || pid > INT32_MAX) return true;  // spoilt: nobody can own it
  const auto now = ownerOf(processes_, static_cast<Pid>(pid));
  // The same process still runs when it started at the same moment (within
  // the clock ticks /proc counts in).
  return !now || std::fabs(now->launched - launched) > 0.05;
}

}  // namespace zel::platform::atspi
