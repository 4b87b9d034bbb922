// Built over chat: an extractor works on trees already read and has no
// business with the operating system's interfaces.
#include "platform/accessibility.h"
