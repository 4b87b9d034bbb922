#include "capture/extractors.h"

#include "capture/browsers.h"
#include "capture/chat_page.h"
#include "capture/chatgpt_extractor.h"
#include "capture/claude_extractor.h"
#include "capture/codex_identity.h"

namespace zel::Extractors {

Tables build(const CaptureClock& clock) {
  Tables t;
  // The Codex app shows ChatGPT conversations, named by their thread.
  t.apps["com.openai.codex"] = std::make_shared<OwnChatOnly>(std::make_shared<IdentifiedChatGPTExtractor>(
      ChatGPTExtractor(Source::chatGPTApp, clock), CodexIdentity::live()));
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
