// Small text formatters shared by the readouts, the event log table and
// the reports. Pure functions.
#pragma once

#include <string>

std::string yesNo(int v);
std::string pickText(int v, int reference, const std::string& textIfDifferent, const std::string& textIfEqual);
std::string twoDigits(int v);
std::string threeDigits(int v);
std::string fitWidth(const std::string& text, int width);
std::string numberOrUndefined(int v);
std::string tenthsOrUndefined(int v);

// Strict decimal integer conversion of a whole text (optional sign,
// surrounding blanks allowed); false for anything else or overflow.
bool parseInteger(const std::string& text, int& value);

// A text from a file or the detector quoted inside an error: at most 60
// characters ("..." when cut), control characters as '?'.
std::string quotedExcerpt(const std::string& text);

// Report file name stamp from "yyyy/mm/dd hh:nn:ss" as rendered:
// "/", ".", "$" and ":" removed, spaces turned into "_".
std::string reportStamp(const std::string& renderedDateTime);

// The INI file name for an executable: its file name without directory,
// extension replaced by (or extended with) ".INI".
std::string iniFileNameFor(const std::string& executablePath);
