#include "base/capture_clock.h"

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <memory>

namespace zel {

namespace {

std::optional<std::string> hostTimeZone() {
  // Looking the zone up can mean reading the zone database, so it is done
  // once per process; a change of zone under a running agent shows after a
  // restart.
  static const std::optional<std::string> id = []() -> std::optional<std::string> {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::detectHostTimeZone());
    if (!zone) return std::nullopt;
    icu::UnicodeString name;
    zone->getID(name);
    std::string utf8;
    name.toUTF8String(utf8);
    if (utf8.empty() || utf8 == "Etc/Unknown") return std::nullopt;
    return utf8;
  }();
  return id;
}

}  // namespace

CaptureClock CaptureClock::system() { return {&Date::now, &hostTimeZone}; }

CaptureClock CaptureClock::fixed(Date at, std::optional<std::string> zone) {
  return {[at] { return at; }, [zone] { return zone; }};
}

}  // namespace zel
