// The administration tools of Admin #1 against the virtual detector: the
// RAM byte at a typed address and the loop address, their exact lines,
// the parameters they send and their failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/window_fixture.h"

using nerax_sim::DetectorModel;
using nerax_sim::Fault;
using nerax_sim::FaultKind;
using Lines = std::vector<std::string>;

namespace {

class AdminTools : public SimWindowTest {
protected:
    // The parameter bytes p1..p5 of the newest request.
    std::vector<int> lastParams() {
        return detector().withModel([](DetectorModel& m) {
            const auto& r = m.history.back();
            return std::vector<int>{r.code, r.p[1], r.p[2], r.p[3], r.p[4], r.p[5]};
        });
    }
    void loopBasedAt(int address) {
        detector().withModel([address](DetectorModel& m) {
            m.eeprom[259] = 2;
            m.loopAddress = address;
            m.sealAreas();
        });
    }
};

TEST_F(AdminTools, ReadRamWritesAddressAndValueAndFillsTheValueEdit) {
    struct Case {
        const char* address;
        uint32_t ram;
        int value;
        std::string line;
        std::vector<int> params;  // code, p1..p5
    };
    const Case cases[] = {
        {"16719872", 16719872, 17, "00FF2000=17", {36, 3, 0x00, 0x20, 0xFF, 0x00}},
        {"255", 255, 200, "000000FF=200", {36, 3, 255, 0, 0, 0}},
        {"16725944", 16725944, 30, "00FF37B8=30", {36, 3, 0xB8, 0x37, 0xFF, 0x00}},
        {"-1", 0xFFFFFFFFu, 9, "FFFFFFFF=9", {36, 3, 255, 255, 255, 255}},
    };
    connect();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        detector().withModel([&](DetectorModel& m) { m.ram[c.ram] = static_cast<uint8_t>(c.value); });
        w().edtReadRAM.Text = c.address;
        w().clearConsole();
        w().Button43Click();
        EXPECT_EQ(console(), Lines{c.line});
        EXPECT_EQ(w().edtRamValue.Text.get(), std::to_string(c.value));
        EXPECT_EQ(lastParams(), c.params);
    }
}

TEST_F(AdminTools, ReadRamRefusesAnAddressThatIsNotANumber) {
    connect();
    const int before = detector().requestCount(36);
    w().edtRamValue.Text = "5";
    for (const char* text : {"", "12a", "0x10", "99999999999"}) {
        w().edtReadRAM.Text = text;
        w().Button43Click();
        ASSERT_FALSE(host.shown.empty());
        EXPECT_EQ(host.shown.back().text, std::string("'") + text + "' is not a valid integer value");
        EXPECT_EQ(host.shown.back().dialogKind, DialogKind::Error);
    }
    EXPECT_EQ(detector().requestCount(36), before);
    EXPECT_EQ(w().edtRamValue.Text.get(), "5");
    EXPECT_EQ(console(), Lines{">>Connected"});
}

TEST_F(AdminTools, LoopAddressLineCarriesTheRamAddressText) {
    loopBasedAt(23);
    connect();
    w().clearConsole();
    w().Button44Click();
    w().edtReadRAM.Text = "4096";
    w().Button43Click();
    w().Button44Click();
    ASSERT_EQ(console().size(), 3u);
    EXPECT_EQ(console()[0], "Loop address  = 23");
    EXPECT_EQ(console()[2], "Loop address 4096 = 23");
    EXPECT_EQ(lastParams(), (std::vector<int>{36, 4, 0, 0, 0, 0}));
    // A text that is no address is only copied.
    w().edtReadRAM.Text = "abc";
    w().Button44Click();
    EXPECT_EQ(console().back(), "Loop address abc = 23");
}

TEST_F(AdminTools, LoopAddressIsTensTimesByteOnePlusByteZero) {
    for (int address : {25, 0, 99, 255}) {
        loopBasedAt(address);
        connect();
        w().clearConsole();
        w().Button44Click();
        EXPECT_EQ(console(), Lines{"Loop address  = " + std::to_string(address)});
        w().Button2Click();
    }
}

TEST_F(AdminTools, FailuresWriteTheErrorLineAndChangeNoEdit) {
    w().Button43Click();
    w().Button44Click();
    EXPECT_EQ(console(), (Lines{">>Not connected!", ">>Not connected!"}));
    connect();
    w().edtReadRAM.Text = "100";
    w().edtRamValue.Text = "7";
    w().clearConsole();
    detector().injectFault(36, Fault{FaultKind::NotAcknowledged}, 2);
    w().Button43Click();
    w().Button44Click();
    EXPECT_EQ(console(), (Lines{">>QOB Error [0] unknown error", ">>QOB Error [0] unknown error"}));
    EXPECT_EQ(w().edtRamValue.Text.get(), "7");
    EXPECT_EQ(w().edtReadRAM.Text.get(), "100");
}

TEST_F(AdminTools, TheRamAddressEditSitsInTheReadRamGroupOfAdmin1) {
    EXPECT_EQ(w().edtReadRAM.Parent(), &w().grpReadRAM);
    EXPECT_EQ(w().Button43.Parent(), &w().grpReadRAM);
    EXPECT_EQ(w().grpReadRAM.Parent(), &w().TabSheet5);
    EXPECT_EQ(w().grpReadRAM.Caption.get(), " read RAM ");
    EXPECT_EQ(w().Button44.Parent(), &w().TabSheet5);
    EXPECT_EQ(w().edtReadRAM.Text.get(), "");
}

}  // namespace
