#pragma once
// Which operating system's applications a platform shows. The library's
// vocabulary is macOS's everywhere; what differs per system is data, such as
// the browser rows (title endings, menus, profile folders, signers).

namespace zel::platform {

enum class System { macOS, Linux };

}  // namespace zel::platform
