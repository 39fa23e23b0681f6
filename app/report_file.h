// The one writer of report and text files: 8-bit text, CR LF line ends,
// written beside the target and renamed into place, so a crash or a full
// disk never leaves a half-written file or destroys the earlier one.
#pragma once

#include <string>
#include <vector>

// prefix + stamp of the rendered "yyyy/mm/dd hh:nn:ss" + ".LOG".
std::string reportFileName(const std::string& prefix, const std::string& renderedDateTime);

// Writes every line followed by CR LF. On failure the target is left as it
// was and `error` says why.
bool writeTextFile(const std::string& path, const std::vector<std::string>& lines, std::string& error);

// Replaces the file's contents atomically (posix_report_file.cpp,
// win32_report_file.cpp): a temporary file beside it, flushed to disk, then
// moved into place. On failure the target is left as it was.
bool replaceFileContents(const std::string& path, const std::string& contents, std::string& error);
