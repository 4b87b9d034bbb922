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
      {"claude", Source::claudeWeb, Source::claudeApp, ClaudePage::conversation, {Source::claudeApp, Source::claudeWeb},
       [](Source source, const CaptureClock& clock) -> std::unique_ptr<Extractor> {
         return std::make_unique<ClaudeExtractor>(source, clock);
       }},
      {"chatgpt", Source::chatGPTWeb, std::nullopt, ChatGPTPage::conversation,
       {Source::chatGPTApp, Source::chatGPTWeb},
       [](Source source, const CaptureClock& clock) -> std::unique_ptr<Extractor> {
         return std::make_unique<ChatGPTExtractor>(source, clock);
       }},
      {"grok", Source::grokWeb, std::nullopt, GrokPage::conversation, {},
       [](Source, const CaptureClock& clock) -> std::unique_ptr<Extractor> {
         return std::make_unique<GrokExtractor>(clock);
       }},
  };
  return rows;
}

const ChatSite* showing(Source source) {
  for (const ChatSite& site : all())
    if (site.source == source || site.appSource == source) return &site;
  return nullptr;
}

const ChatSite* named(std::string_view name) {
  for (const ChatSite& site : all())
    if (site.name == name) return &site;
  return nullptr;
}

}  // namespace zel::chat::ChatSites
