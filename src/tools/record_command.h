#pragma once
// zel-capture record: the live windows of a running application as recorded
// trees, read exactly as the agent's snapshot reads them.

#include <iosfwd>
#include <optional>
#include <string>

#include "tools/capture_tool.h"

namespace zel::tools {

struct RecordRequest {
  std::string bundleID;
  // The user's own LinkedIn slug or X handle: its profile pages may be
  // recorded. No other profile page ever is.
  std::optional<std::string> own;
  bool scrub = false;
  // Read again on each line of this stream, until it ends, with what the
  // backend keeps between reads; each read's trees are followed by an empty
  // line. Null: one read.
  std::istream* eachLine = nullptr;
};

// Prints one tree per readable window; returns the exit status (0, or 2 when
// the application could not be read, with one line on `err`; with
// `eachLine`, when its last read could not).
int record(const RecordRequest& request, const ToolEnvironment& environment, std::ostream& out, std::ostream& err);

}  // namespace zel::tools
