// Small services of the operating system that several layers need
// (posix_system.cpp, win32_system.cpp).
#pragma once

#include <string>

// The folder of the running program's file (UTF-8), "." when unknown.
std::string programDirectory();
