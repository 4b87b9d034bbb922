#include "chat/chat_sites.h"

#include "chat/chatgpt/chatgpt_extractor.h"
#include "chat/chatgpt/chatgpt_page.h"
#include "chat/claude/claude_extractor.h"
#include "chat/claude/claude_page.h"
#include "chat/grok/grok_extractor.h"
#include "chat/grok/grok_page.h"

namespace zel::chat::ChatSites {

const std::vector<ChatSite>& all() {
  static const std::vector<ChatSite> rows{
      {"claude", Source::claudeWeb, Source::claudeApp, ClaudePage::conversation,
       [](const CaptureClock& clock) -> std::unique_ptr<Extractor> {
         return std::make_unique<ClaudeExtractor>(Source::claudeWeb, clock);
       }},
      {"chatgpt", Source::chatGPTWeb, std::nullopt, ChatGPTPage::conversation,
       [](const CaptureClock& clock) -> std::unique_ptr<Extractor> {
         return std::make_unique<ChatGPTExtractor>(Source::chatGPTWeb, clock);
       }},
      {"grok", Source::grokWeb, std::nullopt, GrokPage::conversation,
       [](const CaptureClock& clock) -> std::unique_ptr<Extractor> { return std::make_unique<GrokExtractor>(clock); }},
  };
  return rows;
}

const ChatSite* showing(Source source) {
  for (const ChatSite& site : all())
    if (site.source == source || site.appSource == source) return &site;
  return nullptr;
}

}  // namespace zel::chat::ChatSites
