// Every input the fuzzers ever broke the tool with, and a few hand-made
// edge cases, replayed through the fuzz targets. A finding aborts the test
// (the targets check their invariants); the sanitizer build also catches
// memory and undefined-behaviour faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/targets.h"

namespace {

namespace fs = std::filesystem;

TEST(FuzzRegressions, SavedInputsRunThroughTheirTargets) {
    for (size_t t = 0; t < kFuzzTargetCount; ++t) {
        const FuzzTarget& target = kFuzzTargets[t];
        const fs::path folder = fs::path(NERAX_FUZZ_REGRESSIONS) / target.name;
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) continue;
        std::vector<fs::path> inputs;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
        for (const fs::path& input : inputs) {
            SCOPED_TRACE(input.string());
            std::ifstream in(input, std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0);
        }
    }
}

TEST(FuzzRegressions, EveryTargetTakesTheEmptyInput) {
    for (size_t t = 0; t < kFuzzTargetCount; ++t) {
        SCOPED_TRACE(kFuzzTargets[t].name);
        EXPECT_EQ(kFuzzTargets[t].run(nullptr, 0), 0);
    }
}

}  // namespace
