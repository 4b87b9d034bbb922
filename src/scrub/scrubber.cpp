#include "scrub/scrubber.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <boost/url/encode.hpp>
#include <boost/url/parse.hpp>
#include <boost/url/rfc/pchars.hpp>
#include <boost/url/url_view.hpp>

#include <algorithm>
#include <memory>

#include "base/ax_vocabulary.h"
#include "base/unicode_text.h"
#include "profile/profile_page.h"
#include "profile/profile_sites.h"

namespace zel::scrub {

namespace {

constexpr std::string_view alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";

UChar32 firstCodePoint(std::string_view s) {
  int32_t i = 0;
  UChar32 c = 0;
  U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, static_cast<int32_t>(s.size()), c);
  return c;
}

std::unique_ptr<icu::RegexPattern> compiled(const char* expression) {
  UErrorCode status = U_ZERO_ERROR;
  UParseError where;
  std::unique_ptr<icu::RegexPattern> p(icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(expression), where, status));
  if (U_FAILURE(status)) p.reset();
  return p;
}

const icu::RegexPattern* keptSegment() {
  static const auto p = compiled(R"(^[a-z]+(-[a-z]+)*(_\d+)+$)");
  return p.get();
}

const icu::RegexPattern* imageSuffix() {
  static const auto p = compiled(R"(_\d+x\d+\.(jpg|jpeg|png)$)");
  return p.get();
}


}  // namespace

const profile::ProfileScrubbing::Words& Scrubber::fixedWords() {
  static const profile::ProfileScrubbing::Words words = [] {
    profile::ProfileScrubbing::Words all;
    for (const profile::ProfileSite& row : profile::ProfileSites::all())
      for (std::string_view word : row.scrubbing.keptWords()) all.emplace(word);
    return all;
  }();
  return words;
}

std::string Scrubber::mask(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::string_view ch : graphemes(text)) {
    const UChar32 c = firstCodePoint(ch);
    if (c < 0) {
      out += 'x';
    } else if (u_isUWhiteSpace(c) || (U_GET_GC_MASK(c) & U_GC_P_MASK)) {
      out += ch;
    } else if (u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE) {
      out += '0';
    } else if (u_hasBinaryProperty(c, UCHAR_UPPERCASE)) {
      out += 'X';
    } else {
      out += 'x';
    }
  }
  return out;
}

// ---- keys and masks ----

Scrubber::Scrubber(const std::vector<const trees::AXNode*>& windows) {
  ready_ = RAND_bytes(key_.data(), static_cast<int>(key_.size())) == 1;
  for (const trees::AXNode* t : windows) collect(*t);
  // Longest named texts first, so that a name inside a longer one never
  // breaks the longer one's replacement.
  for (const auto* map : {&members_, &slugs_, &handles_})
    for (const auto& [text, name] : *map)
      if (characterCount(text) >= 3) replacements_.emplace_back(text, name);
  std::stable_sort(replacements_.begin(), replacements_.end(), [](const auto& a, const auto& b) {
    return characterCount(a.first) > characterCount(b.first);
  });
}

Scrubber::~Scrubber() { OPENSSL_cleanse(key_.data(), key_.size()); }

std::vector<uint8_t> Scrubber::derived(std::string_view s, int i, size_t characters) {
  auto hmac = [&](const std::string& message, std::vector<uint8_t>& out) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()), reinterpret_cast<const unsigned char*>(message.data()),
         message.size(), digest, &length);
    out.insert(out.end(), digest, digest + length);
  };
  std::vector<uint8_t> bytes;
  hmac(std::to_string(i) + ":" + std::string(s), bytes);
  while (bytes.size() < characters) hmac(std::to_string(bytes.size() + static_cast<size_t>(i)) + ":" + std::string(s) + "+", bytes);
  return bytes;
}

std::string Scrubber::opaqueMask(std::string_view s) {
  if (auto it = opaque_.find(s); it != opaque_.end()) return it->second;
  const auto chars = graphemes(s);
  std::string candidate;
  for (int i = 0;; ++i) {
    const auto bytes = derived(s, i, chars.size());
    candidate.clear();
    for (size_t k = 0; k < chars.size(); ++k) {
      if (chars[k] == "-" || chars[k] == "_" || chars[k] == ".") candidate += chars[k];
      else candidate += alphabet[bytes[k] % alphabet.size()];
    }
    if (!used_.contains(candidate) || i + 1 >= attemptsBeforeSharing) break;
  }
  used_.insert(candidate);
  opaque_.emplace(std::string(s), candidate);
  return candidate;
}

std::string Scrubber::digitMask(std::string_view s) {
  if (auto it = numbers_.find(s); it != numbers_.end()) return it->second;
  const size_t n = characterCount(s);
  std::string candidate;
  for (int i = 0;; ++i) {
    const auto bytes = derived(s, i, n);
    candidate.clear();
    for (size_t k = 0; k < n; ++k) {
      const int digit = k == 0 ? (n == 1 ? bytes[0] % 10 : bytes[0] % 9 + 1) : bytes[k] % 10;
      candidate += static_cast<char>('0' + digit);
    }
    if ((!used_.contains(candidate) && candidate != s) || i + 1 >= attemptsBeforeSharing) break;
  }
  used_.insert(candidate);
  numbers_.emplace(std::string(s), candidate);
  return candidate;
}

// ---- naming ----

void Scrubber::nameSlug(std::string_view text) {
  const std::string k = lowercased(text);
  std::string name;
  if (auto it = slugs_.find(k); it != slugs_.end()) name = it->second;
  else name = "slug-" + std::to_string(++slugNames_);
  slugs_[k] = name;
  slugs_[std::string(text)] = name;
}

void Scrubber::nameHandle(std::string_view text) {
  const std::string k = lowercased(text);
  std::string name;
  if (auto it = handles_.find(k); it != handles_.end()) name = it->second;
  else name = "handle_" + std::to_string(++handleNames_);
  handles_[k] = name;
  handles_[std::string(text)] = name;
}

void Scrubber::nameMember(std::string_view text) {
  if (text.empty() || members_.contains(text) || slugs_.contains(text)) return;
  members_.emplace(std::string(text), "member-" + std::to_string(members_.size() + 1));
}

void Scrubber::collect(const trees::AXNode& tree) {
  const auto& sites = profile::ProfileSites::all();
  forEachPreorder(tree, [&](const trees::AXNode& n) {
    if (n.url)
      if (const auto lp = profile::LinkPath::parse(*n.url)) {
        for (const profile::ProfileSite& site : sites) {
          const profile::ProfileScrubbing& rules = site.scrubbing;
          if (const auto person = rules.personOfLink(*lp, fixedWords()))
            rules.person == profile::ProfileScrubbing::Person::slug ? nameSlug(*person) : nameHandle(*person);
        }
        for (const auto& seg : lp->segments)
          for (const profile::ProfileSite& site : sites)
            if (site.scrubbing.memberOfSegment)
              if (const auto member = site.scrubbing.memberOfSegment(seg)) nameMember(*member);
      }
    if (n.domID)
      for (const profile::ProfileSite& site : sites)
        if (site.scrubbing.memberOfID)
          if (const auto member = site.scrubbing.memberOfID(*n.domID)) nameMember(*member);
    return true;
  });
}

// ---- scrubbing ----

std::string Scrubber::replaceIDs(std::string text, bool digits) {
  for (const auto& [named, name] : replacements_)
    for (size_t at = text.find(named); at != std::string::npos; at = text.find(named, at + name.size()))
      text.replace(at, named.size(), name);
  if (!digits) return text;
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] < '0' || text[i] > '9') {
      out += text[i++];
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    const std::string_view run(text.data() + i, end - i);
    out += run.size() > 3 ? digitMask(run) : std::string(run);
    i = end;
  }
  return out;
}

std::string Scrubber::segment(std::string_view s) {
  if (fixedWords().contains(s)) return std::string(s);
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
  UErrorCode status = U_ZERO_ERROR;
  if (keptSegment()) {
    std::unique_ptr<icu::RegexMatcher> m(keptSegment()->matcher(text, status));
    if (U_SUCCESS(status) && m->matches(status) && U_SUCCESS(status)) return std::string(s);
  }
  if (isAllNumeric(s)) return digitMask(s);
  if (imageSuffix()) {
    status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> m(imageSuffix()->matcher(text, status));
    if (U_SUCCESS(status) && m->find(status) && U_SUCCESS(status)) {
      std::string before, matched;
      text.tempSubString(0, m->start(status)).toUTF8String(before);
      text.tempSubString(m->start(status)).toUTF8String(matched);
      return opaqueMask(before) + matched;
    }
  }
  if (s.find('(') != std::string_view::npos && s.find(',') != std::string_view::npos) return replaceIDs(std::string(s), true);
  return opaqueMask(s);
}

std::string Scrubber::address(std::string_view text, bool isPage, bool profileSite) {
  const auto lp = profileSite ? profile::LinkPath::parse(text) : std::nullopt;
  const profile::ProfileSite* site = lp ? profile::ProfileSites::ofAnyHost(lp->host) : nullptr;
  if (site) {
    const profile::ProfileScrubbing& rules = site->scrubbing;
    const bool webHost = lp->host == site->host;
    const auto& people = rules.person == profile::ProfileScrubbing::Person::slug ? slugs_ : handles_;
    std::string path;
    for (size_t i = 0; i < lp->segments.size(); ++i) {
      const std::string& seg = lp->segments[i];
      std::string masked;
      if (webHost && rules.namesPerson(lp->segments, i)) {
        if (auto it = people.find(seg); it != people.end()) masked = it->second;
        else if (auto lower = people.find(lowercased(seg)); lower != people.end()) masked = lower->second;
        else masked = rules.unknownPersonOpaque ? opaqueMask(seg) : segment(seg);
      } else {
        masked = segment(seg);
      }
      // Characters a path segment may hold as they are (with "/"); the
      // rest, and all non-ASCII, as escapes of their UTF-8 bytes.
      path += "/" + boost::urls::encode(masked, boost::urls::pchars + '/');
    }
    const std::string_view beforeQuery = text.substr(0, text.find('?'));
    if (path.empty()) path = "/";
    else if (beforeQuery.ends_with('/')) path += "/";
    std::string query;
    if (!webHost && !rules.imageQueryKept.empty()) {
      const std::string key = std::string(rules.imageQueryKept) + "=";
      for (size_t start = 0; start <= lp->query.size();) {
        const size_t end = std::min(lp->query.find('&', start), lp->query.size());
        if (std::string_view(lp->query).substr(start, end - start).starts_with(key)) {
          query = "?" + key + std::string(fakeExpiry);
          break;
        }
        start = end + 1;
      }
    }
    return "https://" + lp->host + path + query;
  }
  if (isPage) {
    auto parsed = boost::urls::parse_uri_reference(boost::core::string_view(text.data(), text.size()));
    if (parsed)
      return std::string(parsed->scheme()) + "://" + std::string(parsed->encoded_host()) + "/";
  }
  return mask(text);
}

trees::AXNode Scrubber::scrub(const trees::AXNode& tree) {
  const trees::AXNode* page =
      tree.first([](const trees::AXNode& n) { return hasRole(n, AX::WebArea) && n.url.has_value(); });
  const auto profile = page ? profile::ProfilePage::parse(*page->url) : std::nullopt;
  const bool profileSite = profile.has_value();
  const bool idDigits = profile && profile::ProfileSites::of(profile->site).scrubbing.masksIDDigits;

  auto rebuild = [&](const trees::AXNode& src, trees::AXNode& dst) {
    dst.role = src.role;
    dst.subrole = src.subrole;
    dst.domClasses = src.domClasses;
    if (src.title) dst.title = mask(*src.title);
    if (src.desc) dst.desc = mask(*src.desc);
    if (src.value) dst.value = mask(*src.value);
    if (src.domID) dst.domID = profileSite ? replaceIDs(*src.domID, idDigits) : *src.domID;
    if (src.url) dst.url = address(*src.url, hasRole(src, AX::WebArea), profileSite);
  };
  trees::AXNode root;
  rebuild(tree, root);
  std::vector<std::pair<const trees::AXNode*, trees::AXNode*>> pending{{&tree, &root}};
  while (!pending.empty()) {
    auto [src, dst] = pending.back();
    pending.pop_back();
    dst->children.reserve(src->children.size());
    for (const trees::AXNode& c : src->children) {
      trees::AXNode& copy = dst->children.emplace_back();
      rebuild(c, copy);
      pending.emplace_back(&c, &copy);
    }
  }
  return root;
}

std::optional<trees::AXNode> scrubbed(const trees::AXNode& tree) {
  Scrubber s({&tree});
  if (!s.ready()) return std::nullopt;
  return s.scrub(tree);
}

std::optional<std::vector<trees::AXNode>> scrubbed(const std::vector<trees::AXNode>& windows) {
  std::vector<const trees::AXNode*> pointers;
  for (const trees::AXNode& t : windows) pointers.push_back(&t);
  Scrubber s(pointers);
  if (!s.ready()) return std::nullopt;
  std::vector<trees::AXNode> out;
  out.reserve(windows.size());
  for (const trees::AXNode& t : windows) out.push_back(s.scrub(t));
  return out;
}

}  // namespace zel::scrub
