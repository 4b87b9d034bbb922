#include "capture/extractors.h"

#include "capture/browsers.h"
#include "capture/chat_page.h"
#include "capture/chatgpt_extractor.h"
#include "capture/claude_extractor.h"

namespace zel::Extractors {

Tables build(const CaptureClock& clock) {
  Tables t;
  // The Codex app shows ChatGPT conversations; its own identity reading
  // wraps in here once thread identities are known.
  t.apps["com.openai.codex"] =
      std::make_shared<OwnChatOnly>(std::make_shared<ChatGPTExtractor>(Source::chatGPTApp, clock));
  t.apps["com.anthropic.claudefordesktop"] =
      std::make_shared<OwnChatOnly>(std::make_shared<ClaudeExtractor>(Source::claudeApp, clock));
  t.byBundleID = t.apps;
  for (const Browser* b : Browsers::read()) t.byBundleID.try_emplace(b->bundleID, std::make_shared<BrowserExtractor>(*b, clock));
  return t;
}

namespace {
const Tables& shared() {
  static const Tables tables = build(CaptureClock::system());
  return tables;
}
}  // namespace

const ExtractorTable& apps() { return shared().apps; }
const ExtractorTable& byBundleID() { return shared().byBundleID; }

}  // namespace zel::Extractors
