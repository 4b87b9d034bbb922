#pragma once
// Which applications the agent reads, and with which extractor: the desktop
// chat applications, and every browser of the system that reads chats or
// profiles.

#include <map>
#include <memory>
#include <string>

#include "base/capture_clock.h"
#include "chat/browser_extractor.h"
#include "chat/conversation.h"
#include "base/system.h"

namespace zel::chat {

using ExtractorTable = std::map<std::string, std::shared_ptr<const Extractor>>;
using BrowserExtractorTable = std::map<std::string, std::shared_ptr<const BrowserExtractor>>;

namespace Extractors {

struct Tables {
  ExtractorTable apps;        // the desktop chat applications
  ExtractorTable byBundleID;  // those and the browsers
  BrowserExtractorTable browsers;  // the browsers' extractors again, as what they are: the pages they read
};

// Built from the tables of known applications, stamped by `clock`.
Tables build(const CaptureClock& clock, System system);

// The tables on the wall clock, built once per system on first use, from any
// thread, and never changed.
const ExtractorTable& apps();
const ExtractorTable& byBundleID(System system);
const BrowserExtractorTable& browsers(System system);

}  // namespace Extractors

}  // namespace zel::chat
