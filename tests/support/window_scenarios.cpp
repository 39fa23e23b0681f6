#include "support/window_scenarios.h"

#include <fstream>
#include <map>
#include <sstream>

std::vector<Scenario> readScenarios(const std::string& path, const std::map<std::string, std::string>& values,
                                    std::string& error) {
    // Words a verb takes before its text.
    static const std::map<std::string, int> fixedWords = {{"set", 2},    {"click", 2},  {"start", 2},
                                                          {"answer", 2}, {"page", 2},   {"focus", 2},
                                                          {"key", 2},    {"expect", 3}, {"file", 3}};
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
        std::istringstream words(line);
        std::string verb;
        words >> verb;
        if (verb == "scenario") {
            all.push_back({line.substr(9), {}});
            continue;
        }
        const auto fixed = fixedWords.find(verb);
        if (fixed == fixedWords.end() || all.empty()) {
            error = path + ":" + std::to_string(number) + ": " +
                    (all.empty() ? "step before a scenario" : "unknown step " + verb);
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
        // Values last: a Windows path holds backslashes.
        std::vector<std::string*> texts{&step.rest};
        for (std::string& w : step.words) texts.push_back(&w);
        for (std::string* text : texts)
            for (const auto& [key, value] : values)
                for (size_t at = 0; (at = text->find(key, at)) != std::string::npos; at += value.size())
                    text->replace(at, key.size(), value);
        all.back().steps.push_back(step);
    }
    return all;
}
