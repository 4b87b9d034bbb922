#include "agent/reader.h"

namespace zel::agent {

Reader::Reader(ReaderConfig config, SharedObjects shared, const AXSnapshotter& snapshotter, std::function<Date()> now)
    : config_(std::move(config)), shared_(shared), snapshotter_(snapshotter), now_(std::move(now)) {}

void Reader::run() {
  while (true) cycle();
}

void Reader::waitUntilDue() {
  while (true) {
    const uint64_t g = shared_.wake.generation();
    const Date now = now_();
    const bool isFront = shared_.front.is(config_.bundleID);
    const double idle = shared_.presence.idleSeconds();
    // Profile reading feeds its own pace here (fast reads of fresh pages,
    // wanted reads after an arm request) once it runs in the reader.
    const std::optional<double> fast;
    const bool wanted = false;
    const auto next = pace_.next(now, shared_.presence.session(), shared_.schedule, isFront, idle,
                                 gate_.heartbeatDue(), fast, gate_.unchanged(), wanted);
    if (next.kind == ReaderPace::Next::Kind::read) return;
    shared_.wake.wait(next.until, g);
  }
}

void Reader::cycle() {
  waitUntilDue();
  const Date readTime = now_();
  pace_.reading(readTime, shared_.presence.session(), shared_.front.is(config_.bundleID));

  // Profile preparation goes here (revisions, resting pages).

  const AXSnapshotter::PageFilter* page = config_.pageFilter ? &*config_.pageFilter : nullptr;
  auto result = snapshotter_.snapshot(config_.bundleID, page, nullptr);
  ReadStatus status = ReadStatus::ok;
  std::vector<AXNode> windows;
  if (auto* error = std::get_if<SnapshotError>(&result)) status = readStatus(*error);
  else windows = std::move(std::get<std::vector<AXNode>>(result));

  // The profile path goes here, over the same windows.

  if (config_.chatAllowed) {
    std::vector<Conversation> chats;
    for (const AXNode& window : windows)
      if (auto c = config_.extractor->extract(window)) chats.push_back(std::move(*c));
    if (gate_.shouldPrint(chats, status, readTime)) shared_.printer.emit(config_.bundleID, readTime, status, chats);
  }
  // Everything read in this cycle is released here, at the end of its scope.
}

}  // namespace zel::agent
