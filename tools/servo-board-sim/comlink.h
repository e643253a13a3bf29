// The DIR/dosdevices/comN link through which the program finds the board's
// pseudo-terminal.
#pragma once

#include <string>

std::string ComLinkPath(const std::string& dir, int com);

enum class TLinkPathState {
  Free,     // nothing there
  Stale,    // a link to a /dev/pts/ terminal that no longer exists: a simulator's leftover
  Foreign,  // anything else; it is not ours to replace
};
TLinkPathState InspectLinkPath(const std::string& path);

// Makes the link, creating DIR/dosdevices when missing and replacing a stale
// link. False (with the reason) when the path is taken or cannot be made.
bool CreateComLink(const std::string& path, const std::string& target, std::string& error);

// Removes the link if it still points at target (somebody else's link at the
// same path is left alone).
void RemoveComLink(const std::string& path, const std::string& target);
