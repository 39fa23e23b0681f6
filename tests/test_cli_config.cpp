// nerax-lt-cli config in-process against the virtual detector: the
// listing, its file, loading it back, and loads that must write nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
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

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

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
    for (const char* line : {"edtCfg=001|14/03/17 10:30:00", "cbCh1Enabled=1", "cbFan1=1", "rgdsen=2", "tbFanSp1=6",
                             "edtCh1Label=CHANNEL 1       ", "edthd19=00/00", "rgAlMode=0", "edtPressure=101325"})
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
    // As an editor that adds a byte-order mark saves it.
    writeFile("cfg.txt", "\xEF\xBB\xBF# edited\r\n\r\n" + text);

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
    std::string text = fileText("cfg.txt");
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"edtAlarmDelay=5\r\n", "edtAlarmDelay=99\r\n"},
                                   {"tbFanSp2=6\r\n", "tbFanSp2=0\r\n"},
                                   {"edtDaySt=08:00\r\n", "edtDaySt=8:00\r\n"}}) {
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    writeFile("cfg.txt", text);
    CliLines r = run({"config", "--load", "cfg.txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("nothing written"), std::string::npos) << r.err;
    const auto fanSp = std::find(r.out.begin(), r.out.end(), "btnFanSp");
    ASSERT_NE(fanSp, r.out.end());
    EXPECT_EQ(*(fanSp + 1), ">>QOB Error [13] bad library function call");
    // The console shows what the window's driver shows; the reason goes to stderr.
    const auto dayNig = std::find(r.out.begin(), r.out.end(), "btnDayNig");
    ASSERT_NE(dayNig, r.out.end());
    EXPECT_EQ(*(dayNig + 1), "EXCEPTION");
    EXPECT_NE(r.err.find("btnDayNig: '8:' is not a valid integer value"), std::string::npos) << r.err;
    EXPECT_EQ(detector().requestCount(cmd::WriteEeprom), 0);
    EXPECT_EQ(cfg(), before);
}

// Every file the tool writes ends each line with CR LF; a copy that
// stopped early, and any other file that is not what the command takes,
// is refused with the file's name and the reason before anything is sent.
TEST_F(CliConfig, BadFilesAreRefusedBeforeAnythingIsSent) {
    std::string image;  // a whole image, byte 511 last
    for (int i = 0; i < 512; ++i) image += std::to_string(i) + "=" + std::to_string(i % 200) + "\r\n";
    std::string cfgLast;  // byte 291 (disable time, inside CFG) last
    for (int i = 0; i < 512; ++i)
        if (i != 291) cfgLast += std::to_string(i) + "=0\r\n";
    const std::string cutShort = "the file is cut short: its last line has no line end";
    struct Case {
        const char* command;  // "config" loads cfg.txt, "eeprom-load" x.e2p
        std::string text;
        std::string error;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"config", "edtPwd=1234\nedtNope=1\n", "cfg.txt:2: \"edtNope\" is not a configuration control"},
        {"config", "edtPwd=1234\ngarbage\n", "cfg.txt:2: expected name=value, not \"garbage\""},
        {"config", "=5\n", "cfg.txt:1: expected name=value"},
        {"config", "cbFan1=yes\n", "cbFan1: a check box takes 1 or 0, not \"yes\""},
        {"config", "rgExtInp=5\n", "rgExtInp: an item index from 0 to 4, not \"5\""},
        {"config", "tbFanSp1=11\n", "tbFanSp1: a position from 0 to 10, not \"11\""},
        {"config", "btnPwd=1\n", "\"btnPwd\" is not a configuration control"},
        {"config", "edtAlarmDelay=5\r\nedtSensDisTime=6", "cfg.txt: cut short, the last line has no line end"},
        {"config", "edtSensDisTime=", "cfg.txt: cut short, the last line has no line end"},
        {"config", "edtPwd=1234\r\n# c\r\nedtAlarmDelay=5\r\nedtPwd=4321\r\n",
         "cfg.txt:4: \"edtPwd\" is set twice, on lines 1 and 4"},
        {"config", "", "cfg.txt: nothing to load"},
        {"config", "\xEF\xBB\xBF# only a comment\r\n\r\n   \r\n", "cfg.txt: nothing to load"},
        {"config", "edtCh1Label=ABCDEFGHIJKLMNOPQ\r\n",
         "cfg.txt:1: edtCh1Label: a label holds at most 16 characters, not 17"},
        {"config", std::string("\xFF\xFE" "e\0=\0" "1\0\n\0", 10), "cfg.txt: UTF-16 text"},
        {"config", std::string(5000, 'x') + "\n", "cfg.txt:1: expected name=value, not \"" + std::string(60, 'x') + "...\""},
        {"config", "edtPwd=" + std::string(1 << 20, '1') + "\n", "cfg.txt: larger than 1 MiB"},
        {"config", "bad\x1b[2Jline\n", "cfg.txt:1: expected name=value, not \"bad?[2Jline\""},
        {"eeprom-load", image.substr(0, image.size() - 3), "x.e2p\n\n" + cutShort},
        {"eeprom-load", cfgLast + "291=3", "x.e2p\n\n" + cutShort},
        {"eeprom-load", "0=1\r\n1=2\r\n", "byte 2 is missing (the file holds 2 rows of 512)"},
    };
    // clang-format on
    auto requests = [&] {
        return detector().withModel([](nerax_sim::DetectorModel& m) {
            int n = 0;
            for (int c : m.requestCount) n += c;
            return n;
        });
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        const int before = requests();
        CliLines r;
        if (std::string(c.command) == "config") {
            writeFile("cfg.txt", c.text);
            r = run({"config", "--load", "cfg.txt"});
        } else {
            writeFile("x.e2p", c.text);
            r = run({"eeprom-load", "--file", "x.e2p", "--yes"});
        }
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err.substr(0, 300);
        EXPECT_LT(r.err.size(), 400u);
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(requests(), before);
    }
    CliLines r = run({"config", "--load", "missing.txt"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot read missing.txt"), std::string::npos);
    EXPECT_EQ(detector().requestCount(cmd::ReadEeprom), 0);

    EXPECT_EQ(run({"config", "--load", "a", "--save", "b"}).code, 2);
}

// A saved listing loads back without changing a byte, also where the
// detector holds values the pages cannot show: those groups are listed as
// comments, and a load leaves the groups it does not name as stored.
TEST_F(CliConfig, SaveThenLoadLeavesTheDetectorsBytesAsTheyWere) {
    detector().withModel([](nerax_sim::DetectorModel& m) {
        m.eeprom[351] = 0;    // LB alarm mode: no item
        m.eeprom[294] = 5;    // mirroring LEDs: a flag that is not 0 or 1
        m.eeprom[426] = 7;    // daylight saving beyond "auto"
        m.eeprom[467] = 1;    // two external input events at once
        m.eeprom[391] = 0;    // a zero inside label ch2
        m.eeprom[454] = 0;    // manual fan speed ch1 below 1
        m.eeprom[283] = 150;  // configuration year beyond 99
        m.eeprom[290] = 0;    // sensor 2 off under an enabled channel 2
        m.sealAreas();
    });
    const std::vector<uint8_t> before = detector().eepromBytes(0, 512);

    CliLines r = run({"config", "--save", "cfg.txt"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string text = fileText("cfg.txt");
    for (const char* line :
         {"# btnAlMode: the detector holds values these controls cannot show; a load leaves them as stored\r\n",
          "# rgAlMode=-1\r\n", "# cbMirrEn=1\r\n", "# rgdsen=2\r\n", "# rgExtInp=0\r\n", "# edtCh2Label=CHA\r\n",
          "# tbFanSp1=0\r\n", "# edtCfg=001|14/03/11 10:30:00\r\n", "# cbCh2Enabled=1\r\n", "# cbSe2Enabled=0\r\n",
          "edtCh1Label=CHANNEL 1       \r\n", "edtAlarmDelay=5\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;

    r = run({"config", "--load", "cfg.txt"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), ">>Configuration updated");
    EXPECT_FALSE(contains(r.out, "btnAlMode"));
    EXPECT_GT(detector().requestCount(cmd::WriteEeprom), 0);
    EXPECT_EQ(detector().eepromBytes(0, 512), before);

    // A value given for such a group is written like any other.
    writeFile("cfg.txt", text + "rgAlMode=1\r\n");
    r = run({"config", "--load", "cfg.txt"});
    EXPECT_EQ(r.code, 0) << r.err;
    std::vector<uint8_t> expected = before;
    expected[351] = 2;
    expected[495] = static_cast<uint8_t>(before[495] + 2);
    EXPECT_EQ(detector().eepromBytes(0, 512), expected);
}

}  // namespace
