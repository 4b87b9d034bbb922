#include "chat/chat_sites.h"

#include "chat/chatgpt_extractor.h"
#include "chat/claude_extractor.h"
#include "chat/grok_extractor.h"

namespace zel::ChatSites {

const std::vector<ChatSite>& all() {
  static const std::vector<ChatSite> rows{
      {"claude", Source::claudeWeb,
       [](const CaptureClock& clock) -> std::unique_ptr<Extractor> {
         return std::make_unique<ClaudeExtractor>(Source::claudeWeb, clock);
       }},
      {"chatgpt", Source::chatGPTWeb,
       [](const CaptureClock& clock) -> std::unique_ptr<Extractor> {
         return std::make_unique<ChatGPTExtractor>(Source::chatGPTWeb, clock);
       }},
      {"grok", Source::grokWeb,
       [](const CaptureClock& clock) -> std::unique_ptr<Extractor> { return std::make_unique<GrokExtractor>(clock); }},
  };
  return rows;
}

}  // namespace zel::ChatSites
