#pragma once
// One control line from the host: arm or disarm profile reading until a
// time, and name the user's own handles.

#include <optional>
#include <string>
#include <string_view>

#include "base/date.h"

namespace zel {

struct ControlLine {
  struct Arm {
    struct LinkedIn {
      std::optional<std::string> slug;
    };
    struct X {
      std::optional<std::string> handle;
    };
    std::optional<LinkedIn> linkedin;
    std::optional<X> x;
  };
  struct Own {
    std::optional<std::string> linkedin, x;
  };

  // Absent: no change to arming; nullopt inside: disarm; an Arm: arm.
  std::optional<std::optional<Arm>> arm;
  std::optional<Date> until;
  std::optional<Own> own;

  // Nullopt for anything that is not exactly a control line: not JSON, a
  // value of the wrong type, an "until" that is not an ISO time.
  static std::optional<ControlLine> parse(std::string_view line);
};

}  // namespace zel
