// The window's scenarios (tests/window_scenarios.txt): one table that the
// Qt window and the native Windows window are both held to.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ScenarioStep {
    int line = 0;
    std::vector<std::string> words;  // verb and its fixed words
    std::string rest;                // the text after them
    const std::string& verb() const { return words[0]; }
    std::string word(size_t i) const { return i < words.size() ? words[i] : std::string(); }
};

struct Scenario {
    std::string name;
    std::vector<ScenarioStep> steps;
};

// Reads the table; each key of `values` ("$COM", "$WORK") becomes its value,
// "\n" a line break. An unknown verb or a step outside a scenario is an
// error (message in `error`).
std::vector<Scenario> readScenarios(const std::string& path, const std::map<std::string, std::string>& values,
                                    std::string& error);
