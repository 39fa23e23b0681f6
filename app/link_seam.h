// The few link services the shell needs, in one place so the shell does
// not care where they come from.
#pragma once

#include <string>
#include <vector>

// Port discovery: true and the number when a detector's port was found.
bool findDetectorPort(int& portNumber);
// The port list lines "COMn|friendly name", in port-name order.
std::vector<std::string> portListLines();
// The message of a library status code (empty when it has none).
std::string statusMessageText(int status);
