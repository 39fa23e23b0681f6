// A fresh temporary directory made the working directory for the life of
// the object (reports and INI files live in the working directory).
#pragma once

#include <string>
#include <vector>

class ScopedWorkDir {
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    const std::string& path() const { return path_; }
    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;
    // File names in the directory, sorted.
    std::vector<std::string> files() const;

private:
    std::string path_;
    std::string previous_;
};
