#pragma once
// What every application the agent knows has, browser or desktop chat app:
// who it is, who signs it, and which accessibility attributes switch its
// content tree on. The signature check and the tree switch read only this.

#include <optional>
#include <string>

namespace zel::browsers {

struct KnownAppRow {
  struct Signer {
    enum class Kind { developerId, apple };
    Kind kind = Kind::apple;
    std::string team;  // for developerId only
    friend bool operator==(const Signer&, const Signer&) = default;
  };

  std::string bundleID;
  std::string name;
  Signer signer;
  // The boolean attribute that turns its content tree on, if any.
  std::optional<std::string> treeSwitch;
  // An attribute whose read wakes the tree once it is on, if any.
  std::optional<std::string> treeWake;

  friend bool operator==(const KnownAppRow&, const KnownAppRow&) = default;
};

}  // namespace zel::browsers
