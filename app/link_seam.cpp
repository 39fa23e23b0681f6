#include "app/link_seam.h"

// Placeholder until the link's discovery and status table are merged.
bool findDetectorPort(int&) { return false; }

std::vector<std::string> portListLines() { return {}; }

std::string statusMessageText(int) { return {}; }
