// Folding overlapping captures of one chat into one conversation.

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "chat/conversation.h"
#include "base/unicode_text.h"

namespace zel::chat {

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

// Where a later turn may match among the earlier ones. A match needs one
// text to begin with the other, so it needs their bytes to agree up to the
// shorter length: earlier turns are found by hashes of byte prefixes (of
// their whole text, and of their first n bytes for every length n a later
// text has), and every candidate is then checked by the rule itself. Work
// grows with the texts' lengths, not with the product of the turn counts.
class MatchIndex {
 public:
  MatchIndex(const std::vector<Turn>& earlier, const std::vector<std::string>& eText, const std::vector<Turn>& later,
             const std::vector<std::string>& lText)
      : later_(later), lText_(lText) {
    std::set<size_t> laterLengths;
    for (const auto& t : lText) laterLengths.insert(t.size());
    for (size_t ei = 0; ei < earlier.size(); ++ei) {
      const std::string& text = eText[ei];
      const auto role = earlier[ei].role;
      uint64_t h = 0;
      auto length = laterLengths.begin();
      for (size_t n = 0; n <= text.size(); ++n) {
        // h is the hash of the first n bytes.
        while (length != laterLengths.end() && *length < n) ++length;
        if (n == text.size()) {
          whole_[{role, n, h}].push_back(ei);
          if (n > 0) earlierLengths_.insert(n);
        } else if (length != laterLengths.end() && *length == n && n > 0) {
          begins_[{role, n, h}].push_back(ei);
        }
        if (n < text.size()) h = step(h, text[n]);
      }
    }
  }

  // The first earlier turn at or after `cursor` that later turn `li` matches.
  template <class Matches>
  std::optional<size_t> first(size_t li, size_t cursor, const Matches& matches) const {
    const std::string& text = lText_[li];
    const auto role = later_[li].role;
    std::optional<size_t> best;
    auto consider = [&](const std::vector<size_t>* candidates) {
      if (!candidates) return;
      for (auto it = std::lower_bound(candidates->begin(), candidates->end(), cursor); it != candidates->end(); ++it) {
        if (best && *it >= *best) return;
        if (matches(*it, li)) {
          best = *it;
          return;
        }
      }
    };
    if (text.empty()) {
      consider(find(whole_, {role, 0, 0}));
      return best;
    }
    uint64_t h = 0;
    auto length = earlierLengths_.begin();
    for (size_t n = 1; n <= text.size(); ++n) {
      h = step(h, text[n - 1]);
      if (length == earlierLengths_.end() || *length != n) continue;
      ++length;
      consider(find(whole_, {role, n, h}));  // an earlier text this one begins with
    }
    consider(find(begins_, {role, text.size(), h}));  // earlier texts that begin with this one
    return best;
  }

 private:
  struct Key {
    Turn::Role role;
    size_t length;
    uint64_t hash;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      return static_cast<size_t>(k.hash ^ (k.length * 0x9E3779B97F4A7C15ull) ^ static_cast<uint64_t>(k.role));
    }
  };
  using Table = std::unordered_map<Key, std::vector<size_t>, KeyHash>;

  static uint64_t step(uint64_t h, char c) { return h * 1099511628211ull + static_cast<unsigned char>(c) + 1; }
  static const std::vector<size_t>* find(const Table& table, const Key& key) {
    auto it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
  }

  const std::vector<Turn>& later_;
  const std::vector<std::string>& lText_;
  std::set<size_t> earlierLengths_;
  Table whole_;   // by the hash of an earlier text
  Table begins_;  // by the hash of an earlier text's first n bytes, for later lengths n
};

}  // namespace

std::vector<std::optional<size_t>> Conversation::matchedTurns(const std::vector<Turn>& earlier,
                                                              const std::vector<Turn>& later) {
  // Texts are compared by canonical equivalence: decompose each once.
  std::vector<std::string> eText, lText;
  eText.reserve(earlier.size());
  lText.reserve(later.size());
  for (const Turn& t : earlier) eText.push_back(decomposed(t.text));
  for (const Turn& t : later) lText.push_back(decomposed(t.text));
  auto matches = [&](size_t ei, size_t li) {
    if (earlier[ei].role != later[li].role) return false;
    if (eText[ei].empty() || lText[li].empty()) return eText[ei].empty() && lText[li].empty();
    return oneBeginsWithOther(eText[ei], lText[li]);
  };

  // Each later turn matches the first earlier turn at or after the cursor
  // that it matches at all; the index finds it without trying every one.
  const MatchIndex index(earlier, eText, later, lText);
  std::vector<std::optional<size_t>> matched(later.size());
  size_t cursor = 0;
  for (size_t li = 0; li < later.size(); ++li)
    if (auto ei = index.first(li, cursor, matches)) {
      matched[li] = ei;
      cursor = *ei + 1;
    }
  return matched;
}

std::vector<Turn> Conversation::mergeByContent(const std::vector<Turn>& earlier, const std::vector<Turn>& later) {
  if (earlier.empty()) return later;
  if (later.empty()) return earlier;
  std::vector<Turn> e = earlier;
  const std::vector<std::optional<size_t>> matched = matchedTurns(earlier, later);
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

}  // namespace zel::chat
