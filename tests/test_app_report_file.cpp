// The one report writer: file name, CR LF, atomic replacement, failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/report_file.h"
#include "support/work_dir.h"

namespace {

TEST(ReportFile, LinesEndInCrLfAndEightBitTextIsKept) {
    ScopedWorkDir dir;
    std::string error;
    std::vector<std::string> lines = {"first", "", " ",
                                      "\xB0"
                                      "C \xE8 ok"};
    ASSERT_TRUE(writeTextFile("R.LOG", lines, error)) << error;
    EXPECT_EQ(dir.read("R.LOG"),
              "first\r\n\r\n \r\n\xB0"
              "C \xE8 ok\r\n");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"R.LOG"});  // no temporary left
}

TEST(ReportFile, ReplacesAnEarlierFileOfTheSameName) {
    ScopedWorkDir dir;
    dir.write("R.LOG", "old content that is longer than the new one\r\n");
    std::string error;
    ASSERT_TRUE(writeTextFile("R.LOG", {"new"}, error)) << error;
    EXPECT_EQ(dir.read("R.LOG"), "new\r\n");
}

TEST(ReportFile, AMissingDirectoryIsAClearError) {
    ScopedWorkDir dir;
    std::string error;
    EXPECT_FALSE(writeTextFile("no-such-dir/R.LOG", {"x"}, error));
    EXPECT_NE(error.find("no-such-dir"), std::string::npos) << error;
    EXPECT_TRUE(dir.files().empty());
}

TEST(ReportFile, ATargetThatIsAFolderIsRefusedAndKept) {
    ScopedWorkDir dir;
    std::filesystem::create_directory("R.LOG");
    std::string error;
    EXPECT_FALSE(writeTextFile("R.LOG", {"x"}, error));
    EXPECT_NE(error.find("R.LOG"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_directory("R.LOG"));
    EXPECT_EQ(dir.files(), std::vector<std::string>{"R.LOG"});  // no temporary left
}

}  // namespace
