#include "platform/atspi/processes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <set>
#include <sstream>

namespace zel::platform::atspi {

namespace fs = std::filesystem;

namespace {

// The programs the library knows under macOS identities.
struct ProgramRow {
  std::string_view program;
  std::string_view bundleID;
};
constexpr std::array<ProgramRow, 7> programTable{{
    {"chromium", "com.google.Chrome"},
    {"chromium-browser", "com.google.Chrome"},
    {"google-chrome", "com.google.Chrome"},
    {"google-chrome-stable", "com.google.Chrome"},
    {"chrome", "com.google.Chrome"},  // what google-chrome runs
    {"firefox", "org.mozilla.firefox"},
    {"firefox-esr", "org.mozilla.firefox"},
}};

// Small files of /proc, read whole up to a bound.
std::optional<std::string> small(const fs::path& file, size_t longest = 1 << 16) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string out(longest, '\0');
  in.read(out.data(), static_cast<std::streamsize>(longest));
  out.resize(static_cast<size_t>(in.gcount()));
  return out;
}

std::string baseName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::optional<std::string> Processes::bundleIDOf(std::string_view program) {
  for (const auto& row : programTable)
    if (row.program == program) return std::string(row.bundleID);
  return std::nullopt;
}

std::optional<double> Processes::bootTime() const {
  auto stat = small(proc_ / "stat");
  if (!stat) return std::nullopt;
  std::istringstream in(*stat);
  for (std::string key; in >> key;) {
    if (key == "btime") {
      double t = 0;
      if (in >> t) return t;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<Process> Processes::read(Pid pid) const {
  if (pid <= 0) return std::nullopt;
  const fs::path dir = proc_ / std::to_string(pid);
  auto stat = small(dir / "stat");
  if (!stat) return std::nullopt;
  // "pid (comm) state ppid ... starttime": comm may hold spaces and parentheses.
  const size_t close = stat->rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream rest(stat->substr(close + 1));
  std::string field;
  std::vector<std::string> fields;
  while (rest >> field && fields.size() < 20) fields.push_back(field);
  if (fields.size() < 20) return std::nullopt;
  Process p;
  p.pid = pid;
  struct stat owner{};
  if (::stat(dir.c_str(), &owner) != 0) return std::nullopt;
  p.uid = owner.st_uid;
  try {
    p.parent = static_cast<Pid>(std::stol(fields[1]));
    const double ticks = static_cast<double>(std::stoull(fields[19]));
    if (auto boot = bootTime()) p.launched = *boot + ticks / static_cast<double>(sysconf(_SC_CLK_TCK)) - 978307200.0;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  // The name it was started as tells google-chrome from any "chrome"; the
  // executable's name covers a program started under another name.
  if (auto cmdline = small(dir / "cmdline", 4096)) {
    const std::string first = baseName(cmdline->substr(0, cmdline->find('\0')));
    if (bundleIDOf(first)) p.program = first;
  }
  if (p.program.empty()) {
    std::error_code ec;
    std::string exe = fs::read_symlink(dir / "exe", ec).string();
    const std::string deleted = " (deleted)";
    if (exe.ends_with(deleted)) exe.resize(exe.size() - deleted.size());
    p.program = baseName(exe);
  }
  return p;
}

std::vector<Process> Processes::applications(const std::string& bundleID) const {
  std::vector<Process> candidates;
  std::error_code ec;
  for (fs::directory_iterator it(proc_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos || name.size() > 9) continue;
    auto p = read(static_cast<Pid>(std::stol(name)));
    if (p && p->uid == user_ && bundleIDOf(p->program) == bundleID) candidates.push_back(std::move(*p));
  }
  std::set<Pid> ofIdentity;
  for (const auto& p : candidates) ofIdentity.insert(p.pid);
  std::vector<Process> out;
  for (auto& p : candidates) {
    if (ofIdentity.contains(p.parent)) continue;
    // A wrapper's child under another name still counts as a helper.
    if (auto parent = read(p.parent); parent && bundleIDOf(parent->program) == bundleID) continue;
    out.push_back(std::move(p));
  }
  std::sort(out.begin(), out.end(), [](const Process& a, const Process& b) { return a.pid < b.pid; });
  return out;
}

std::map<std::string, std::string> Processes::environment(Pid pid) const {
  std::map<std::string, std::string> out;
  auto text = small(proc_ / std::to_string(pid) / "environ", 1 << 18);
  if (!text) return out;
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find('\0', start);
    if (end == std::string::npos) end = text->size();
    const std::string_view entry(text->data() + start, end - start);
    const size_t eq = entry.find('=');
    if (eq != std::string_view::npos && eq > 0) {
      const std::string key(entry.substr(0, eq));
      if (key == "LANGUAGE" || key == "LC_ALL" || key == "LC_MESSAGES" || key == "LANG")
        out[key] = std::string(entry.substr(eq + 1));
    }
    start = end + 1;
  }
  return out;
}

std::optional<std::string> languageOf(const std::map<std::string, std::string>& env) {
  auto value = [&](const char* key) -> std::string {
    auto it = env.find(key);
    return it == env.end() ? std::string() : it->second;
  };
  std::string locale;
  // LANGUAGE is a list and counts only with a real locale set, as gettext has it.
  const std::string list = value("LANGUAGE");
  const std::string lcAll = value("LC_ALL"), messages = value("LC_MESSAGES"), lang = value("LANG");
  const std::string effective = !lcAll.empty() ? lcAll : !messages.empty() ? messages : lang;
  if (!list.empty() && effective != "C" && effective != "POSIX") locale = list.substr(0, list.find(':'));
  if (locale.empty()) locale = effective;
  if (locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C.")) return "en-US";
  // ll_CC.codeset@modifier → ll-CC
  locale = locale.substr(0, locale.find_first_of(".@"));
  for (char& c : locale)
    if (c == '_') c = '-';
  if (locale.empty() || locale.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-") !=
                            std::string::npos)
    return std::nullopt;
  return locale;
}

}  // namespace zel::platform::atspi
