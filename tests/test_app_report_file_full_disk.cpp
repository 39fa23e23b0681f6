// The report writer on a full disk (a file size limit stands in for it).
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "app/report_file.h"
#include "support/work_dir.h"

namespace {

TEST(ReportFile, AWriteThatRunsOutOfSpaceKeepsTheEarlierFile) {
    ScopedWorkDir dir;
    dir.write("R.LOG", "earlier report\r\n");
    // A file size limit makes the write fail as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::vector<std::string> big(2000, std::string(80, 'x'));
    std::string error;
    bool written = writeTextFile("R.LOG", big, error);
    setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("R.LOG"), std::string::npos) << error;
    EXPECT_EQ(dir.read("R.LOG"), "earlier report\r\n");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"R.LOG"});
}

}  // namespace
