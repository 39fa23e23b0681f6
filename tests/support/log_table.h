// Test helper: the cells of an event-log table row, split at the bars.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> cellsOf(const std::string& row) {
    std::vector<std::string> cells(1);
    for (char c : row) {
        if (c == '|')
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}
