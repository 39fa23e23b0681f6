#include "support/cli_run.h"

#include <sstream>

#include "cli/cli.h"

std::vector<std::string> linesOf(const std::string& text, bool dropCarriageReturns) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (dropCarriageReturns && !line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

CliLines SimCliTest::run(Lines args) {
    args.insert(args.begin() + 1, {"--port", std::to_string(comNumber())});
    std::ostringstream out, err;
    const int code = runCli(args, out, err);
    return {code, linesOf(out.str(), dropCarriageReturns), err.str()};
}
