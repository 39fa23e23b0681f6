// Panels of Admin #2: stand-alone sensor poll and test (with auto poll),
// the analogue channels and the shift-register LEDs. The diagnostic run
// replays the poll and the analogue panel; the production test sets LED
// patterns and presses UPDATE.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "pages/main_window.h"
#include "device/texts.h"
#include "link/frame.h"

namespace {

constexpr int kLedCount = 45;

// The LED board under the selectors: its edge, and for each LED a
// silkscreen frame where its selector sits, the LED's pad and its number
// ("LD7") in the gap below, so a technician sees which LED a box drives.
// Selectors sit at (10 + col * 67, 20 + row * 28) in the group; the board
// at (6, 16).
void paintLedBoard(TCanvas& canvas) {
    const uint32_t silk = 0xE8E8D0;
    canvas.setPen(0x9FC69F, 2);
    canvas.moveTo(1, 1);
    canvas.lineTo(canvas.width() - 2, 1);
    canvas.lineTo(canvas.width() - 2, canvas.height() - 2);
    canvas.lineTo(1, canvas.height() - 2);
    canvas.lineTo(1, 1);
    canvas.setFont("Arial", 5, silk);
    canvas.setTextBackgroundTransparent(true);
    for (int n = 0; n < kLedCount; ++n) {
        const int x = 4 + (n % 5) * 67, y = 4 + (n / 5) * 28;
        canvas.setPen(silk, 1);
        canvas.moveTo(x - 1, y + 21);
        canvas.lineTo(x - 1, y - 1);
        canvas.lineTo(x + 64, y - 1);
        canvas.lineTo(x + 64, y + 21);
        canvas.setBrush(0xD0D0D0);
        canvas.fillRect(x + 2, y + 23, x + 8, y + 27);
        canvas.textOut(x + 11, y + 19, "LD" + std::to_string(n));
    }
}
const char* const kLedItems[] = {"off", "green", "red", "yellow"};
// Detector code of each combo item: the items go off, green, red, yellow;
// the detector counts 0 off, 1 red, 2 green, 3 yellow.
constexpr uint8_t kLedCodes[] = {0, 2, 1, 3};
const char* const kSteadyImages = "ImageList1";
const char* const kSecondImages = "ImageList2";

// A pulse width of the stand-alone poll answer.
std::string pulseWidthText(int width) {
    if (width == 65500) return "TIMEOUT";
    if (width > 65500) return "SINK TOO LONG";
    return std::to_string(width);
}

struct SensorButton {
    TButton SensorLedPage::*button;
    int sensor;  // 1 or 2
    int mode;    // 1 POLL, 2 TEST
};

const SensorButton kSensorButtons[] = {
    {&SensorLedPage::btnPollSensor1, 1, 1},
    {&SensorLedPage::btnTestSensor1, 1, 2},
    {&SensorLedPage::btnPollSensor2, 2, 1},
    {&SensorLedPage::btnTestSensor2, 2, 2},
};

}  // namespace

void SensorLedPage::wireSensorLedPanels() {
    grpSaSensors.setBounds(8, 8, 420, 322);
    lblSensor1.setBounds(8, 22, 72, 13);
    btnPollSensor1.setBounds(82, 16, 60, 25);
    btnTestSensor1.setBounds(146, 16, 60, 25);
    memSensor1Info.setBounds(8, 46, 200, 234);
    lblSensor2.setBounds(212, 22, 72, 13);
    btnPollSensor2.setBounds(286, 16, 60, 25);
    btnTestSensor2.setBounds(350, 16, 60, 25);
    memSensor2Info.setBounds(212, 46, 200, 234);
    cboAutoPoll.setBounds(8, 292, 110, 17);
    edtAutoPoll.setBounds(120, 290, 50, 21);
    lblAutoPollMs.setBounds(174, 294, 20, 13);
    memSensor1Info.ReadOnly = true;
    memSensor2Info.ReadOnly = true;
    for (const auto& row : kSensorButtons) {
        TButton* button = &(this->*row.button);
        button->OnClick = [this, button] { btnPollSensor1Click(button); };
    }
    cboAutoPoll.OnClick = [this] { cboAutoPollClick(); };
    tmrAutoPoll.OnTimer = [this] { tmrAutoPollTimer(); };

    grpAds.setBounds(436, 8, 210, 350);
    rgAD.setBounds(8, 16, 144, 204);
    rgAD.ItemIndex = 0;
    edtADMeasInt.setBounds(156, 20, 46, 21);
    cboAD.setBounds(156, 48, 46, 17);
    btnADClear.setBounds(156, 72, 46, 25);
    memAD.setBounds(8, 224, 194, 118);
    memAD.ReadOnly = true;
    cboAD.OnClick = [this] { cboADClick(); };
    tmrAD.OnTimer = [this] { tmrADTimer(); };
    btnADClear.OnClick = [this] { btnADClearClick(); };

    grpLeds.setBounds(652, 8, 354, 350);
    Image1.setBounds(6, 16, 342, 260);
    Image1.Color = 0x2F4F2F;  // the board under the LEDs
    Image1.OnPaint = [](TPaintBox&, TCanvas& canvas) { paintLedBoard(canvas); };
    cbLeds.reserve(kLedCount);
    for (int n = 0; n < kLedCount; ++n) {
        auto box =
            std::make_unique<TComboBox>(this, "cbLed" + std::to_string(n),
                                        std::vector<std::string>(std::begin(kLedItems), std::end(kLedItems)), &grpLeds);
        box->setBounds(10 + (n % 5) * 67, 20 + (n / 5) * 28, 64, 21);
        box->ItemIndex = 0;
        box->Images = kSteadyImages;
        TComboBox* raw = box.get();
        box->OnDblClick = [this, raw] { cbLedDblClick(raw); };
        cbLeds.push_back(std::move(box));
    }
    TButton* ledButtons[] = {&btnLedClear, &btnLedUpdate, &btnLedNormal, &btnLedAllG, &btnLedAllR, &btnLedAllY};
    for (int i = 0; i < 6; ++i) ledButtons[i]->setBounds(8 + 68 * (i % 3), 286 + 30 * (i / 3), 64, 25);
    btnLedAllG.Tag = 1;
    btnLedAllR.Tag = 2;
    btnLedAllY.Tag = 3;
    btnLedClear.OnClick = [this] { btnLedClearClick(); };
    btnLedUpdate.OnClick = [this] { btnLedUpdateClick(); };
    btnLedNormal.OnClick = [this] { btnLedNormalClick(); };
    for (TButton* b : {&btnLedAllG, &btnLedAllR, &btnLedAllY}) b->OnClick = [this, b] { btnLedAllClick(b); };
}

// ---- stand-alone sensor poll and test --------------------------------------

void SensorLedPage::btnPollSensor1Click(Control* sender) {
    const SensorButton* choice = &kSensorButtons[0];
    for (const auto& row : kSensorButtons)
        if (sender == &(this->*row.button)) choice = &row;
    const int sensor = choice->sensor;
    const int mode = choice->mode;
    TMemo& memo = sensor == 1 ? memSensor1Info : memSensor2Info;

    if (!checkConnected()) return;
    memo.Lines.Clear();
    if (!window().panelRequest(cmd::SensorPoll, 13,
                               {static_cast<uint8_t>(sensor - 1), static_cast<uint8_t>(mode), 1, 0, 1})) {
        memo.Lines.Add("QOB communication error");
        showLibraryError();
        return;
    }
    if (mode == 1) {
        for (int i = 1; i <= 5; ++i) {
            const int width = panelAnswer[2 * i + 1] | panelAnswer[2 * i + 2] << 8;
            memo.Lines.Add("PW" + std::to_string(i) + ": " + pulseWidthText(width));
        }
        memo.Lines.Add("");
        memo.Lines.Add(panelAnswer[sensor] != 0 ? "remote is working" : "remote is NOT working");
    }
    memo.Lines.Add("");
    memo.Lines.Add(pollStatusTextFor(qob->variant(), panelAnswer[13]));
    addConsoleLine(std::string(mode == 1 ? "--- POLL --- " : "--- TEST --- ") + std::to_string(sensor) + " --- " +
                   host.dateTimeText());
    addConsoleLine(memo.Text());
}

void SensorLedPage::cboAutoPollClick() {
    if (!cboAutoPoll.Checked) {
        tmrAutoPoll.Enabled = false;
        return;
    }
    int interval = 0;
    if (!window().editInterval(edtAutoPoll, interval)) {
        cboAutoPoll.Checked = false;
        return;
    }
    tmrAutoPoll.Interval = interval;
    tmrAutoPoll.Enabled = true;
}

void SensorLedPage::tmrAutoPollTimer() {
    if (!checkConnected()) {
        cboAutoPoll.Checked = false;
        tmrAutoPoll.Enabled = false;
        return;
    }
    btnPollSensor1Click(&btnPollSensor1);
    btnPollSensor1Click(&btnPollSensor2);
}

// ---- analogue channels --------------------------------------------------------

void SensorLedPage::cboADClick() {
    if (!cboAD.Checked) {
        tmrAD.Enabled = false;
        return;
    }
    int interval = 0;
    if (!window().editInterval(edtADMeasInt, interval)) {
        cboAD.Checked = false;
        return;
    }
    tmrAD.Interval = interval;
    tmrAD.Enabled = true;
    memAD.Lines.Add("");
}

void SensorLedPage::tmrADTimer() {
    if (!checkConnected()) {
        cboAD.Checked = false;
        tmrAD.Enabled = false;
        return;
    }
    int value = 0;
    memAD.Lines.Add(window().readAnalogChannel(rgAD.ItemIndex, value) ? std::to_string(value) : std::string("ERROR"));
}

void SensorLedPage::btnADClearClick() { memAD.Lines.Clear(); }

// ---- shift-register LEDs ------------------------------------------------------

void SensorLedPage::btnLedUpdateClick() {
    if (!checkConnected()) return;
    for (int n = 0; n < kLedCount; ++n) {
        auto* box = dynamic_cast<TComboBox*>(FindComponent("cbLed" + std::to_string(n)));
        if (!box) continue;
        const int item = box->ItemIndex;
        // A box without a valid selection shows nothing: send it as off.
        panelPayload[n] = item >= 0 && item < 4 ? kLedCodes[item] : 0;
        panelPayload[kLedCount + n] = box->Images == kSecondImages ? 2 : 0;
    }
    if (!window().panelRequest(cmd::ShiftRegisterLeds, 0, {1}, 2 * kLedCount)) {
        showLibraryError();
        return;
    }
    addConsoleLine(">>LEDs updated!");
    actionOk = 1;
}

void SensorLedPage::btnLedNormalClick() {
    if (!checkConnected()) return;
    if (window().panelRequest(cmd::ShiftRegisterLeds, 0, {0}))
        addConsoleLine(">>Normal LED executed!");
    else
        showLibraryError();
}

void SensorLedPage::btnLedClearClick() {
    for (auto& box : cbLeds) {
        box->ItemIndex = 0;
        box->Images = kSteadyImages;
    }
}

void SensorLedPage::btnLedAllClick(Control* sender) {
    if (!sender) return;
    const int item = std::clamp(sender->Tag.get(), 0, 3);
    for (auto& box : cbLeds) {
        box->ItemIndex = item;
        box->Images = kSteadyImages;
    }
    actionOk = 1;
}

void SensorLedPage::cbLedDblClick(Control* sender) {
    auto* box = dynamic_cast<TComboBox*>(sender);
    if (!box) return;
    box->Images = box->Images == kSecondImages ? kSteadyImages : kSecondImages;
}
