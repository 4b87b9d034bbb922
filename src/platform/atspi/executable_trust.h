#pragma once
// Linux has no code signatures. What stands in for one: a process is trusted
// when the file it runs could only have been put there by the system's
// administrator — a regular file owned by root that neither its group nor
// others may write, in directories up to the root that are root's and that
// neither group nor others may write — and when that file is still the one
// the process started from (not deleted, not replaced). A browser a user
// installed in their home folder, or a copy anybody could have altered, is
// refused as a wrong signature would be.

#include <filesystem>
#include <functional>
#include <string>

#include "platform/code_signing.h"

namespace zel::platform::atspi {

// The owner and mode of a file; the seam for tests.
struct FileFacts {
  bool exists = false;
  bool regular = false;
  bool directory = false;
  unsigned uid = 0;
  unsigned mode = 0;
  unsigned long long device = 0, inode = 0;
};
using Inspect = std::function<FileFacts(const std::filesystem::path&)>;
FileFacts inspectFile(const std::filesystem::path& path);

// The verdict on an executable given what /proc tells: the path the process
// runs (its "exe" link's target) and the facts of the file it runs.
SignatureVerdict executableVerdict(const std::string& linkTarget, const FileFacts& running, const Inspect& inspect);

class ExecutableTrust : public CodeSigning {
 public:
  explicit ExecutableTrust(std::filesystem::path proc = "/proc") : proc_(std::move(proc)) {}
  // The requirement names a macOS identity; here only the file counts.
  SignatureVerdict verdict(Pid pid, const std::string& requirement) override;

 private:
  std::filesystem::path proc_;
};

}  // namespace zel::platform::atspi
