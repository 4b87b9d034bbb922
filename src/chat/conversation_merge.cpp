// Folding overlapping captures of one chat into one conversation.

#include <map>

#include "chat/conversation.h"
#include "base/unicode_text.h"

namespace zel {

namespace {

int64_t saturatingAdd(int64_t a, int64_t b) {
  int64_t r;
  if (!__builtin_add_overflow(a, b, &r)) return r;
  return b > 0 ? INT64_MAX : INT64_MIN;
}

int64_t saturatingSub(int64_t a, int64_t b) {
  int64_t r;
  if (!__builtin_sub_overflow(a, b, &r)) return r;
  return b < 0 ? INT64_MAX : INT64_MIN;
}

}  // namespace

std::vector<Turn> Conversation::mergeByContent(const std::vector<Turn>& earlier, const std::vector<Turn>& later) {
  if (earlier.empty()) return later;
  if (later.empty()) return earlier;
  std::vector<Turn> e = earlier;

  // Texts are compared by canonical equivalence: decompose each once.
  std::vector<std::string> eText, lText;
  for (const Turn& t : earlier) eText.push_back(decomposed(t.text));
  for (const Turn& t : later) lText.push_back(decomposed(t.text));
  auto matches = [&](size_t ei, size_t li) {
    if (earlier[ei].role != later[li].role) return false;
    if (eText[ei].empty() || lText[li].empty()) return eText[ei].empty() && lText[li].empty();
    return oneBeginsWithOther(eText[ei], lText[li]);
  };

  std::vector<std::optional<size_t>> matched(later.size());
  size_t cursor = 0;
  for (size_t li = 0; li < later.size(); ++li)
    for (size_t ei = cursor; ei < earlier.size(); ++ei)
      if (matches(ei, li)) {
        matched[li] = ei;
        cursor = ei + 1;
        break;
      }
  for (size_t li = 0; li < later.size(); ++li)
    if (matched[li] && characterCount(later[li].text) >= characterCount(e[*matched[li]].text)) e[*matched[li]] = later[li];

  std::map<size_t, std::vector<Turn>> inserts;  // placed before e[k]; k == e.size(): after the last
  std::vector<Turn> pending;
  std::optional<size_t> anchor;
  auto place = [&](std::optional<size_t> next) {
    if (pending.empty()) return;
    const size_t low = anchor ? *anchor + 1 : 0;
    const size_t high = next ? *next : e.size();
    const size_t fallback = next ? *next : anchor ? low : e.size();
    size_t key = fallback;
    if (pending.front().position && low < high) {
      bool anyPosition = false;
      std::optional<size_t> found;
      for (size_t k = low; k < high; ++k) {
        if (!e[k].position) continue;
        anyPosition = true;
        if (*e[k].position > *pending.front().position) {
          found = k;
          break;
        }
      }
      key = found ? *found : anyPosition ? high : fallback;
    }
    auto& list = inserts[key];
    list.insert(list.end(), pending.begin(), pending.end());
    pending.clear();
  };
  for (size_t li = 0; li < later.size(); ++li) {
    if (!matched[li]) {
      pending.push_back(later[li]);
      continue;
    }
    place(matched[li]);
    anchor = matched[li];
  }
  place(std::nullopt);

  std::vector<Turn> out;
  out.reserve(e.size() + later.size());
  for (size_t k = 0; k <= e.size(); ++k) {
    if (auto it = inserts.find(k); it != inserts.end()) out.insert(out.end(), it->second.begin(), it->second.end());
    if (k < e.size()) out.push_back(std::move(e[k]));
  }
  return out;
}

Conversation Conversation::merged(const Conversation& later) const {
  Conversation result = later;
  std::vector<Turn> earlierTurns = turns;
  if (totalTurns && later.totalTurns && *totalTurns != *later.totalTurns) {
    // Positions count from the chat's start: when the total moved, so did
    // every earlier position. Never beyond what 64 bits hold.
    const int64_t shift = saturatingSub(*later.totalTurns, *totalTurns);
    for (Turn& t : earlierTurns)
      if (t.position) t.position = saturatingAdd(*t.position, shift);
  }
  result.turns = mergeByContent(earlierTurns, later.turns);
  result.totalTurns = later.totalTurns ? later.totalTurns : totalTurns;
  return result;
}

std::vector<Conversation> SessionMerge::merge(const std::vector<Conversation>& captures) {
  std::map<std::string, Conversation> byKey;
  std::vector<std::string> order;
  for (const Conversation& c : captures) {
    std::string key = c.chatKey();
    auto it = byKey.find(key);
    if (it == byKey.end()) {
      order.push_back(key);
      byKey.emplace(std::move(key), c);
    } else {
      it->second = it->second.merged(c);
    }
  }
  std::vector<Conversation> out;
  for (const auto& key : order) out.push_back(std::move(byKey.at(key)));
  return out;
}

}  // namespace zel
