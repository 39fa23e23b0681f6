#pragma once

#include <memory>
#include <vector>

#include "app/window_shell.h"

// Admin #2: the sensor, analogue and LED panels.
class SensorLedPage : public virtual WindowShell {
public:
    TGroupBox grpSaSensors{this, "grpSaSensors", " STAND ALONE SENSORS TEST ", &TabSheet6};
    TLabel lblSensor1{this, "lblSensor1", "SENSOR #1", &grpSaSensors};
    TButton btnPollSensor1{this, "btnPollSensor1", "POLL", &grpSaSensors};
    TButton btnTestSensor1{this, "btnTestSensor1", "TEST", &grpSaSensors};
    TMemo memSensor1Info{this, "memSensor1Info", &grpSaSensors};
    TLabel lblSensor2{this, "lblSensor2", "SENSOR #2", &grpSaSensors};
    TButton btnPollSensor2{this, "btnPollSensor2", "POLL", &grpSaSensors};
    TButton btnTestSensor2{this, "btnTestSensor2", "TEST", &grpSaSensors};
    TMemo memSensor2Info{this, "memSensor2Info", &grpSaSensors};
    TCheckBox cboAutoPoll{this, "cboAutoPoll", "Auto poll every:", &grpSaSensors};
    TEdit edtAutoPoll{this, "edtAutoPoll", "1000", &grpSaSensors};
    TLabel lblAutoPollMs{this, "lblAutoPollMs", "ms", &grpSaSensors};
    TTimer tmrAutoPoll{this, "tmrAutoPoll", 1000, false};
    // The sender is one of the four POLL / TEST buttons; none: POLL of
    // sensor 1.
    void btnPollSensor1Click(Control* sender = nullptr);
    void cboAutoPollClick();
    void tmrAutoPollTimer();

    TGroupBox grpAds{this, "grpAds", " ADS ", &TabSheet6};
    TRadioGroup rgAD{
        this,
        "rgAD",
        "AD",
        {"SOUNDER1", "SOUNDER2", "PCB_THERMISTOR", "FLOW1_TH", "FLOW2_TH", "FANBACK1", "FANBACK2", "POWER1", "POWER2"},
        &grpAds};
    TEdit edtADMeasInt{this, "edtADMeasInt", "100", &grpAds};
    TCheckBox cboAD{this, "cboAD", "GO!", &grpAds};
    TButton btnADClear{this, "btnADClear", "CLEAR", &grpAds};
    TMemo memAD{this, "memAD", &grpAds};
    TTimer tmrAD{this, "tmrAD", 100, false};
    void cboADClick();
    void tmrADTimer();

    TGroupBox grpLeds{this, "grpLeds", " SHIFT REGISTER LEDS ", &TabSheet6};
    TPaintBox Image1{this, "Image1", &grpLeds};
    // cbLed0 .. cbLed44: items off, green, red, yellow; Images
    // "ImageList1" (steady) or "ImageList2".
    std::vector<std::unique_ptr<TComboBox>> cbLeds;
    TButton btnLedClear{this, "btnLedClear", "CLEAR", &grpLeds};
    TButton btnLedUpdate{this, "btnLedUpdate", "UPDATE", &grpLeds};
    TButton btnLedNormal{this, "btnLedNormal", "Normal", &grpLeds};
    TButton btnLedAllG{this, "btnLedAllG", "All G", &grpLeds};
    TButton btnLedAllR{this, "btnLedAllR", "All R", &grpLeds};
    TButton btnLedAllY{this, "btnLedAllY", "All Y", &grpLeds};
    void btnLedUpdateClick();
    void btnLedNormalClick();
    void btnLedClearClick();
    // "All G" / "All R" / "All Y": every LED to the sender's Tag.
    void btnLedAllClick(Control* sender);
    // RAM address for "set RAM" and "read RAM".
    TEdit edtReadRAM{this, "edtReadRAM", "", &TabSheet6};

protected:
    explicit SensorLedPage(Host& host) : WindowShell(host) {}
    void wireSensorLedPanels();

private:
    void btnADClearClick();
    void cbLedDblClick(Control* sender);
};
