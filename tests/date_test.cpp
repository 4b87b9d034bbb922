#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/date.h"

namespace zel {
namespace {

// 2026-01-05T09:30:00Z
constexpr double jan5 = 1767605400 - Date::unixOffset;

TEST(DateText, BothFormsAsWritten) {
  struct Case {
    double t;
    const char* whole;
    const char* nanos;
  };
  const Case cases[] = {
      {jan5, "2026-01-05T09:30:00Z", "2026-01-05T09:30:00Z"},
      {jan5 + 0.25, "2026-01-05T09:30:00Z", "2026-01-05T09:30:00.250000000Z"},
      {jan5 + 0.5, "2026-01-05T09:30:00Z", "2026-01-05T09:30:00.500000000Z"},
      {0, "2001-01-01T00:00:00Z", "2001-01-01T00:00:00Z"},
      {-0.5, "2000-12-31T23:59:59Z", "2000-12-31T23:59:59.500000000Z"},
      {Date::distantPast, "0001-01-01T00:00:00Z", "0001-01-01T00:00:00Z"},
      {Date::distantFuture, "4001-01-01T00:00:00Z", "4001-01-01T00:00:00Z"},
      {-31622400 + 86400 * 59, "2000-02-29T00:00:00Z", "2000-02-29T00:00:00Z"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isoText(Date{c.t}, DateForm::wholeSeconds), c.whole) << c.t;
    EXPECT_EQ(isoText(Date{c.t}, DateForm::nanoseconds), c.nanos) << c.t;
  }
}

TEST(DateText, NanosecondsAreTruncatedNotRounded) {
  EXPECT_EQ(isoText(Date{0.1234567899}, DateForm::nanoseconds), "2001-01-01T00:00:00.123456789Z");
  EXPECT_EQ(isoText(Date{-0.0000000001}, DateForm::nanoseconds), "2000-12-31T23:59:59.999999999Z");
}

TEST(DateText, OutOfRangeDatesHaveNoText) {
  for (double t : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                   Date::distantPast - 1, 1e300, -1e300, 253402300800.0 - Date::unixOffset})
    EXPECT_EQ(isoText(Date{t}, DateForm::wholeSeconds), std::nullopt) << t;
  EXPECT_EQ(isoText(Date{253402300799.0 - Date::unixOffset}, DateForm::wholeSeconds), "9999-12-31T23:59:59Z");
}

TEST(DateParse, AcceptsBothFormsAndOffsets) {
  EXPECT_EQ(parseISO8601("2026-01-05T09:30:00Z"), Date{jan5});
  EXPECT_EQ(parseISO8601("2026-01-05T09:30:00.250000000Z"), Date{jan5 + 0.25});
  EXPECT_EQ(parseISO8601("2026-01-05T10:30:00+01:00"), Date{jan5});
  EXPECT_EQ(parseISO8601("2026-01-05T04:00:00-0530"), Date{jan5});
  EXPECT_EQ(parseISO8601("0001-01-01T00:00:00Z"), Date{Date::distantPast});
  // Before 15 October 1582 days are counted in the Julian calendar, both ways.
  EXPECT_EQ(parseISO8601("1582-10-04T00:00:00Z")->adding(86400), parseISO8601("1582-10-15T00:00:00Z"));
  for (const char* text : {"1000-02-29T12:00:00Z", "1582-10-04T23:59:59Z", "1582-10-15T00:00:00Z"})
    EXPECT_EQ(isoText(parseISO8601(text).value(), DateForm::wholeSeconds), text);
  for (const char* bad : {"", "2026-01-05", "2026-01-05T09:30:00", "2026-02-30T00:00:00Z", "2026-01-05T24:00:00Z",
                          "2026-01-05T09:30:00.Z", "2026-01-05T09:30:00Zjunk", "20260105T093000Z", "2026-01-05T09:30:00+1"})
    EXPECT_EQ(parseISO8601(bad), std::nullopt) << bad;
}

TEST(DateDeadline, FarFutureAndNonFiniteMeanNoDeadline) {
  EXPECT_EQ(Date{Date::distantFuture}.deadline(), std::nullopt);
  EXPECT_EQ(Date{std::nan("")}.deadline(), std::nullopt);
  EXPECT_EQ(Date{1e300}.deadline(), std::nullopt);
  auto d = Date{jan5}.deadline();
  ASSERT_TRUE(d);
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(d->time_since_epoch()).count(), 1767605400);
  EXPECT_EQ(Date{-1e300}.deadline(), std::chrono::system_clock::time_point{});  // long past: due at once
  EXPECT_EQ(Date{Date::distantPast}.deadline(), std::chrono::system_clock::time_point{});
  EXPECT_EQ(Date{9.2e9}.deadline(), std::nullopt);  // beyond what the clock can count
}

}  // namespace
}  // namespace zel
