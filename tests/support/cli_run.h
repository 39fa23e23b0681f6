// Test helper: the command-line front end run in-process against the
// virtual detector, its output split into lines.
//
//   class MyCliTest : public SimCliTest {};
//   TEST_F(MyCliTest, States) { CliLines r = run({"state"}); EXPECT_EQ(r.code, 0) << r.err; }
#pragma once

#include <string>
#include <vector>

#include "support/sim_fixture.h"
#include "support/work_dir.h"

// The lines of a text; with dropCarriageReturns a "\r" before each line end goes too.
std::vector<std::string> linesOf(const std::string& text, bool dropCarriageReturns = false);

struct CliLines {
    int code;
    std::vector<std::string> out;
    std::string err;
};

class SimCliTest : public SimFixture {
protected:
    using Lines = std::vector<std::string>;
    // args[0] is the command; "--port <the detector's COM number>" goes after it.
    CliLines run(Lines args);
    std::string path(const std::string& name) const { return work.path() + "/" + name; }

    bool dropCarriageReturns = false;
    ScopedWorkDir work;  // no stray INI file, files land here
};
