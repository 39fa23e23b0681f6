#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/window_shell.h"

// Manual EOL: the production test. Steps 1..5 in pages/manual_eol.cpp,
// 6..10 in pages/manual_eol_board.cpp.
class ManualEolPage : public virtual WindowShell {
public:
    TButton btnStartEOL{this, "btnStartEOL", "START EOL", &TabSheet8};
    TButton Button37{this, "Button37", "STOP EOL", &TabSheet8};
    TButton Button38{this, "Button38", "SAVE LOG", &TabSheet8};
    TRadioGroup rgEolType{this, "rgEolType", " Version ", {"stand alone", "loop based"}, &TabSheet8};
    TRadioGroup rgEolChannels{this, "rgEolChannels", " #channels ", {"one channel", "two channels"}, &TabSheet8};
    TLabel lblStartStep{this, "lblStartStep", "Start step:", &TabSheet8};
    TEdit edtStartStep{this, "edtStartStep", "1", &TabSheet8};
    TLabel lblSerialNumber{this, "lblSerialNumber", "serial number", &TabSheet8};
    TLabel lblSer1{this, "lblSer1", "- 1- ", &TabSheet8};
    TLabel lblSer2{this, "lblSer2", "- 2 - ", &TabSheet8};
    TLabel lblSer3{this, "lblSer3", "- 3 - ", &TabSheet8};
    TLabel lblSer4{this, "lblSer4", "- 4 - ", &TabSheet8};
    TEdit edtSer1{this, "edtSer1", "0", &TabSheet8};
    TEdit edtSer2{this, "edtSer2", "0", &TabSheet8};
    TEdit edtSer3{this, "edtSer3", "0", &TabSheet8};
    TEdit edtSer4{this, "edtSer4", "0", &TabSheet8};
    TLabel lblEOL{this, "lblEOL", "EOL log", &TabSheet8};
    TMemo memEOL{this, "memEOL", &TabSheet8};
    TLabel lblEOLcomm{this, "lblEOLcomm", "Comments", &TabSheet8};
    TMemo memEOLcomm{this, "memEOLcomm", &TabSheet8};
    // The last run's outcome, large and coloured, until the next START.
    TLabel lblEolVerdict{this, "lblEolVerdict", "", &TabSheet8};
    // Counts delayCounter up every 100 ms while the procedure waits.
    TTimer tmrDelay{this, "tmrDelay", 100, false};
    void btnStartEOLClick();
    void Button37Click();  // STOP EOL
    void Button38Click();  // SAVE LOG
    void tmrDelayTimer();

    // Procedure state.
    bool stopFlag = true;
    int delayCounter = 0;
    bool eolStandAlone = true;  // fixed at start from rgEolType
    int eolChannels = 2;        // fixed at start from rgEolChannels
    bool eolRunning = false;    // a START EOL handler is on the stack
    // Folder of the automatic log; empty: the INI's [EOL] LOGDIR, else ".".
    std::string eolLogDir;

    // Outcome of a run, judged from its log: PASS reached "FINE TEST: "
    // with no "<<< FAILED >>>" answer and no "!!!!" line, FAIL reached it
    // with `failures` such lines, ABORTED did not reach it.
    struct EolVerdict {
        enum Kind { None, Pass, Fail, Aborted } kind = None;
        int failures = 0;
        std::string text() const;  // "PASS", "FAIL (n)", "ABORTED"
    };
    static EolVerdict judgeEolLog(const std::vector<std::string>& lines);
    EolVerdict eolVerdict;
    // The automatic log of the last run ("" when none was written).
    std::string eolLogFile;

    // Engine routines (steps 1..10 are built from these). A routine that
    // returns bool returns false when the test was aborted: the caller
    // ends the procedure at once.
    void eolLine(const std::string& text);
    void waitSpace(const std::string& text);
    void askYesNo(const std::string& prefix);
    void abortTest();
    bool connectRetry();
    bool retryAction(const std::function<void()>& action, const std::string& failText);
    bool retryLocal(const std::function<void()>& action, const std::string& failText);
    void delay(int tenths);
    void checkAnalog(const std::string& label, int channel, int min, int max);
    void checkRelay(TButton& onButton, TButton& offButton, bool withQuestion, const std::string& question);
    bool stopCheck();
    // The test's date and time texts (dd/mm/yy hh:mm:ss), application-wide.
    void eolSetFormats();
    // Image bytes 0..511 in and out with retryLocal; the write seals first.
    bool readEolImage(uint8_t* image512);
    bool writeEolImage(uint8_t* image512);
    // Low bytes of edtSer1..4; false (with an error box) for a non-number.
    bool eolSerialBytes(uint8_t serial[4]);
    // Disconnect, 1 s, connectRetry, stop check.
    bool eolReconnect();
    // End of every run: verdict shown, log saved into the log folder.
    void eolFinishRun();
    // What step 6 switched on and has not switched back yet; STOP EOL
    // switches it back before it disconnects.
    TButton* eolRelayOn = nullptr;  // the OFF button of a relay left on
    bool eolLedsSet = false;
    int eolFanSpeedsBefore[2] = {-1, -1};
    // "s1-s2-s3-s4" as the edits held it at START; X for a byte that is no number.
    std::string eolSerialText;
    void eolSwitchOutputsBack();
    // Steps 1..5 (pages/manual_eol.cpp), 6..10 (pages/manual_eol_board.cpp).
    bool eolStep1();
    bool eolStep2();
    bool eolStep3();
    bool eolStep4();
    bool eolStep5();
    bool eolStep6();
    bool eolStep7();
    bool eolStep8();
    bool eolStep9();
    bool eolStep10();

protected:
    explicit ManualEolPage(Host& host) : WindowShell(host) {}
    void wireManualEol();
};
