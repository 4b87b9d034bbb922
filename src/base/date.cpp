#include "base/date.h"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace zel {

namespace {

using namespace std::chrono;

constexpr double secondsPerDay = 86400;
const sys_days referenceDay = sys_days{year{2001} / January / 1};

// Calendar dates follow the platform's Gregorian calendar, which counts days
// before 15 October 1582 in the Julian calendar: the distant past is then
// 0001-01-01, as every date text of the platform has it. Dates after the
// cut-over take the fast path through <chrono>; earlier ones ask ICU.
const sys_days gregorianCutover = sys_days{year{1582} / October / 15};

struct Civil {
  int y;
  unsigned m, d;
};

std::unique_ptr<icu::GregorianCalendar> utcCalendar() {
  UErrorCode status = U_ZERO_ERROR;
  auto cal = std::make_unique<icu::GregorianCalendar>(*icu::TimeZone::getGMT(), status);
  if (U_FAILURE(status)) return nullptr;
  return cal;
}

constexpr double msPerDay = 86400000.0;

std::optional<Civil> civilFromDays(long long daysSinceReference) {
  const sys_days day = referenceDay + std::chrono::days{daysSinceReference};
  if (day >= gregorianCutover) {
    const year_month_day ymd{day};
    return Civil{static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day())};
  }
  auto cal = utcCalendar();
  if (!cal) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  cal->setTime(static_cast<double>(day.time_since_epoch().count()) * msPerDay, status);
  const int era = cal->get(UCAL_ERA, status);
  const int y = cal->get(UCAL_YEAR, status);
  const int m = cal->get(UCAL_MONTH, status);
  const int d = cal->get(UCAL_DATE, status);
  if (U_FAILURE(status) || era != icu::GregorianCalendar::AD) return std::nullopt;
  return Civil{y, static_cast<unsigned>(m + 1), static_cast<unsigned>(d)};
}

std::optional<long long> daysFromCivil(int y, unsigned m, unsigned d) {
  const year_month_day ymd{year{y}, month{m}, day{d}};
  if (sys_days{ymd} >= gregorianCutover) {
    if (!ymd.ok()) return std::nullopt;
    return (sys_days{ymd} - referenceDay).count();
  }
  auto cal = utcCalendar();
  if (!cal) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  cal->setLenient(false);
  cal->clear();
  cal->set(y, static_cast<int32_t>(m) - 1, static_cast<int32_t>(d));
  const UDate ms = cal->getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  return static_cast<long long>(std::floor(ms / msPerDay)) -
         (referenceDay.time_since_epoch()).count();
}

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
  const auto civil = civilFromDays(days);
  if (!civil) return std::nullopt;
  const int hh = static_cast<int>(rest / 3600);
  const int mm = static_cast<int>(rest / 60 % 60);
  const int ss = static_cast<int>(rest % 60);

  char buf[48];
  int n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02dZ", civil->y, civil->m, civil->d, hh, mm,
                        ss);
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
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 60) return std::nullopt;
  const auto days = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
  if (!days) return std::nullopt;

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

  const double whole = static_cast<double>(*days) * secondsPerDay + h * 3600.0 + mi * 60.0 + se - offset;
  return Date{whole + fraction};
}

}  // namespace zel
