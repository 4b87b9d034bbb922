#pragma once
// Every resource limit of the agent and the library in one place: how much
// one read may walk, how deep a tree may nest, how long a line from outside
// may be, how large a file it opens, how many entries a cache keeps. Each
// bounds what input from outside (another application, the host, a file)
// can make the agent spend. Change a limit here, nowhere else.

#include <cstddef>
#include <cstdint>

namespace zel {

struct Limits {
  // ---- reading windows ----
  // Elements one window walk reads at most: a large chat stays whole, a
  // hostile window costs no more than this.
  int64_t nodeBudget = 60000;
  // Window controls searched for private-window markers: elements and levels.
  int controlsWalkElements = 800;
  int controlsWalkDepth = 16;
  // Levels searched below a window for its page address (the window is 0).
  int pageSearchDepth = 24;
  // Levels searched below a focused window for a web area after a switch.
  int webAreaSearchDepth = 14;
  // Seconds another application may take to answer one accessibility call.
  double messagingTimeout = 0.25;
  // A page's parts (messages, sections) are asked for whole, one call each,
  // from this many levels below the page's top and when they have at most
  // this many children: each such call holds the browser for its size.
  int subtreeDepth = 3;
  size_t subtreeFanOut = 16;
  // Inline elements (em inside code inside a link ...) whose text is lifted
  // into the enclosing block, nested at most this deep; a deeper one stays
  // an element of its own.
  int inlineDepth = 16;

  // ---- switching trees on ----
  // Seconds between two switches (or waits) for one process.
  double treeSwitchEvery = 60;
  // Seconds a switch waits for web content to appear.
  double treeSwitchWait = 8;

  // ---- input from outside ----
  // Levels a recorded tree or desktop element may nest.
  size_t treeDepth = 4096;
  // Bytes of one control line; a longer line is skipped whole.
  size_t controlLine = size_t{1} << 20;
  // Bytes of one Codex rollout line; a longer line is skipped as malformed.
  size_t rolloutLine = size_t{16} << 20;
  // Bytes read from a rollout file at a time.
  size_t rolloutChunk = size_t{1} << 20;
  // Bytes of a Firefox preference file; a larger one counts as private.
  uintmax_t preferenceFile = uintmax_t{32} << 20;
  // Bytes of one text from the accessibility bus (a name, a text, an
  // attribute); the rest is cut at a character boundary.
  size_t busText = size_t{1} << 20;
  // Milliseconds SQLite waits for a Codex database another process holds.
  int databaseBusyWait = 200;

  // ---- memory kept between reads ----
  // Processes whose signature verdict is cached.
  size_t signatureCache = 256;
  // Seconds before a refused signature is checked again.
  double signatureRecheck = 60;
  // Applications on the accessibility bus whose process is remembered.
  size_t busApplications = 256;
  // Objects whose role and attributes are kept between reads; beyond
  // this everything kept is forgotten.
  size_t mirrorObjects = 240000;
  // Seconds what was kept is trusted: then a read starts from scratch, and
  // catches what changed in place unasked (a class).
  double mirrorLifetime = 300;
  // Platform notifications kept while nobody runs the loop.
  size_t eventQueue = 1024;

  // ---- the Linux backend (AT-SPI over D-Bus) ----
  // Items kept of one list an application answers (children, a subtree's
  // objects): a hostile list is cut here, whatever the read asked for.
  size_t busListItems = 60000;
  // Objects of one subtree answer (a page part asked for whole); a larger
  // answer is no answer, and the part is read call by call.
  size_t busSubtreeObjects = 240000;
  // Attributes kept of one object.
  size_t busAttributes = 256;
  // Calls to one application in flight at once: enough to hide the round
  // trip, few enough that the last of a long volley does not wait out its
  // timeout in the application's queue behind the others.
  size_t busCallsInFlight = 64;
  // Idle connections kept per application (or to the accessibility bus):
  // one per thread reading it at once.
  size_t busIdleConnections = 4;
  // Milliseconds the longest messaging timeout a caller may set.
  int busLongestTimeoutMs = 600000;
  // Milliseconds for the session bus's own questions: the accessibility
  // bus's address, and the session (lock, idle time, displays).
  int sessionBusTimeoutMs = 2000;
  int sessionStateTimeoutMs = 250;
  // Seconds between two tries to reach an accessibility bus that went away.
  double busReconnectEvery = 1;
  // Seconds the front application found by asking stands without an event
  // confirming it.
  double frontAppKept = 10;
};

inline constexpr Limits limits{};

}  // namespace zel
