#include "platform/atspi/executable_trust.h"

#include <sys/stat.h>

namespace zel::platform::atspi {

namespace fs = std::filesystem;

namespace {
constexpr unsigned othersMayWrite = S_IWGRP | S_IWOTH;
}

FileFacts inspectFile(const fs::path& path) {
  struct stat s{};
  FileFacts f;
  if (::stat(path.c_str(), &s) != 0) return f;
  f.exists = true;
  f.regular = S_ISREG(s.st_mode);
  f.directory = S_ISDIR(s.st_mode);
  f.uid = s.st_uid;
  f.mode = s.st_mode;
  f.device = s.st_dev;
  f.inode = s.st_ino;
  return f;
}

SignatureVerdict executableVerdict(const std::string& linkTarget, const FileFacts& running, const Inspect& inspect) {
  if (!running.exists || linkTarget.empty() || linkTarget.front() != '/') return SignatureVerdict::refused;
  if (linkTarget.ends_with(" (deleted)")) return SignatureVerdict::changedOnDisk;
  const FileFacts onDisk = inspect(linkTarget);
  if (!onDisk.exists || onDisk.device != running.device || onDisk.inode != running.inode)
    return SignatureVerdict::changedOnDisk;
  if (!running.regular || running.uid != 0 || (running.mode & othersMayWrite)) return SignatureVerdict::refused;
  for (fs::path dir = fs::path(linkTarget).parent_path();; dir = dir.parent_path()) {
    const FileFacts d = inspect(dir);
    if (!d.exists || !d.directory || d.uid != 0 || (d.mode & othersMayWrite)) return SignatureVerdict::refused;
    if (dir == dir.root_path() || dir.empty()) break;
  }
  return SignatureVerdict::vendors;
}

SignatureVerdict ExecutableTrust::verdict(Pid pid, const std::string&) {
  const fs::path exe = proc_ / std::to_string(pid) / "exe";
  std::error_code ec;
  const std::string target = fs::read_symlink(exe, ec).string();
  if (ec) return SignatureVerdict::refused;
  // Through /proc, stat reaches the file the process runs even when its
  // path now names another.
  return executableVerdict(target, inspectFile(exe), inspectFile);
}

}  // namespace zel::platform::atspi
