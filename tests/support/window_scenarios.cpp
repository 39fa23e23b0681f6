#include "support/window_scenarios.h"

#include <fstream>
#include <map>
#include <sstream>

std::vector<Scenario> readScenarios(const std::string& path, const std::string& com, std::string& error) {
    // Words a verb takes before its text.
    static const std::map<std::string, int> fixedWords = {
        {"set", 2}, {"click", 2}, {"answer", 2}, {"page", 2}, {"focus", 2}, {"key", 2}, {"expect", 3}};
    std::vector<Scenario> all;
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return {};
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        for (size_t at; (at = line.find("$COM")) != std::string::npos;) line.replace(at, 4, com);
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "scenario") {
            all.push_back({line.substr(9), {}});
            continue;
        }
        const auto fixed = fixedWords.find(verb);
        if (fixed == fixedWords.end() || all.empty()) {
            error = path + ":" + std::to_string(number) + ": " + (all.empty() ? "step before a scenario" : "unknown step " + verb);
            return {};
        }
        ScenarioStep step;
        step.line = number;
        step.words.push_back(verb);
        std::string word;
        for (int i = 1; i < fixed->second && words >> word; ++i) step.words.push_back(word);
        std::getline(words, step.rest);
        if (!step.rest.empty() && step.rest[0] == ' ') step.rest.erase(0, 1);
        for (size_t at; (at = step.rest.find("\\n")) != std::string::npos;) step.rest.replace(at, 2, "\n");
        all.back().steps.push_back(step);
    }
    return all;
}
