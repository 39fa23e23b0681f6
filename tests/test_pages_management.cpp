// The identity and state readouts and the clock group of the Management
// page against the virtual detector: exact lines per variant, refusals,
// failures, the clock round trip and refused dates.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "support/window_fixture.h"

using nerax_sim::DetectorModel;
using Lines = std::vector<std::string>;

namespace {

class ManagementPage : public SimWindowTest {
protected:
    void model(const std::function<void(DetectorModel&)>& change) {
        detector().withModel([&](DetectorModel& m) {
            change(m);
            m.sealAreas();
        });
    }
    // Identity bytes are taken at connect: change them first.
    void connectAs(int variant) {
        model([variant](DetectorModel& m) { m.eeprom[259] = static_cast<uint8_t>(variant); });
        connect();
    }
};

const Lines kRelaysReset = {
    " Relay ALARM 1         :reset", " Relay ALARM 2         :reset", " Relay PREALARM 1      :reset",
    " Relay PREALARM 2      :reset", " Relay SOUNDER 1       :reset", " Relay SOUNDER 2       :reset",
    " Relay FAULT           :reset", " Relay AUXILIART FAULT :reset",
};

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- identity readout -------------------------------------------------

TEST_F(ManagementPage, IdentityReadoutOfTheDefaultDetectorWritesNoConsoleLine) {
    connect();
    const size_t before = console().size();
    w().Button4Click();
    EXPECT_EQ(stateView(), defaultIdentityReadout());
    EXPECT_EQ(console().size(), before);
}

TEST_F(ManagementPage, IdentityReadoutNamesTheVariant) {
    const std::pair<int, const char*> cases[] = {{2, "loop based"}, {4, "vask"}, {3, "oltra"}, {0, "oltra"}};
    for (const auto& [variant, name] : cases) {
        connectAs(variant);
        w().Button4Click();
        ASSERT_EQ(stateView().size(), 27u) << variant;
        EXPECT_EQ(stateView()[8], std::string("Variant                :") + name) << variant;
        w().Button2Click();
    }
}

TEST_F(ManagementPage, IdentityReadoutStopsAtAWrongConfiguration) {
    model([](DetectorModel& m) { m.wrongConfiguration = true; });
    connect();
    w().Button4Click();
    ASSERT_EQ(stateView().size(), 8u);
    EXPECT_EQ(stateView().back(), "WRONG CONFIGURATION?   :Y");
}

TEST_F(ManagementPage, IdentityReadoutShowsAPendingRestart) {
    struct Case {
        int pending, maintenanceByte;
        bool queryFails;
        const char* text;
    };
    // clang-format off
    const Case cases[] = {
        {0, 1, false, "N"}, {1, 0, false, "Y (normal)"}, {1, 1, false, "Y (maintenance)"},
        {0, 0, true, "Y (maintenance)"},   // a failed query (-1)
    };
    // clang-format on
    connect();
    for (const auto& c : cases) {
        detector().withModel([&](DetectorModel& m) {
            m.restartPending = c.pending;
            m.restartDueMs = INT64_MAX;
            m.eeprom[1031] = static_cast<uint8_t>(c.maintenanceByte);
            m.sealLogHeader();
        });
        if (c.queryFails) detector().injectFault(35, {nerax_sim::FaultKind::NotAcknowledged}, 1);
        w().Button4Click();
        ASSERT_EQ(stateView().size(), 27u);
        EXPECT_EQ(stateView()[2], std::string("ASD will restart       :") + c.text) << c.pending << c.maintenanceByte;
    }
}

// ---- state readout ----------------------------------------------------

Lines defaultState() {
    return Lines{" ASD in fault          :N",     " ASD in auxiliary fault:N",  " Power 1               :24000",
                 " Power 2               :23900", " Internal temperature  :25", " External input        :open",
                 " Operating hours       :1234"} +
           kRelaysReset +
           Lines{"",
                 ">>CHANNEL 1 ----------",
                 " Channel is enabled    :Y",
                 " Sensor  is enabled    :Y",
                 " Last poll             :normal",
                 " Channel is in alarm   :N",
                 " Channel is in prealarm:N",
                 " Flow                  :87",
                 " Fan speed             :6",
                 " Flow temperature      :24",
                 "",
                 ">>CHANNEL 2 ----------",
                 " Channel is enabled    :Y",
                 " Sensor  is enabled    :Y",
                 " Last poll             :normal",
                 " Channel is in alarm   :N",
                 " Channel is in prealarm:N",
                 " Flow                  :86",
                 " Fan speed             :6",
                 " Flow temperature      :24.5"};
}

TEST_F(ManagementPage, StateReadoutOfTheDefaultDetector) {
    connect();
    w().actionOk = 0;
    const size_t before = console().size();
    w().btnStateClick();
    EXPECT_EQ(stateView(), defaultState());
    EXPECT_EQ(console().size(), before);
    EXPECT_EQ(w().actionOk, 1);
}

TEST_F(ManagementPage, StateReadoutOfAnAllZeroState) {
    connect();
    detector().withModel([](DetectorModel& m) {
        for (int c = 0; c < 2; ++c) {
            m.channelEnabled[c] = m.sensorEnabled[c] = m.flow[c] = m.fanSpeed[c] = 0;
            m.powerByte[c] = m.flowTempByte[c] = m.sensorOutput[c] = 0;
        }
        m.internalTempByte = 0;
        m.setHoursCounter(0);
    });
    w().btnStateClick();
    const Lines channelOff = {" Channel is enabled    :N", " Sensor  is enabled    :N"};
    EXPECT_EQ(stateView(),
              (Lines{" ASD in fault          :N", " ASD in auxiliary fault:N", " Power 1               :undefined",
                     " Power 2               :undefined", " Internal temperature  :undefined",
                     " External input        :open", " Operating hours       :0"} +
               kRelaysReset + Lines{"", ">>CHANNEL 1 ----------"} + channelOff + Lines{"", ">>CHANNEL 2 ----------"} +
               channelOff));
}

TEST_F(ManagementPage, StateReadoutValues) {
    struct Case {
        const char* what;
        std::function<void(DetectorModel&)> change;
        size_t line;
        const char* want;
    };
    const Case cases[] = {
        {"fault delayed", [](DetectorModel& m) { m.asdInFault = 2; }, 0, " ASD in fault          :delay"},
        {"aux fault", [](DetectorModel& m) { m.asdInAuxFault = 1; }, 1, " ASD in auxiliary fault:Y"},
        {"negative tenths", [](DetectorModel& m) { m.internalTempByte = 99; }, 4, " Internal temperature  :-0.5"},
        {"tenths", [](DetectorModel& m) { m.internalTempByte = 151; }, 4, " Internal temperature  :25.5"},
        {"input short", [](DetectorModel& m) { m.externalInput = 3; }, 5, " External input        :short"},
        {"hours", [](DetectorModel& m) { m.setHoursCounter(0x2710); }, 6, " Operating hours       :5000"},
        {"hours, top byte", [](DetectorModel& m) { m.setHoursCounter(0xFFFFFFFFu); }, 6,
         " Operating hours       :2147483647"},
        {"relay prealarm 1 is index 6", [](DetectorModel& m) { m.relay[6] = 1; }, 9, " Relay PREALARM 1      :set"},
        {"relay aux fault", [](DetectorModel& m) { m.relay[8] = 1; }, 14, " Relay AUXILIART FAULT :set"},
        {"alarm delayed", [](DetectorModel& m) { m.alarm[0] = 2; }, 20, " Channel is in alarm   :delay"},
        {"prealarm", [](DetectorModel& m) { m.prealarm[0] = 1; }, 21, " Channel is in prealarm:Y"},
        {"sensor status 23", [](DetectorModel& m) { m.sensorOutput[0] = 23; }, 19, " Last poll             :"},
        {"sensor status 22", [](DetectorModel& m) { m.sensorOutput[0] = 22; }, 19,
         " Last poll             :error 14 [no answer/pw out of spec.]"},
        {"flow", [](DetectorModel& m) { m.flow[0] = 140; }, 22, " Flow                  :140"},
        {"fan speed", [](DetectorModel& m) { m.fanSpeed[0] = 9; }, 23, " Fan speed             :9"},
    };
    connect();
    for (const auto& c : cases) {
        detector().withModel([&](DetectorModel& m) {
            DetectorModel fresh;
            m = fresh;
            c.change(m);
        });
        w().btnStateClick();
        ASSERT_GT(stateView().size(), c.line) << c.what;
        EXPECT_EQ(stateView()[c.line], c.want) << c.what;
    }
}

TEST_F(ManagementPage, FaultAndAlertLinesFollowTheirOrder) {
    connect();
    detector().withModel([](DetectorModel& m) {
        for (int code : {104, 110, 100, 137, 101, 133}) m.faultAlert[code - 100] = 1;
    });
    w().btnStateClick();
    const Lines want = {" fault 001 (wrong conf)", " fault 022 (flow 2 hi )", " fault 023 (high power)",
                        " alert 001 (lb data ko)", " alert 015 (filter 2  )", " alert 016 (LED pcb ko)"};
    EXPECT_EQ(Lines(stateView().begin() + 2, stateView().begin() + 8), want);
    EXPECT_EQ(stateView()[8], " Power 1               :24000");
}

TEST_F(ManagementPage, LoopBasedVariantShowsItsAddressAndRemoteOutputs) {
    connectAs(2);
    detector().withModel([](DetectorModel& m) {
        m.loopAddress = 12;
        m.sensorOutput[0] = 1;
        m.sensorOutput[1] = 3;
    });
    w().btnStateClick();
    const Lines& s = stateView();
    EXPECT_EQ(s[5], " Loop Address          :12");
    const Lines channel1(s.begin() + 16, s.begin() + 25);
    EXPECT_EQ(channel1, (Lines{"", ">>CHANNEL 1 ----------", " Channel is enabled    :Y", " Sensor  is enabled    :Y",
                               " Sensor Remote Output  :ON", " Channel is in alarm   :N", " Flow                  :87",
                               " Fan speed             :6", " Flow temperature      :24"}));
    EXPECT_EQ(s[29], " Sensor Remote Output  :OFF");

    detector().withModel([](DetectorModel& m) { m.loopAddress = 255; });
    w().btnStateClick();
    EXPECT_EQ(stateView()[5], " Loop Address          :invalid");
}

TEST_F(ManagementPage, SensorLinePerVariant) {
    const std::pair<int, Lines> cases[] = {
        {4, {" Sensor Remote Output  :ON", " Sensor Remote Output  :OFF"}},
        {3, {" Sensor Base relay     :active", " Sensor Base relay     :not active"}},
        {5, {}},
    };
    for (const auto& [variant, want] : cases) {
        connectAs(variant);
        detector().withModel([](DetectorModel& m) {
            m.sensorOutput[0] = 1;
            m.sensorOutput[1] = 2;
        });
        w().btnStateClick();
        Lines sensorLines;
        for (const auto& line : stateView())
            if (line.rfind(" Sensor Remote", 0) == 0 || line.rfind(" Sensor Base", 0) == 0 ||
                line.rfind(" Last poll", 0) == 0)
                sensorLines.push_back(line);
        EXPECT_EQ(sensorLines, want) << variant;
        EXPECT_EQ(std::count(stateView().begin(), stateView().end(), " Channel is in prealarm:N"), 0) << variant;
        EXPECT_EQ(std::count(stateView().begin(), stateView().end(), " Loop Address          :invalid"), 0);
        w().Button2Click();
    }
}

TEST_F(ManagementPage, DisabledChannelShowsOnlyItsHeaderAndEnableLines) {
    connect();
    detector().withModel([](DetectorModel& m) { m.channelEnabled[1] = 0; });
    w().btnStateClick();
    const Lines& s = stateView();
    EXPECT_EQ(Lines(s.end() - 5, s.end()), (Lines{"", ">>CHANNEL 2 ----------", " Channel is enabled    :N",
                                                  " Sensor  is enabled    :Y", " Last poll             :normal"}));
}

TEST_F(ManagementPage, WithoutAConnectionBothReadoutsLeaveTheViewAsItWas) {
    w().memState.Lines.Add("old");
    w().Button4Click();
    w().btnStateClick();
    EXPECT_EQ(console(), (Lines{">>Not connected!", ">>Not connected!"}));
    EXPECT_EQ(stateView(), Lines{"old"});
}

TEST_F(ManagementPage, FailedStateReadLeavesTheViewAsItWas) {
    connect();
    w().btnStateClick();
    w().actionOk = 0;
    detector().injectFault(30, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    const size_t before = console().size();
    w().btnStateClick();
    EXPECT_EQ(consoleFrom(before), Lines{">>QOB Error [11] impossible to read device state"});
    EXPECT_EQ(stateView(), defaultState());
    EXPECT_EQ(w().actionOk, 0);
}

// ---- clock ------------------------------------------------------------

TEST_F(ManagementPage, ClockReadShowsTwoDigitFields) {
    connect();
    detector().withModel([](DetectorModel& m) { m.setClock({5, 3, 17, 9, 4, 7}); });
    w().actionOk = 0;
    const size_t before = console().size();
    w().Button24Click();
    EXPECT_EQ(w().edtGetTime.Text, "05/03/17 09:04:07");
    EXPECT_EQ(consoleFrom(before), Lines{">>Device clock read!"});
    EXPECT_EQ(w().actionOk, 1);
}

TEST_F(ManagementPage, ClockWriteRoundTripAndRefusedDates) {
    connect();
    struct Case {
        const char* text;
        const char* console;  // nullptr: no console line
        bool sent;
    };
    const Case cases[] = {
        {"29/02/12 10:00:00", ">>Device clock set!", true},
        {"31/12/99 23:59:59", ">>Device clock set!", true},
        {"29/02/13 10:00:00", ">>QOB Error [13] bad library function call", false},
        {"01/01/10 10:00:00", ">>QOB Error [13] bad library function call", false},
        {"01/01/17 24:00:00", ">>QOB Error [13] bad library function call", false},
        {"31/04/17 10:00:00", ">>QOB Error [13] bad library function call", false},
        // Fields that are not numbers stop before anything is sent.
        {"2x/02/12 10:00:00", nullptr, false},
        {"29/02/12 10:00", nullptr, false},
        {"", nullptr, false},
    };
    for (const auto& c : cases) {
        const int sets = detector().requestCount(20);
        const size_t before = console().size();
        const size_t dialogs = host.shown.size();
        w().actionOk = 0;
        w().edtSetTime.Text = c.text;
        w().Button23Click();
        EXPECT_EQ(detector().requestCount(20) - sets, c.sent ? 1 : 0) << c.text;
        if (c.console) {
            EXPECT_EQ(consoleFrom(before), Lines{c.console}) << c.text;
            EXPECT_EQ(host.shown.size(), dialogs) << c.text;
        } else {
            EXPECT_TRUE(consoleFrom(before).empty()) << c.text;
            ASSERT_EQ(host.shown.size(), dialogs + 1) << c.text;
            EXPECT_EQ(host.shown.back().dialogKind, DialogKind::Error) << c.text;
        }
        EXPECT_EQ(w().actionOk, c.sent ? 1 : 0) << c.text;
        if (c.sent) {
            w().Button24Click();
            EXPECT_EQ(w().edtGetTime.Text, c.text);
        }
    }
}

TEST_F(ManagementPage, FailedClockReadKeepsTheLastText) {
    connect();
    w().edtGetTime.Text = "previous";
    detector().injectFault(19, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    const size_t before = console().size();
    w().Button24Click();
    EXPECT_EQ(w().edtGetTime.Text, "previous");
    ASSERT_EQ(consoleFrom(before).size(), 1u);
    EXPECT_EQ(consoleFrom(before)[0].rfind(">>QOB Error [24] ", 0), 0u);
}

TEST_F(ManagementPage, ClearOperatingHours) {
    connect();
    const size_t before = console().size();
    w().Button6Click();
    EXPECT_EQ(consoleFrom(before), Lines{">>Operating hours cleared"});
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.hoursCounter(); }), 0u);
    w().btnStateClick();
    EXPECT_EQ(stateView()[6], " Operating hours       :0");
}

TEST_F(ManagementPage, ClockButtonsWithoutAConnection) {
    w().Button23Click();
    w().Button24Click();
    w().Button6Click();
    EXPECT_EQ(console(), (Lines{">>Not connected!", ">>Not connected!", ">>Not connected!"}));
}

}  // namespace
