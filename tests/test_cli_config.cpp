// nerax-lt-cli config in-process against the virtual detector: the
// listing, its file, loading it back, and loads that must write nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "link/frame.h"
#include "support/cli_run.h"

using Lines = std::vector<std::string>;

namespace {

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class CliConfig : public SimCliTest {
protected:
    CliConfig() { dropCarriageReturns = true; }
    std::vector<uint8_t> cfg() { return detector().eepromBytes(276, 220); }
};

TEST_F(CliConfig, ListsEveryParameterAfterGetAll) {
    CliLines r = run({"config"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_GT(r.out.size(), 43u);
    EXPECT_EQ(r.out[0], ">>Connected");
    EXPECT_EQ(Lines(r.out.begin() + 1, r.out.begin() + 43), Lines(42, ">>ok"));
    const Lines listing(r.out.begin() + 43, r.out.end());
    EXPECT_EQ(listing.front(), "edtPwd=5382");
    EXPECT_EQ(listing.back(), "cbDayNight=0");
    for (const char* line : {"edtCfg=001|14/03/17 10:30:00", "cbCh1Enabled=1", "cbFan1=1", "rgdsen=2",
                             "tbFanSp1=6", "edtCh1Label=CHANNEL 1       ", "edthd19=00/00", "rgAlMode=0",
                             "edtPressure=101325"})
        EXPECT_TRUE(contains(listing, line)) << line;
    EXPECT_EQ(detector().requestCount(cmd::WriteEeprom), 0);
}

TEST_F(CliConfig, SavedListingLoadsBackWithChanges) {
    CliLines r = run({"config", "--save", "cfg.txt"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string text = fileText("cfg.txt");
    ASSERT_NE(text.find("edtAlarmDelay=5\r\n"), std::string::npos);
    auto replace = [&](const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    replace("edtAlarmDelay=5\r\n", "edtAlarmDelay=17\r\n");
    replace("edtPwd=5382", "edtPwd=1234");
    replace("cbCh2Enabled=1\r\n", "cbCh2Enabled=0\r\n");
    replace("cbSe2Enabled=1\r\n", "cbSe2Enabled=0\r\n");
    writeFile("cfg.txt", "# edited\r\n\r\n" + text);

    r = run({"config", "--load", "cfg.txt"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), ">>Configuration updated");
    EXPECT_EQ(detector().eepromBytes(355, 1)[0], 17);
    EXPECT_EQ(detector().eepromBytes(276, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(detector().eepromBytes(288, 3), (std::vector<uint8_t>{0, 1, 0}));
}

TEST_F(CliConfig, RefusedGroupWritesNothing) {
    ASSERT_EQ(run({"config", "--save", "cfg.txt"}).code, 0);
    const auto before = cfg();
    writeFile("cfg.txt", fileText("cfg.txt") + "edtAlarmDelay=99\r\ntbFanSp2=0\r\nedtDaySt=8:00\r\n");
    CliLines r = run({"config", "--load", "cfg.txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("nothing written"), std::string::npos) << r.err;
    const auto fanSp = std::find(r.out.begin(), r.out.end(), "btnFanSp");
    ASSERT_NE(fanSp, r.out.end());
    EXPECT_EQ(*(fanSp + 1), ">>QOB Error [13] bad library function call");
    EXPECT_TRUE(contains(r.out, "'8:' is not a valid integer value"));
    EXPECT_EQ(detector().requestCount(cmd::WriteEeprom), 0);
    EXPECT_EQ(cfg(), before);
}

TEST_F(CliConfig, BadListingStopsBeforeConnecting) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"edtPwd=1234\nedtNope=1\n", "\"edtNope\" is not a configuration control"},
        {"edtPwd=1234\ngarbage\n", "cfg.txt:2: expected name=value, not \"garbage\""},
        {"=5\n", "cfg.txt:1: expected name=value"},
        {"cbFan1=yes\n", "cbFan1: a check box takes 1 or 0, not \"yes\""},
        {"rgExtInp=5\n", "rgExtInp: an item index from 0 to 4, not \"5\""},
        {"tbFanSp1=11\n", "tbFanSp1: a position from 0 to 10, not \"11\""},
        {"btnPwd=1\n", "\"btnPwd\" is not a configuration control"},
    };
    for (const Case& c : cases) {
        writeFile("cfg.txt", c.text);
        CliLines r = run({"config", "--load", "cfg.txt"});
        EXPECT_EQ(r.code, 1) << c.text;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << c.text;
    }
    CliLines r = run({"config", "--load", "missing.txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot read missing.txt"), std::string::npos);
    EXPECT_EQ(detector().requestCount(cmd::ReadEeprom), 0);

    EXPECT_EQ(run({"config", "--load", "a", "--save", "b"}).code, 2);
}

}  // namespace
