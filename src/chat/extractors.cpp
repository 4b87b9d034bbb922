#include "chat/extractors.h"

#include "browsers/browsers.h"
#include "browsers/chat_apps.h"
#include "chat/browser_extractor.h"
#include "chat/chatgpt/chatgpt_extractor.h"
#include "chat/claude/claude_extractor.h"
#include "chat/chatgpt/codex_identity.h"
#include "chat/own_chat_only.h"

namespace zel::chat::Extractors {

Tables build(const CaptureClock& clock, System system) {
  Tables t;
  for (const browsers::ChatApp& app : browsers::ChatApps::all()) {
    std::shared_ptr<const Extractor> reader;
    // The Codex app shows ChatGPT conversations, named by their thread.
    if (app.chat == "chatgpt")
      reader = std::make_shared<IdentifiedChatGPTExtractor>(ChatGPTExtractor(Source::chatGPTApp, clock),
                                                            CodexIdentity::live());
    else reader = std::make_shared<ClaudeExtractor>(Source::claudeApp, clock);
    t.apps[app.bundleID] = std::make_shared<OwnChatOnly>(std::move(reader));
  }
  t.byBundleID = t.apps;
  for (const browsers::Browser* b : browsers::Browsers::read(system)) {
    auto extractor = std::make_shared<BrowserExtractor>(*b, clock);
    if (t.byBundleID.try_emplace(b->bundleID, extractor).second) t.browsers.emplace(b->bundleID, std::move(extractor));
  }
  return t;
}

namespace {
const Tables& shared(System system) {
  static const Tables macOS = build(CaptureClock::system(), System::macOS);
  static const Tables linuxTables = build(CaptureClock::system(), System::Linux);
  return system == System::macOS ? macOS : linuxTables;
}
}  // namespace

const ExtractorTable& apps() { return shared(System::macOS).apps; }
const ExtractorTable& byBundleID(System system) { return shared(system).byBundleID; }
const BrowserExtractorTable& browsers(System system) { return shared(system).browsers; }

}  // namespace zel::chat::Extractors
