// nerax-lt-cli state, log, clock and retrieve-log in-process against the
// virtual detector: console lines in order, exit codes, files written.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "reports/event_catalogue.h"
#include "support/cli_run.h"

using nerax_sim::DetectorModel;
using Lines = std::vector<std::string>;

namespace {

class CliPages : public SimCliTest {};

TEST_F(CliPages, StatePrintsTheConsoleThenTheReadout) {
    CliLines r = run({"state"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(r.out.size(), 1u + 35);
    EXPECT_EQ(r.out[0], ">>Connected");
    EXPECT_EQ(r.out[1], " ASD in fault          :N");
    EXPECT_EQ(r.out[7], " Operating hours       :1234");
    EXPECT_EQ(r.out.back(), " Flow temperature      :24.5");

    detector().injectFault(30, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    r = run({"state"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, (Lines{">>Connected", ">>QOB Error [11] impossible to read device state"}));
}

TEST_F(CliPages, LogPrintsTheTableAndExports) {
    CliLines r = run({"log"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(r.out.size(), 1u + 2 + 12 + 1);
    EXPECT_EQ(r.out[1], logTableHeaderRow());
    EXPECT_EQ(r.out[2], logTableSeparatorRow());
    EXPECT_EQ(r.out[14].substr(0, 5), "11  |");

    r = run({"log", "--all", "--export", work.path() + "/all.txt"});
    EXPECT_EQ(r.code, 0) << r.err;
    // The reading's table, then the export's, both of every slot.
    EXPECT_EQ(r.out.size(), 1u + 2 * (2 + 2244 + 1));
    std::string want;
    for (const auto& line : r.out) want += line + "\r\n";
    EXPECT_EQ(work.read("all.txt"), want);

    r = run({"log", "--export", work.path() + "/missing/x.txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("[error]"), std::string::npos);
}

TEST_F(CliPages, LogFailsWhenTheReadingFails) {
    detector().withModel([](DetectorModel& m) { ++m.eeprom[1087]; });
    CliLines r = run({"log"});
    EXPECT_EQ(r.code, 1);
    ASSERT_EQ(r.out.size(), 2u);
    EXPECT_EQ(r.out[1].rfind(">>QOB Error [22] ", 0), 0u);
}

TEST_F(CliPages, ClockReadsAndSets) {
    CliLines r = run({"clock"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, (Lines{">>Connected", ">>Device clock read!", "21/03/17 10:15:02"}));

    r = run({"clock", "--set", "29/02/12 10:00:00"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, (Lines{">>Connected", ">>Device clock set!", ">>Device clock read!", "29/02/12 10:00:00"}));

    r = run({"clock", "--set", "29/02/13 10:00:00"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, (Lines{">>Connected", ">>QOB Error [13] bad library function call", ">>Device clock read!",
                            "29/02/12 10:00:00"}));

    r = run({"clock", "--set", "today"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, (Lines{">>Connected", ">>Device clock read!", "29/02/12 10:00:00"}));
    EXPECT_NE(r.err.find("is not a valid integer value"), std::string::npos);
}

TEST_F(CliPages, RetrieveLogWritesTheReportInTheWorkingDirectory) {
    CliLines r = run({"retrieve-log"});
    EXPECT_EQ(r.code, 0) << r.err;
    const Lines files = work.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].rfind("NERAX_LT_LOG_", 0), 0u);
    EXPECT_EQ(files[0].substr(files[0].size() - 4), ".LOG");
    ASSERT_GE(r.out.size(), 3u);
    EXPECT_EQ(r.out[0], ">>Connected");
    EXPECT_EQ(r.out[1], std::string(55, '-'));
    // The file holds the console from its clearing on.
    std::string want;
    for (size_t i = 1; i < r.out.size(); ++i) want += r.out[i] + "\r\n";
    EXPECT_EQ(work.read(files[0]), want);
    EXPECT_NE(r.err.find("LOG SAVED!\n\n" + files[0]), std::string::npos);
}

TEST_F(CliPages, UsageAndConnectionFailures) {
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"state"}, out, err), 2);
    EXPECT_EQ(runCli({"log", "--port", "201", "--export"}, out, err), 2);
    EXPECT_EQ(runCli({"clock", "--port", "201", "--bogus"}, out, err), 2);
    EXPECT_EQ(out.str(), "");
    for (const char* command : {"state", "log", "clock", "retrieve-log"}) {
        std::ostringstream o, e;
        EXPECT_EQ(runCli({command, "--port", std::to_string(comNumber() + 1)}, o, e), 1) << command;
    }
    EXPECT_TRUE(work.files().empty());
}

}  // namespace
