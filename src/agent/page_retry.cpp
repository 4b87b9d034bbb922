#include "agent/page_retry.h"

namespace zel::agent {

std::optional<double> PageRetry::interval(const ReadSchedule& schedule) const {
  if (missing_ == 0 || missing_ > schedule.pageRetries) return std::nullopt;
  return missing_ == 1 ? schedule.pageRetryFirst : schedule.pageRetryLater;
}

}  // namespace zel::agent
