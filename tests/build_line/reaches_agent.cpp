// Built against the trees library alone: the agent is above it, so its
// headers are not there to include.
#include "agent/reader.h"
