#pragma once
// The application one read is about, resolved once at the start of the read
// and handed to every step of it: its table rows, the vendor's process that
// passed the signature check, its application element, and (for a browser)
// the language its interface speaks. No step looks any of it up again.

#include <optional>
#include <string>

#include "browsers/known_app.h"
#include "platform/accessibility.h"
#include "platform/workspace.h"

namespace zel::snapshot {

struct Target {
  browsers::KnownApp known;
  platform::RunningApp process;
  platform::AXElement application;
  std::optional<std::string> language;  // browsers only: the first of its interface languages
};

}  // namespace zel::snapshot
