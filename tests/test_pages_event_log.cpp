// The event log viewer of the Management page against the virtual
// detector: record ranges, status lines, export of the console, clearing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "reports/event_catalogue.h"
#include "support/window_fixture.h"

using nerax_sim::DetectorModel;
using Lines = std::vector<std::string>;

namespace {

const std::string kHeader = logTableHeaderRow();
const std::string kSeparator = logTableSeparatorRow();

class EventLogViewer : public SimWindowTest {
protected:
    // A log of `records` events (0: blank), wrapped or not.
    void logOf(int records, bool wrapped) {
        detector().withModel([&](DetectorModel& m) {
            m.clearLog();
            for (int i = 0; i < records; ++i) m.appendLog(10 + i);
            m.eeprom[1030] = wrapped ? 1 : 0;
            m.sealLogHeader();
        });
    }
    // Record numbers of the table rows in `lines` (header and separator
    // first; the table's final line break leaves an empty line).
    static std::vector<int> rowNumbers(const Lines& lines) {
        std::vector<int> numbers;
        for (size_t i = 2; i < lines.size() && !lines[i].empty(); ++i)
            numbers.push_back(std::stoi(lines[i].substr(0, 4)));
        return numbers;
    }
    static std::vector<int> range(int last) {
        std::vector<int> v;
        for (int n = 0; n <= last; ++n) v.push_back(n);
        return v;
    }
    // Console after `from`: table head checked, then what follows the rows.
    Lines afterTable(size_t from, std::vector<int>& numbers) {
        Lines got = consoleFrom(from);
        EXPECT_GE(got.size(), 3u);
        if (got.size() < 3) return {};
        EXPECT_EQ(got[0], kHeader);
        EXPECT_EQ(got[1], kSeparator);
        numbers = rowNumbers(got);
        return Lines(got.begin() + 2 + static_cast<long>(numbers.size()), got.end());
    }
};

TEST_F(EventLogViewer, ReadLogsPrintsTheRowsOfTheDefaultLogFromTheDetectorsMemory) {
    connect();
    w().actionOk = 0;
    const size_t before = console().size();
    w().btnReadLogs.OnClick();
    const Lines got = consoleFrom(before);
    ASSERT_EQ(got.size(), 2u + 12 + 1);
    EXPECT_EQ(got[2],
              "0   |20/03/17 14:41:02|111: [A007] device was not powered for an unk|25  |24000 |23900 |87    |86    |"
              "normal              |normal              ");
    EXPECT_EQ(got[3],
              "1   |20/03/17 16:18:02|7  : Device initialization                   |25  |24000 |23900 |87    |86    |"
              "normal              |normal              ");
    EXPECT_EQ(got.back(), "");
    EXPECT_EQ(w().actionOk, 1);
    EXPECT_TRUE(w().btnReadLogs.Enabled);
}

TEST_F(EventLogViewer, RecordRangesAndStatusLines) {
    struct Case {
        const char* what;
        int records;
        bool wrapped;
        bool all;
        int last;
        Lines tail;  // after the rows
    };
    const Case cases[] = {
        {"newest 5", 6, false, false, 5, {""}},
        {"newest 5, wrapped", 6, true, false, 5, {"", ">>log is full"}},
        {"blank", 0, false, false, -1, {"", ">>log is blank"}},
        {"blank, all", 0, false, true, 2243, {""}},
        {"newest 5, all", 6, false, true, 2243, {""}},
        {"newest 5, wrapped, all", 6, true, true, 2243, {"", ">>log is full"}},
    };
    connect();
    for (const auto& c : cases) {
        logOf(c.records, c.wrapped);
        const size_t before = console().size();
        const bool printed = w().btnReadLogsClick(c.all ? &w().btnReadAllLogs : &w().btnReadLogs);
        std::vector<int> numbers;
        EXPECT_EQ(afterTable(before, numbers), c.tail) << c.what;
        EXPECT_EQ(numbers, range(c.last)) << c.what;
        EXPECT_TRUE(printed) << c.what;
    }
}

TEST_F(EventLogViewer, FailedReadingAndPrintingWithoutAReadingPrintNothing) {
    connect();
    w().actionOk = 0;
    w().btnShowLogClick(nullptr);
    detector().injectFault(3, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    EXPECT_FALSE(w().btnReadLogsClick(&w().btnReadLogs));
    EXPECT_EQ(consoleFrom(1), (Lines{">>QOB Error [15] device log not available",
                                     ">>QOB Error [16] impossible to read log information"}));
    EXPECT_EQ(w().actionOk, 0);
    EXPECT_TRUE(w().btnReadLogs.Enabled);
}

TEST_F(EventLogViewer, ExportSavesTheWholeConsoleAndAppendsTheStatusLineAfterwards) {
    logOf(3, true);
    connect();
    w().btnReadLogsClick(&w().btnReadLogs);
    const size_t afterReading = console().size();
    host.answerFile(work->path() + "/export.txt");
    const bool exported = w().btnExportLogClick(&w().btnExportLog);

    ASSERT_EQ(host.shown.size(), 1u);
    const FileDialog& dialog = host.shown[0].file;
    EXPECT_EQ(dialog.Title, "Export Logs");
    EXPECT_EQ(dialog.Filter, "TXT files (*.TXT)|*.TXT");
    EXPECT_EQ(dialog.DefaultExt, "TXT");
    EXPECT_FALSE(dialog.InitialDir.empty());

    // The export prints the table again from the image of the last reading.
    std::vector<int> numbers;
    EXPECT_EQ(afterTable(afterReading, numbers), (Lines{"", ">>log is full"}));
    EXPECT_EQ(numbers, range(2));
    std::string want;
    for (size_t i = 0; i + 1 < console().size(); ++i) want += console()[i] + "\r\n";
    EXPECT_EQ(work->read("export.txt"), want);
    EXPECT_EQ(console().front(), ">>Connected");
    EXPECT_TRUE(exported);
}

TEST_F(EventLogViewer, ExportAllPrintsEverySlot) {
    connect();
    w().btnReadLogsClick(&w().btnReadLogs);
    const size_t before = console().size();
    host.answerFile(work->path() + "/all.txt");
    w().btnExportAllLogs.OnClick();
    std::vector<int> numbers;
    EXPECT_EQ(afterTable(before, numbers), Lines{""});
    EXPECT_EQ(numbers, range(2243));
    EXPECT_TRUE(work->exists("all.txt"));
}

TEST_F(EventLogViewer, ExportThatCannotHappenWritesNoFile) {
    connect();
    // Cancelled dialog.
    w().btnExportLog.OnClick();
    EXPECT_EQ(console().size(), 1u);
    // No reading since connecting.
    host.answerFile(work->path() + "/x.txt");
    w().btnExportLog.OnClick();
    EXPECT_EQ(consoleFrom(1), Lines{">>QOB Error [15] device log not available"});
    // A file that cannot be written: an error box, no status line.
    logOf(2, true);
    w().btnReadLogsClick(&w().btnReadLogs);
    const size_t before = console().size();
    host.answerFile(work->path() + "/missing/x.txt");
    const bool exported = w().btnExportLogClick(&w().btnExportLog);
    EXPECT_EQ(host.shown.back().dialogKind, DialogKind::Error);
    std::vector<int> numbers;
    EXPECT_EQ(afterTable(before, numbers), Lines{""});
    EXPECT_FALSE(exported);
    EXPECT_EQ(work->files(), Lines{});
}

TEST_F(EventLogViewer, ClearAsksFirst) {
    connect();
    w().btnReadLogsClick(&w().btnReadLogs);
    const size_t before = console().size();
    host.answerNo();
    w().btnClearLog.OnClick();
    EXPECT_EQ(console().size(), before);
    EXPECT_EQ(detector().requestCount(22), 0);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text, "Clear logs?");
    EXPECT_EQ(host.shown[0].dialogKind, DialogKind::Warning);
    EXPECT_EQ(host.shown[0].buttons, DialogButtons::YesNo);

    host.answerYes();
    w().btnClearLog.OnClick();
    EXPECT_EQ(consoleFrom(before), Lines{">>Device log cleared"});
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.logNewestIndex(); }), -1);
    EXPECT_TRUE(w().btnClearLog.Enabled);
    // The image is gone: printing fails until the next reading.
    w().btnShowLogClick(nullptr);
    EXPECT_EQ(console().back(), ">>QOB Error [15] device log not available");
    w().btnReadLogsClick(&w().btnReadLogs);
    EXPECT_EQ(console().back(), ">>log is blank");

    host.answerYes();
    detector().injectFault(22, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    w().btnClearLog.OnClick();
    EXPECT_EQ(console().back().rfind(">>QOB Error [18] ", 0), 0u);
}

TEST_F(EventLogViewer, WithoutAConnection) {
    w().btnReadLogs.OnClick();
    w().btnClearLog.OnClick();
    w().btnShowLogClick(nullptr);
    EXPECT_EQ(console(), (Lines{">>Not connected!", ">>Not connected!", ">>Not connected!"}));
    EXPECT_TRUE(host.shown.empty());
}

}  // namespace
