#pragma once
// zel-capture explain: one read of each target as zel-ax serve with the same
// options would make it, telling for every application and window what
// happened and why. It reads exactly what the agent would read.

#include <iosfwd>
#include <optional>
#include <set>
#include <string>

#include "tools/capture_tool.h"

namespace zel::tools {

struct ExplainRequest {
  std::optional<std::string> app;      // one target; all without
  std::set<std::string> chatBrowsers;  // as --chat-browsers
  std::set<std::string> profileSites;  // as --profiles
};

int explain(const ExplainRequest& request, const ToolEnvironment& environment, std::ostream& out, std::ostream& err);

}  // namespace zel::tools
