#pragma once
// zel-capture show: the agent's output lines as a person reads them: each
// target, its chats with their turns a line each (long texts shortened at a
// word), profile reads and statuses.

#include <iosfwd>
#include <string>
#include <string_view>

namespace zel::tools {

// One agent line as text of one or more lines, each ending in a line feed;
// a line that is not the agent's is shown as it came.
std::string shownLine(std::string_view line, size_t width = 76);

// Text shortened to at most `width` bytes at a word, with "…" where it was
// cut; line breaks become spaces.
std::string shortened(std::string_view text, size_t width);

}  // namespace zel::tools
