#pragma once
// Which operating system's applications are being read. The library's
// vocabulary is macOS's everywhere; what differs per system is data, such as
// the browser rows (title endings, menus, profile folders, signers). A value
// of the base library: the tables that hold the rows need no platform.

namespace zel {

enum class System { macOS, Linux };

}  // namespace zel
