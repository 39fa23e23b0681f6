// RETRIEVE LOG against the virtual detector: the report compared line by
// line with the detector's memory, the saved file, failing sections, the
// controls around the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "device/texts.h"
#include "reports/event_catalogue.h"
#include "support/window_fixture.h"
#include "support/log_table.h"

using nerax_sim::DetectorModel;
using Lines = std::vector<std::string>;

namespace {

const std::string kRule(55, '-');
const char* const kReportName = "NERAX_LT_LOG_20170321_101530.LOG";

std::string fit(const std::string& text, size_t width) {
    std::string s = text.substr(0, width);
    s.resize(width, ' ');
    return s;
}

std::string two(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

// Tenths of a degree from a stored temperature byte, written out here
// rather than through the tool's formatter.
std::string tenths(int byte) {
    const int v = (byte - 100) * 5;
    const int whole = v / 10, rest = v % 10 < 0 ? -(v % 10) : v % 10;
    std::string text = (v < 0 && whole == 0 ? "-" : "") + std::to_string(whole);
    return rest == 0 ? text : text + "." + std::to_string(rest);
}

// The expected table row of one stored record.
Lines expectedCells(int n, const std::vector<uint8_t>& b) {
    const std::string date =
        b[1] == 0 ? "undefined"
                  : two(b[1]) + "/" + two(b[2]) + "/" + two(b[3]) + " " + two(b[4]) + ":" + two(b[5]) + ":" + two(b[6]);
    auto orUndefined = [](int byte, int value) { return byte == 0 ? std::string("undefined") : std::to_string(value); };
    return {fit(std::to_string(n), 4),
            fit(date, 17),
            fit(fit(std::to_string(b[0]), 3) + ": " + eventText(b[0]), 45),
            fit(b[7] == 0 ? "undefined" : tenths(b[7]), 4),
            fit(orUndefined(b[8], (b[8] + 100) * 100), 6),
            fit(orUndefined(b[9], (b[9] + 100) * 100), 6),
            fit(orUndefined(b[10], b[10]), 6),
            fit(orUndefined(b[11], b[11]), 6),
            fit(pollStatusTextFor(1, b[12]), 20),
            fit(pollStatusTextFor(1, b[13]), 20)};
}

std::string banner(const std::string& opening, const std::string& name) {
    std::string line = opening + "--" + name;
    line.resize(55, '-');
    return line;
}

class LogRetrieval : public SimWindowTest {
protected:
    // Index of `line` in the console, or -1.
    long find(const std::string& line) const {
        for (size_t i = 0; i < console().size(); ++i)
            if (console()[i] == line) return static_cast<long>(i);
        return -1;
    }
    // The lines between a section's banners.
    Lines section(const std::string& name) const {
        const long open = find(banner(">>>", name)), close = find(banner("<<<", name));
        EXPECT_GE(open, 0) << name;
        EXPECT_GT(close, open) << name;
        if (open < 0 || close <= open) return {};
        return Lines(console().begin() + open + 1, console().begin() + close);
    }
};

TEST_F(LogRetrieval, ReportMatchesTheDetectorsMemoryLineByLine) {
    connect();
    const bool saved = w().btnlogClick();
    EXPECT_TRUE(saved);
    const Lines& c = console();

    ASSERT_GE(c.size(), 8u);
    EXPECT_EQ(Lines(c.begin(), c.begin() + 8),
              (Lines{kRule, "NERAX LT Log: 21/03/2017 10:15:30", kRule, " ", " ", kRule, kRule, kRule}));

    EXPECT_EQ(c[8], ">>>--TIME----------------------------------------------");
    const nerax_sim::ClockValue clock = detector().clock();
    const std::string clockText = two(clock.day) + "/" + two(clock.month) + "/" + two(clock.year) + " " +
                                  two(clock.hour) + ":" + two(clock.minute) + ":" + two(clock.second);
    EXPECT_EQ(section("TIME"), (Lines{">>Device clock read!", clockText}));

    w().Button4Click();
    EXPECT_EQ(section("INFO"), w().memState.Lines.lines());
    EXPECT_EQ(section("INFO").size(), 27u);
    w().btnStateClick();
    const Lines state = section("STATE");
    EXPECT_EQ(state, w().memState.Lines.lines());
    const int flow1 = detector().withModel([](DetectorModel& m) { return m.flow[0]; });
    EXPECT_NE(std::find(state.begin(), state.end(), " Flow                  :" + std::to_string(flow1)), state.end());

    const Lines log = section("LOG");
    ASSERT_EQ(log.size(), 2u + 2244 + 1);
    EXPECT_EQ(log[0], logTableHeaderRow());
    EXPECT_EQ(log[1], logTableSeparatorRow());
    const std::vector<uint8_t> records = detector().eepromBytes(1088, 2244 * 14);
    for (int n = 0; n < 2244; ++n) {
        const std::vector<uint8_t> stored(records.begin() + 14 * n, records.begin() + 14 * (n + 1));
        ASSERT_EQ(cellsOf(log[static_cast<size_t>(2 + n)]), expectedCells(n, stored)) << "record " << n;
    }
    EXPECT_EQ(log.back(), "");

    // Each section closes with a blank line; the console ends with the last.
    for (const char* name : {"TIME", "INFO", "STATE", "LOG"})
        EXPECT_EQ(c[static_cast<size_t>(find(banner("<<<", name)) + 1)], " ") << name;
    EXPECT_EQ(c.back(), " ");
    EXPECT_EQ(find(banner(">>>", "INFO")), find(banner("<<<", "TIME")) + 2);
    EXPECT_EQ(find(banner(">>>", "STATE")), find(banner("<<<", "INFO")) + 2);
    EXPECT_EQ(find(banner(">>>", "LOG")), find(banner("<<<", "STATE")) + 2);
}

TEST_F(LogRetrieval, SavesTheConsoleAsTheReportFile) {
    connect();
    w().btnlogClick();
    std::string want;
    for (const auto& line : console()) want += line + "\r\n";
    EXPECT_EQ(work->files(), Lines{kReportName});
    EXPECT_EQ(work->read(kReportName), want);
    ASSERT_FALSE(host.shown.empty());
    EXPECT_EQ(host.shown.back().text, std::string("LOG SAVED!\n\n") + kReportName);

    // Within the same second: the same name, overwritten.
    detector().withModel([](DetectorModel& m) { m.appendLog(10); });
    w().btnlogClick();
    want.clear();
    for (const auto& line : console()) want += line + "\r\n";
    EXPECT_EQ(work->files(), Lines{kReportName});
    EXPECT_EQ(work->read(kReportName), want);
}

TEST_F(LogRetrieval, ControlsAreLockedDuringTheRunAndConnectStaysDisabled) {
    connect();
    Control* const controls[] = {&w().btndiag, &w().Button1,     &w().btnres, &w().Button2,
                                 &w().btnlog,  &w().chkfulldiag, &w().Edit1,  &w().chktestalarms};
    std::vector<bool> during;
    w().memLog.onChange = [&](Control&) {
        if (during.empty() && !console().empty() && console().back() == banner(">>>", "LOG"))
            for (Control* c : controls) during.push_back(c->Enabled);
    };
    w().btnlogClick();
    w().memLog.onChange = nullptr;
    EXPECT_EQ(during, std::vector<bool>(8, false));
    for (Control* c : controls) EXPECT_EQ(c->Enabled.get(), c != &w().Button1) << c->Name();
}

TEST_F(LogRetrieval, AFailingSectionKeepsItsErrorLineAndTheNextFollows) {
    connect();
    w().edtGetTime.Text = "earlier";
    detector().injectFault(19, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    detector().injectFault(30, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    const bool saved = w().btnlogClick();
    const Lines time = section("TIME");
    ASSERT_EQ(time.size(), 2u);
    EXPECT_EQ(time[0].rfind(">>QOB Error [24] ", 0), 0u);
    EXPECT_EQ(time[1], "earlier");
    EXPECT_EQ(section("INFO").size(), 27u);
    // The failed state readout leaves memState cleared: one empty line.
    EXPECT_EQ(section("STATE"), (Lines{">>QOB Error [11] impossible to read device state", ""}));
    EXPECT_EQ(section("LOG").size(), 2u + 2244 + 1);
    EXPECT_TRUE(saved);
}

TEST_F(LogRetrieval, WrappedLogEndsTheSectionWithLogIsFull) {
    detector().withModel([](DetectorModel& m) {
        m.eeprom[1030] = 1;
        m.sealLogHeader();
    });
    connect();
    w().btnlogClick();
    const Lines log = section("LOG");
    ASSERT_EQ(log.size(), 2u + 2244 + 2);
    EXPECT_EQ(log.back(), ">>log is full");
}

TEST_F(LogRetrieval, BlankLogListsEverySlotWithoutTheBlankLine) {
    detector().withModel([](DetectorModel& m) { m.clearLog(); });
    connect();
    w().btnlogClick();
    const Lines log = section("LOG");
    ASSERT_EQ(log.size(), 2u + 2244 + 1);
    EXPECT_EQ(log[2].substr(0, 5), "0   |");
    EXPECT_EQ(log[2 + 2243].substr(0, 5), "2243|");
    EXPECT_EQ(std::count(log.begin(), log.end(), ">>log is blank"), 0);
}

TEST_F(LogRetrieval, WithoutAConnectionNothingButTheGuardLine) {
    w().memLog.Lines.Add("kept");
    const bool saved = w().btnlogClick();
    EXPECT_EQ(console(), (Lines{"kept", ">>Not connected!"}));
    EXPECT_TRUE(work->files().empty());
    EXPECT_FALSE(saved);
    EXPECT_TRUE(w().btnlog.Enabled);
}

TEST_F(LogRetrieval, AReportThatCannotBeWrittenIsAnErrorAndUnlocksTheControls) {
    connect();
    std::filesystem::create_directory(work->path() + "/" + kReportName);
    const bool saved = w().btnlogClick();
    EXPECT_FALSE(saved);
    ASSERT_FALSE(host.shown.empty());
    EXPECT_EQ(host.shown.back().dialogKind, DialogKind::Error);
    EXPECT_TRUE(w().btnres.Enabled);
    EXPECT_TRUE(w().Button2.Enabled);
    EXPECT_TRUE(std::filesystem::is_directory(work->path() + "/" + kReportName));
}

}  // namespace
