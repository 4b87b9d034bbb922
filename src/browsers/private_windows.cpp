#include "browsers/private_windows.h"

#include <fcntl.h>
#include <unicode/regex.h>
#include <unicode/utf8.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <variant>

#include "base/unicode_text.h"

namespace zel::browsers::PrivateWindows {

namespace fs = std::filesystem;

namespace {

// Preference and profile files are small; anything larger is not trusted.
constexpr uintmax_t largestFile = limits.preferenceFile;

enum class FileText { missing, unreadable };

// The file's text, when it exists and reads as UTF-8 within the size limit.
std::variant<std::string, FileText> readText(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return ec ? FileText::unreadable : FileText::missing;
  const auto size = fs::file_size(file, ec);
  if (ec || size > largestFile) return FileText::unreadable;
  std::ifstream in(file, std::ios::binary);
  if (!in) return FileText::unreadable;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return FileText::unreadable;
  std::string text = bytes.str();
  if (!isValidUTF8(text)) return FileText::unreadable;
  return text;
}

bool isLineBreak(UChar32 c) {
  return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> out;
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t start = 0;
  for (int32_t i = 0; i < length;) {
    const int32_t at = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c >= 0 && isLineBreak(c)) {
      if (at > start) out.push_back(text.substr(static_cast<size_t>(start), static_cast<size_t>(at - start)));
      start = i;
    }
  }
  if (length > start) out.push_back(text.substr(static_cast<size_t>(start)));
  return out;
}

enum class Setting { error, none, on, off };

std::string escapedForRegex(std::string_view text) {
  std::string out;
  for (char c : text) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       static_cast<unsigned char>(c) >= 0x80;
    if (!plain) out += '\\';
    out += c;
  }
  return out;
}

Setting readSetting(const fs::path& file, bool required, const icu::RegexPattern& pattern) {
  auto text = readText(file);
  if (auto* problem = std::get_if<FileText>(&text))
    return *problem == FileText::missing && !required ? Setting::none : Setting::error;
  const auto stripped = withoutComments(std::get<std::string>(text));
  if (!stripped) return Setting::error;
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString subject =
      icu::UnicodeString::fromUTF8(icu::StringPiece(stripped->data(), static_cast<int32_t>(stripped->size())));
  std::unique_ptr<icu::RegexMatcher> m(pattern.matcher(subject, status));
  if (U_FAILURE(status)) return Setting::error;
  Setting last = Setting::none;
  while (m->find(status) && U_SUCCESS(status)) last = m->group(1, status) == "true" ? Setting::on : Setting::off;
  return U_FAILURE(status) ? Setting::error : last;
}

bool isOff(const fs::path& profile, const icu::RegexPattern& pattern) {
  const Setting prefs = readSetting(profile / "prefs.js", true, pattern);
  if (prefs == Setting::error) return false;
  const Setting user = readSetting(profile / "user.js", false, pattern);
  if (user == Setting::error) return false;
  if (user != Setting::none) return user == Setting::off;
  return prefs != Setting::on;
}

}  // namespace

bool languageAllows(const Browser::PrivateRule& rule, const std::optional<std::string>& language) {
  if (rule.titleLanguages.empty()) return true;
  if (!language) return false;
  std::string_view primary;
  for (size_t start = 0; start <= language->size();) {
    const size_t end = std::min(language->find_first_of("-_", start), language->size());
    if (end > start) {
      primary = std::string_view(*language).substr(start, end - start);
      break;
    }
    start = end + 1;
  }
  for (const auto& allowed : rule.titleLanguages)
    if (equalsIgnoringCase(primary, allowed)) return true;
  return false;
}

bool readsIn(const Browser::PrivateRule& rule, const std::optional<std::string>& language,
             const std::optional<std::vector<std::string>>& menuTitles) {
  if (rule.titleLanguages.empty()) return true;
  if (!languageAllows(rule, language)) return false;
  if (!rule.menusConfirmLanguage) return true;
  if (!menuTitles || rule.shownMenus.empty()) return false;
  for (const auto& menu : rule.shownMenus)
    if (std::find(menuTitles->begin(), menuTitles->end(), menu) == menuTitles->end()) return false;
  return true;
}

bool titleMarksPrivate(const Browser::PrivateRule& rule, const std::optional<std::string>& title) {
  // A window without a title cannot be told apart where titles tell.
  return title ? endsWithAnyCanonically(*title, rule.titleSuffixes) : !rule.titleSuffixes.empty();
}

bool isPrivate(const Browser::PrivateRule& rule, const std::optional<std::string>& title,
               const std::vector<std::string>& markers) {
  if (titleMarksPrivate(rule, title)) return true;
  for (const auto& marker : markers)
    for (const auto& prefix : rule.privateMarkers)
      if (startsWithCanonically(marker, prefix)) return true;
  if (!rule.normalMarkers.empty()) {
    for (const auto& marker : markers)
      for (const auto& prefix : rule.normalMarkers)
        if (startsWithCanonically(marker, prefix)) return false;
    return true;
  }
  return false;
}

std::optional<std::vector<fs::path>> profiles(const fs::path& root) {
  std::vector<fs::path> found;
  std::error_code ec;
  const fs::path ini = root / "profiles.ini";
  if (fs::exists(ini, ec)) {
    auto text = readText(ini);
    if (!std::holds_alternative<std::string>(text)) return std::nullopt;
    bool relative = true;
    auto record = [&](std::string_view value, bool isRelative) {
      if (isRelative && !value.starts_with('/')) found.push_back(root / std::string(value));
      else found.emplace_back(std::string(value));
    };
    for (std::string_view raw : lines(std::get<std::string>(text))) {
      const std::string_view line = trimmedHorizontal(raw);
      if (line.empty()) continue;
      if (line.starts_with('[')) {
        relative = true;
        continue;
      }
      const size_t eq = line.find('=');
      if (eq == std::string_view::npos || eq == 0 || eq + 1 >= line.size()) continue;
      const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key == "IsRelative") relative = value != "0";
      else if (key == "Path") record(value, relative);
      else if (key == "Default" && value.find('/') != std::string_view::npos) record(value, true);
    }
  }
  fs::directory_iterator it(root / "Profiles", ec), end;
  for (; !ec && it != end; it.increment(ec)) found.push_back(root / "Profiles" / it->path().filename());

  std::vector<fs::path> unique;
  std::set<std::string> seen;
  for (const auto& p : found) {
    fs::path normal = p.lexically_normal();
    if (!normal.has_filename() && normal.has_parent_path()) normal = normal.parent_path();
    if (seen.insert(normal.string()).second) unique.push_back(p);
  }
  return unique;
}

bool heldByAnotherProcess(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock lock{};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  const bool ok = ::fcntl(fd, F_GETLK, &lock) == 0;
  ::close(fd);
  return ok && lock.l_type != F_UNLCK;
}

bool allowsReading(const Browser::AlwaysPrivate& rule, const fs::path& home, const IsLocked& isLocked) {
  std::vector<fs::path> inUse;
  std::vector<std::string> roots{rule.root};
  roots.insert(roots.end(), rule.otherRoots.begin(), rule.otherRoots.end());
  for (const auto& root : roots) {
    const auto dirs = profiles(home / root);
    if (!dirs) return false;
    for (const auto& d : *dirs)
      if (isLocked(d / ".parentlock")) inUse.push_back(d);
  }
  if (inUse.empty()) return false;

  const std::string expression = "^\\s*user_pref\\(\\s*[\"']" + escapedForRegex(rule.pref) +
                                 "[\"']\\s*,\\s*(true|false)\\s*\\)";
  UErrorCode status = U_ZERO_ERROR;
  UParseError where;
  std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(
      icu::UnicodeString::fromUTF8(expression), UREGEX_MULTILINE, where, status));
  if (U_FAILURE(status) || !pattern) return false;
  for (const auto& d : inUse)
    if (!isOff(d, *pattern)) return false;
  return true;
}

std::optional<std::string> withoutComments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char quote = 0;
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (quote) {
      if (c == '\\') {
        if (i + 1 >= n) return std::nullopt;
        out += c;
        out += text[++i];
        continue;
      }
      if (c == '\n' || c == '\r') return std::nullopt;
      out += c;
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      out += c;
    } else if (c == '#' || (c == '/' && i + 1 < n && text[i + 1] == '/')) {
      while (i + 1 < n && text[i + 1] != '\n' && text[i + 1] != '\r') ++i;
    } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      i += 2;
      bool closed = false;
      for (; i < n; ++i) {
        if (text[i] == '*' && i + 1 < n && text[i + 1] == '/') {
          ++i;
          closed = true;
          break;
        }
        if (text[i] == '\n' || text[i] == '\r') out += text[i];
      }
      if (!closed) return std::nullopt;
    } else {
      out += c;
    }
  }
  if (quote) return std::nullopt;
  return out;
}

}  // namespace zel::browsers::PrivateWindows
