#include "app/report_file.h"

#include "app/formatters.h"

std::string reportFileName(const std::string& prefix, const std::string& renderedDateTime) {
    return prefix + reportStamp(renderedDateTime) + ".LOG";
}

bool writeTextFile(const std::string& path, const std::vector<std::string>& lines, std::string& error) {
    size_t size = 0;
    for (const auto& line : lines) size += line.size() + 2;
    std::string contents;
    contents.reserve(size);
    for (const auto& line : lines) {
        contents += line;
        contents += "\r\n";
    }
    return replaceFileContents(path, contents, error);
}
