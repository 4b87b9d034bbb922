// Built as a library of its own over chat: the path climbs out of this folder
// to a header of a library above chat, which the build refuses before it
// compiles anything.
#include "../../src/agent/wake.h"
