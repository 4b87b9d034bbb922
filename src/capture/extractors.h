#pragma once
// Which applications the agent reads, and with which extractor.

#include <map>
#include <memory>
#include <string>

#include "capture/capture_clock.h"
#include "capture/conversation.h"

namespace zel {

using ExtractorTable = std::map<std::string, std::shared_ptr<const Extractor>>;

namespace Extractors {

// The desktop chat applications.
const ExtractorTable& apps();
// The desktop applications and every browser that reads chats or profiles.
// Built once, on first use, from any thread.
const ExtractorTable& byBundleID();

// The same two tables, stamped by another clock (tests and tools).
struct Tables {
  ExtractorTable apps;
  ExtractorTable byBundleID;
};
Tables build(const CaptureClock& clock);

}  // namespace Extractors

}  // namespace zel
