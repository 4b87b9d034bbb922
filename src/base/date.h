#pragma once
// Instants as seconds since 1 January 2001 00:00:00 UTC, held as a double.
// The double is the record of truth: the nanosecond digits of profile lines are
// computed from it exactly, so nothing converts it through a coarser clock first.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace zel {

struct Date {
  double sinceReference = 0;  // seconds since 2001-01-01T00:00:00Z

  static constexpr double unixOffset = 978307200;  // 2001-01-01 in Unix seconds
  static constexpr double distantPast = -63114076800;  // 0001-01-01T00:00:00Z
  static constexpr double distantFuture = 63113904000;  // 4001-01-01T00:00:00Z

  static Date fromUnix(double seconds) { return Date{seconds - unixOffset}; }
  static Date from(std::chrono::system_clock::time_point t);
  static Date now() { return from(std::chrono::system_clock::now()); }

  double unixSeconds() const { return sinceReference + unixOffset; }
  Date adding(double seconds) const { return Date{sinceReference + seconds}; }
  double seconds(Date since) const { return sinceReference - since.sinceReference; }

  // A wall-clock deadline for waits. Past the year 4000, or for a value that is
  // not finite, there is no deadline (nullopt) rather than an overflowing one.
  std::optional<std::chrono::system_clock::time_point> deadline() const;

  friend auto operator<=>(const Date&, const Date&) = default;
  friend bool operator==(const Date&, const Date&) = default;
};

// How a date is written in JSON.
enum class DateForm {
  wholeSeconds,  // 2026-01-05T09:30:00Z, the fraction dropped
  nanoseconds,   // 2026-01-05T09:30:00.250000000Z when the fraction is not zero
};

// ISO 8601 text in UTC. Years outside 1...9999 and values that are not finite
// have no such text (nullopt).
std::optional<std::string> isoText(Date d, DateForm form);

// Reads "YYYY-MM-DDTHH:MM:SS" with an optional fraction and a zone of "Z" or
// "+HH:MM" / "-HH:MM" (also "+HHMM"). Anything else is nullopt.
std::optional<Date> parseISO8601(std::string_view text);

}  // namespace zel
