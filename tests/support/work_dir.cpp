#include "support/work_dir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

ScopedWorkDir::ScopedWorkDir() {
    // A fresh name in the system's temporary folder (Linux and Windows).
    std::filesystem::path temp = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        std::filesystem::path candidate = temp / ("nerax-work-" + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) path_ = candidate.string();
    }
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path_);
}

ScopedWorkDir::~ScopedWorkDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void ScopedWorkDir::write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ + "/" + name, std::ios::binary) << content;
}

std::string ScopedWorkDir::read(const std::string& name) const {
    std::ifstream in(path_ + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool ScopedWorkDir::exists(const std::string& name) const { return std::filesystem::exists(path_ + "/" + name); }

std::vector<std::string> ScopedWorkDir::files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
