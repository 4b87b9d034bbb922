#pragma once
// What a read decided about each window and each page, and why: values the
// snapshot and the page policy return, so that whoever reports on a read
// (zel-capture explain) tells what was decided instead of deciding again.

namespace zel::browsers {

// A browser window, judged before anything of its page is read.
enum class WindowVerdict {
  read,
  privateByTitle,      // its title ends like a private window
  privateByControls,   // its window controls mark it private
  controlsUnreadable,  // its controls could not be read, so it cannot be judged
};

// A window's page, judged by its address.
enum class PageVerdict {
  read,
  noPage,                 // no web page in the window (yet)
  notAChatPage,           // no chat site's conversation
  chatSiteNotForBrowser,  // a chat site this browser's row does not read
  chatNotAllowed,         // the host did not allow chats in this browser
  profilesOff,            // a profile page, and profile reading is off
  profileNotAdmitted,     // a profile page not armed by the host, or not the user's own
  profileResting,         // the user's own profile page, read lately and resting
  changedWhileRead,       // the window showed another page once it was read
};

}  // namespace zel::browsers
