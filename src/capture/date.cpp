#include "capture/date.h"

#include <cmath>
#include <cstdio>

namespace zel {

namespace {

using namespace std::chrono;

constexpr double secondsPerDay = 86400;
const sys_days referenceDay = sys_days{year{2001} / January / 1};

bool digits(std::string_view s, size_t at, size_t n, int& out) {
  if (at + n > s.size()) return false;
  int v = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = v;
  return true;
}

}  // namespace

Date Date::from(system_clock::time_point t) {
  const double unix = duration<double>(t.time_since_epoch()).count();
  return fromUnix(unix);
}

std::optional<system_clock::time_point> Date::deadline() const {
  if (!std::isfinite(sinceReference) || sinceReference >= distantFuture) return std::nullopt;
  // The system clock counts nanoseconds in 64 bits (about 292 years either side
  // of 1970). Beyond its reach a deadline means "never"; before 1970, "now".
  const double limit = duration<double>(system_clock::duration::max()).count() * 0.99;
  const double unix = unixSeconds();
  if (unix >= limit) return std::nullopt;
  if (unix <= 0) return system_clock::time_point{};
  return system_clock::time_point{duration_cast<system_clock::duration>(duration<double>(unix))};
}

std::optional<std::string> isoText(Date d, DateForm form) {
  const double t = d.sinceReference;
  if (!std::isfinite(t)) return std::nullopt;
  const double s = std::floor(t);
  // Years 1 through 9999 only: the four-digit year of the text cannot say more.
  constexpr double lowest = Date::distantPast;
  constexpr double highest = 253402300800.0 - Date::unixOffset;  // 10000-01-01
  if (s < lowest || s >= highest) return std::nullopt;

  const auto whole = static_cast<long long>(s);
  long long days = whole / 86400;
  long long rest = whole % 86400;
  if (rest < 0) {
    rest += 86400;
    days -= 1;
  }
  const year_month_day ymd{referenceDay + std::chrono::days{days}};
  const int hh = static_cast<int>(rest / 3600);
  const int mm = static_cast<int>(rest / 60 % 60);
  const int ss = static_cast<int>(rest % 60);

  char buf[48];
  int n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                        static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), hh, mm, ss);
  std::string text(buf, static_cast<size_t>(n));
  if (form == DateForm::nanoseconds) {
    // Truncated, not rounded: the digits say what the double holds.
    const auto nanos = static_cast<long long>((t - s) * 1000000000.0);
    if (nanos != 0) {
      text.pop_back();
      std::snprintf(buf, sizeof buf, ".%09lldZ", nanos);
      text += buf;
    }
  }
  return text;
}

std::optional<Date> parseISO8601(std::string_view s) {
  int y, mo, d, h, mi, se;
  if (!digits(s, 0, 4, y) || s.size() < 19 || s[4] != '-' || !digits(s, 5, 2, mo) || s[7] != '-' ||
      !digits(s, 8, 2, d) || (s[10] != 'T' && s[10] != 't') || !digits(s, 11, 2, h) || s[13] != ':' ||
      !digits(s, 14, 2, mi) || s[16] != ':' || !digits(s, 17, 2, se))
    return std::nullopt;
  const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
  if (!ymd.ok() || y < 1 || h > 23 || mi > 59 || se > 60) return std::nullopt;

  size_t at = 19;
  double fraction = 0;
  if (at < s.size() && (s[at] == '.' || s[at] == ',')) {
    size_t start = ++at;
    double scale = 0.1;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9') {
      fraction += (s[at] - '0') * scale;
      scale /= 10;
      ++at;
    }
    if (at == start) return std::nullopt;
  }
  long offset = 0;
  if (at < s.size() && (s[at] == 'Z' || s[at] == 'z')) {
    ++at;
  } else if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
    const int sign = s[at] == '-' ? -1 : 1;
    int oh, om;
    if (!digits(s, at + 1, 2, oh)) return std::nullopt;
    size_t m = at + 3;
    if (m < s.size() && s[m] == ':') ++m;
    if (!digits(s, m, 2, om) || oh > 23 || om > 59) return std::nullopt;
    offset = sign * (oh * 3600L + om * 60L);
    at = m + 2;
  } else {
    return std::nullopt;
  }
  if (at != s.size()) return std::nullopt;

  const auto days = (sys_days{ymd} - referenceDay).count();
  const double whole = static_cast<double>(days) * secondsPerDay + h * 3600.0 + mi * 60.0 + se - offset;
  return Date{whole + fraction};
}

}  // namespace zel
