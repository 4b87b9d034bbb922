#pragma once
// Which operating system's applications a platform shows (`Platform::system()`).

#include "base/system.h"

namespace zel::platform {

using System = zel::System;

}  // namespace zel::platform
