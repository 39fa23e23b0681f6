// The shell of the main window, toolkit-neutral: the controls around the
// pages (connection, console, status bar, page control), the device
// object, the window-wide state and the console helpers. Each page is a
// class of its own in pages/ (tuning/, reports/) that derives virtually
// from the shell, so it sees these members and the window holds one
// shell; pages/main_window.h composes them into TFrmTestQOB. A page
// reaches another page's members through window().
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/formatters.h"
#include "app/host.h"
#include "device/qob.h"

class TFrmTestQOB;

class WindowShell : public TForm {
public:
    Host& host;

    // The whole window, for work across pages.
    TFrmTestQOB& window() const { return *whole; }

    // ---- device object: exists exactly while a connection exists ------
    std::unique_ptr<QOB> qob;

    // ---- window-wide state --------------------------------------------
    int actionOk = 0;
    uint8_t panelAnswer[1026] = {};
    uint8_t panelPayload[1024] = {};
    // Tuning settings (section GENERAL of the INI file).
    int LIB = 7, DIB = 30, DTI = 30, LCI = 7, QMI = 24, TMO = 30000;
    // Last key pressed while the "Manual EOL" page is selected.
    int capturedKey = 0;
    // The keys a running wait of the production test answers to; empty
    // while nothing waits for a key.
    std::vector<int> awaitedKeys;
    // Looked up in the current working directory.
    std::string iniFileName = "nerax-lt.INI";
    // Port discovery at start-up; tests replace it.
    std::function<bool(int& portNumber)> detectPort;

    // ---- console helpers ----------------------------------------------
    void addConsoleLine(const std::string& text);
    void clearConsole();
    bool checkConnected();
    void showLibraryError();
    // The status bar follows a link that the library dropped (a lost
    // detector): "Disconnected" on red. Disconnect still cleans up.
    void noteLinkState();

    // Cooperative wait: while keepWaiting(): sleep a slice, repaint,
    // process pending messages.
    void waitCooperatively(const std::function<bool()>& keepWaiting, int sliceMs = 50);

    // Saves the console as prefix + stamp + ".LOG" in the working
    // directory and tells the operator; false (with an error box) when the
    // file could not be written.
    bool saveConsoleReport(const std::string& prefix, const std::string& savedText = "LOG SAVED!");

    // ---- start-up and settings ----------------------------------------
    void FormCreate();
    // FormCreate fills the EEPROM grids through this (set by the EEPROM page).
    std::function<void()> prepareEepromGrids;

    // ---- shell handlers -----------------------------------------------
    // True when the key answered a wait: the window then keeps it from
    // the focused control.
    bool FormKeyDown(int key);
    void Button1Click();   // Connect
    void Button2Click();   // Disconnect
    void btnresClick();    // RESET DEVICE
    void btnabortClick();  // ABORT

    // Hidden controls that the engineering view (Ctrl+E) shows as well.
    bool engineeringOnly(const Control& c) const {
        return &c == &btndiag || &c == &chkfulldiag || &c == &chktestalarms || &c == &btnlog;
    }

    // ---- shell controls -----------------------------------------------
    TGroupBox GroupBox27{this, "GroupBox27", " CONNECTION "};
    TLabel Label1{this, "Label1", "COM", &GroupBox27};
    TEdit Edit1{this, "Edit1", "", &GroupBox27};
    TButton Button1{this, "Button1", "Connect", &GroupBox27};
    TButton Button2{this, "Button2", "Disconnect", &GroupBox27};
    TButton btnShowDevMan{this, "btnShowDevMan", "", &GroupBox27};
    TButton btntuning{this, "btntuning", "ULTRASONIC TUNING"};
    TMemo memLog{this, "memLog"};
    TButton btnabort{this, "btnabort", "ABORT"};
    TStatusBar StatusBar1{this, "StatusBar1", "Disconnected"};
    // Outside the client area or hidden.
    TButton btnres{this, "btnres", "RESET DEVICE"};
    TButton btnSetRam{this, "btnSetRam", "set RAM"};
    TEdit edtRamValue{this, "edtRamValue"};
    TButton btndiag{this, "btndiag", "EXECUTE DIAGNOSTIC"};
    TCheckBox chkfulldiag{this, "chkfulldiag", "FULL DIAGNOSTIC"};
    TCheckBox chktestalarms{this, "chktestalarms", "TEST ALARMS"};
    TButton btnlog{this, "btnlog", "RETRIEVE LOG"};
    TPageControl PageControl1{this, "PageControl1"};
    TTabSheet TabSheet1{this, "TabSheet1", "Management", &PageControl1};
    TTabSheet TabSheet2{this, "TabSheet2", "EEPROM", &PageControl1};
    TTabSheet TabSheet3{this, "TabSheet3", "Common parameters", &PageControl1};
    TTabSheet TabSheet4{this, "TabSheet4", "Variants parameters", &PageControl1};
    TTabSheet TabSheet5{this, "TabSheet5", "Admin #1", &PageControl1};
    TTabSheet TabSheet6{this, "TabSheet6", "Admin #2", &PageControl1};
    TTabSheet TabSheet7{this, "TabSheet7", "Admin #3", &PageControl1};
    TTabSheet TabSheet8{this, "TabSheet8", "Manual EOL", &PageControl1};
    TTabSheet TabSheet9{this, "TabSheet9", "Flow graph", &PageControl1};
    TEdit edtFlowLogFan1{this, "edtFlowLogFan1", "1", &TabSheet7};
    TEdit edtFlowLogFan2{this, "edtFlowLogFan2", "1", &TabSheet7};
    // Capture timer: Tag counts the seconds since it was started.
    TTimer tmrTimeout{this, "tmrTimeout", 1000, false};

    // Dialogs shared by the pages (each use sets its own filter and title).
    FileDialog sd;  // save
    FileDialog od;  // open

protected:
    explicit WindowShell(Host& host);
    // Set by the composed window's constructor.
    TFrmTestQOB* whole = nullptr;

private:
    void wireShell();
    void readTuningSettings();
    void btnShowDevManClick();  // serial-ports dialog
    void tmrTimeoutTimer();     // capture timer tick
};
