// "Manual EOL" page: the factory end-of-line test as one operator-guided
// procedure. START EOL runs steps from edtStartStep to 10 inside its click
// handler; every wait serves the window's messages, so STOP EOL, the
// timers and the key capture stay live. The procedure drives the other
// pages' handlers and reads back actionOk and the controls they fill.
//
// This unit holds the page, the engine routines and steps 1 to 5 (board
// without LED board: supply, firmware, EEPROM image, event log, clock);
// steps 6 to 10 are in manual_eol_board.cpp.
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>

#include "pages/main_window.h"
#include "app/report_file.h"
#include "app/settings.h"
#include "link/system.h"

namespace {

constexpr int kKeySpace = 32;
constexpr int kKeyY = 89;
constexpr int kKeyN = 78;
constexpr int kManualEolPage = 7;
constexpr int kEepromPage = 1;

const char* const kRetryPrompt = "     <<< PREMERE SPAZIO PER RIPROVARE >>>";
const char* const kReplugLine = "!!!!DISCONNETTERE E RICONNETTERE CAVO USB.";

void eolLines(TFrmTestQOB& w, std::initializer_list<const char*> texts) {
    for (const char* text : texts) w.eolLine(text);
}

using EolStep = bool (ManualEolPage::*)();

// clang-format off
const EolStep kSteps[10] = {
    &ManualEolPage::eolStep1, &ManualEolPage::eolStep2, &ManualEolPage::eolStep3, &ManualEolPage::eolStep4,
    &ManualEolPage::eolStep5, &ManualEolPage::eolStep6, &ManualEolPage::eolStep7, &ManualEolPage::eolStep8,
    &ManualEolPage::eolStep9, &ManualEolPage::eolStep10,
};
// clang-format on

}  // namespace

// ---- page handlers ----------------------------------------------------

void ManualEolPage::btnStartEOLClick() {
    // STOP EOL enables START EOL while the stopped run is still unwinding
    // out of its wait; a second run nested inside it would share its state.
    if (eolRunning) return;
    // A start step that is no number would otherwise stop the handler with
    // START EOL disabled; refuse it before anything changes.
    int startStep = 0;
    if (!parseInteger(edtStartStep.Text, startStep)) {
        host.messageBox("'" + edtStartStep.Text.get() + "' is not a valid integer value", host.applicationTitle,
                        DialogKind::Error, DialogButtons::Ok);
        return;
    }
    // The serial number is written in step 9: refuse a bad one now rather
    // than stop the test there.
    uint8_t serial[4] = {};
    if (startStep >= 1 && startStep <= 9 && !eolSerialBytes(serial)) return;
    // For the automatic log's name (steps 10 and on write no serial number,
    // so the edits may hold anything there).
    eolSerialText.clear();
    const TEdit* const serialEdits[4] = {&edtSer1, &edtSer2, &edtSer3, &edtSer4};
    for (int i = 0; i < 4; ++i) {
        int value = 0;
        eolSerialText += (i ? "-" : "") +
                         (parseInteger(serialEdits[i]->Text, value) ? std::to_string(value & 0xFF) : std::string("X"));
    }
    eolRunning = true;
    // Cleared however the handler is left (an escaping exception included).
    struct RunningFlag {
        bool& flag;
        ~RunningFlag() { flag = false; }
    } running{eolRunning};
    eolStandAlone = rgEolType.ItemIndex != 1;
    eolChannels = rgEolChannels.ItemIndex == 0 ? 1 : 2;
    stopFlag = false;
    // The window's close request (ABORT's Tag) ends the waits as well.
    btnabort.Tag = 0;
    btnStartEOL.Enabled = false;
    eolVerdict = EolVerdict{};
    eolLogFile.clear();
    lblEolVerdict.Caption = "";
    eolRelayOn = nullptr;
    eolLedsSet = false;
    eolFanSpeedsBefore[0] = eolFanSpeedsBefore[1] = -1;
    // Keys answer the waits from the log, not from the next button.
    memEOL.SetFocus();
    eolSetFormats();

    memEOL.Lines.Clear();
    memEOLcomm.Lines.Clear();
    eolLine("Inizio EOL manuale: " + host.dateTimeText());
    eolLine("");
    eolLine(eolStandAlone ? "STAND ALONE" : "LOOP BASED");
    eolLine("NUMERO DI CANALI: " + std::to_string(eolChannels));
    eolLine("");
    eolLine("");

    bool aborted = false;
    if (startStep >= 1 && startStep <= 10) {
        for (int step = startStep; step <= 10 && !aborted; ++step) {
            const EolStep runStep = kSteps[step - 1];
            // A STOP at a step's last wait must not let the next step act
            // (step 5 would set the clock).
            aborted = !stopCheck() || !(this->*runStep)();  // abortTest() has written its line
        }
    }
    if (!aborted) {
        eolLine("");
        eolLine("");
        eolLine("FINE TEST: " + host.dateTimeText());
        eolLine("");
        stopFlag = true;
        btnStartEOL.Enabled = true;
    }
    eolFinishRun();
}

// ---- verdict and automatic log ------------------------------------------

namespace {

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// An answer line of askYesNo: its prefix of blanks, then the answer.
bool failedAnswer(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    return first != std::string::npos && line.compare(first, std::string::npos, "<<< FAILED >>>") == 0;
}

}  // namespace

ManualEolPage::EolVerdict ManualEolPage::judgeEolLog(const std::vector<std::string>& lines) {
    bool finished = false, stopped = false;
    int failures = 0;
    for (const std::string& line : lines) {
        if (startsWith(line, "FINE TEST: ")) finished = true;
        if (startsWith(line, "TEST ABORTED: ") || startsWith(line, "TEST STOPPED BY USER: ")) stopped = true;
        if (startsWith(line, "!!!!") || failedAnswer(line)) ++failures;
    }
    EolVerdict verdict;
    verdict.failures = failures;
    verdict.kind = !finished || stopped ? EolVerdict::Aborted : failures ? EolVerdict::Fail : EolVerdict::Pass;
    return verdict;
}

std::string ManualEolPage::EolVerdict::text() const {
    switch (kind) {
    case Pass: return "PASS";
    case Fail: return "FAIL (" + std::to_string(failures) + ")";
    case Aborted: return "ABORTED";
    default: return "";
    }
}

void ManualEolPage::eolFinishRun() {
    eolVerdict = judgeEolLog(memEOL.Lines.lines());
    static const uint32_t colors[] = {0x000000, 0x00A000, 0xFF0000, 0xFF8000};
    lblEolVerdict.FontColor = colors[eolVerdict.kind];
    lblEolVerdict.Caption = eolVerdict.text();

    // As SAVE LOG saves it, comment block included; the page keeps the log
    // as the run left it.
    std::vector<std::string> lines = memEOL.Lines.lines();
    for (const char* line : {"", "Commenti:", ""}) lines.push_back(line);
    if (memEOLcomm.Lines.Count() == 0)
        lines.push_back("");
    else
        lines.insert(lines.end(), memEOLcomm.Lines.lines().begin(), memEOLcomm.Lines.lines().end());

    std::string folder = eolLogDir.empty() ? readEolLogDir(iniFileName) : eolLogDir;
    std::string name =
        "NERAX_LT_EOL_" + eolSerialText + "_" + reportStamp(host.formatNow("yyyy/mm/dd hh:nn:ss")) + ".txt";
    if (!folder.empty() && folder != ".") name = folder + (folder.back() == '/' ? "" : "/") + name;
    std::string error;
    if (!writeTextFile(name, lines, error)) {
        host.messageBox("EOL log not saved: " + name + "\n\n" + error, host.applicationTitle, DialogKind::Error,
                        DialogButtons::Ok);
        return;
    }
    eolLogFile = name;
    addConsoleLine(">>EOL log saved: " + name);
}

void ManualEolPage::Button37Click() {
    stopFlag = true;
    eolLine("");
    eolLine("TEST STOPPED BY USER: " + host.dateTimeText());
    btnStartEOL.Enabled = true;
    if (eolRunning) eolSwitchOutputsBack();
    Button2Click();
}

void ManualEolPage::eolSwitchOutputsBack() {
    if (qob && qob->isConnected()) {
        if (eolRelayOn) window().btnAlarm1RelayClick(eolRelayOn);
        if (eolLedsSet) window().btnLedNormalClick();
        for (int fan = 0; fan < 2; ++fan)
            if (eolFanSpeedsBefore[fan] >= 0 && !qob->testFan(fan, eolFanSpeedsBefore[fan])) showLibraryError();
    }
    eolRelayOn = nullptr;
    eolLedsSet = false;
    eolFanSpeedsBefore[0] = eolFanSpeedsBefore[1] = -1;
}

void ManualEolPage::Button38Click() {
    sd.Filter = "EOL LOG files (*.txt)|*.txt";
    sd.InitialDir = programDirectory();
    sd.DefaultExt = "txt";
    sd.Title = "Save EOL LOG file";
    sd.FileName.clear();
    if (!host.executeSaveDialog(sd)) return;
    eolLine("");
    eolLine("Commenti:");
    eolLine("");
    eolLine(memEOLcomm.Text());
    std::string error;
    if (!writeTextFile(sd.FileName, memEOL.Lines.lines(), error)) {
        host.messageBox("EOL log not saved: " + sd.FileName + "\n\n" + error, host.applicationTitle, DialogKind::Error,
                        DialogButtons::Ok);
        return;
    }
    addConsoleLine(">>File saved!");
}

void ManualEolPage::tmrDelayTimer() { ++delayCounter; }

void ManualEolPage::eolSetFormats() {
    host.formats.shortDate = "dd/mm/yy";
    host.formats.longTime = "hh:mm:ss";
}

// ---- engine -----------------------------------------------------------

void ManualEolPage::eolLine(const std::string& text) { memEOL.Lines.Add(text); }

namespace {

// A wait for a key ends on the stop flag, or when the window asks to close
// (it sets ABORT's Tag), which then counts as a stop.
bool keepWaitingForKey(TFrmTestQOB& w, std::initializer_list<int> keys) {
    if (w.btnabort.Tag == 1 && !w.stopFlag) {
        // The window is closing: what the test switched on goes back too.
        w.stopFlag = true;
        w.eolSwitchOutputsBack();
    }
    if (w.stopFlag) return false;
    for (int key : keys)
        if (w.capturedKey == key) return false;
    return true;
}

// The keys the window keeps from the focused control while a wait runs.
struct AwaitedKeys {
    AwaitedKeys(TFrmTestQOB& w, std::initializer_list<int> keys) : w(w) { w.awaitedKeys = keys; }
    ~AwaitedKeys() { w.awaitedKeys.clear(); }
    TFrmTestQOB& w;
};

}  // namespace

void ManualEolPage::waitSpace(const std::string& text) {
    eolLine("");
    eolLine(text);
    capturedKey = 0;
    const AwaitedKeys awaiting(window(), {kKeySpace});
    waitCooperatively([this] { return keepWaitingForKey(window(), {kKeySpace}); });
    if (!stopFlag) eolLine("");
}

void ManualEolPage::askYesNo(const std::string& prefix) {
    eolLine("");
    eolLine(prefix + "<<< PREMERE Y SE TEST OK, N SE IL TEST E' FALLITO >>>");
    eolLine("");
    capturedKey = 0;
    const AwaitedKeys awaiting(window(), {kKeyY, kKeyN});
    waitCooperatively([this] { return keepWaitingForKey(window(), {kKeyY, kKeyN}); });
    if (stopFlag) return;
    eolLine(prefix + (capturedKey == kKeyY ? "<<< PASSED >>>" : "<<< FAILED >>>") + "\r\n");
    eolLine("");
}

void ManualEolPage::abortTest() {
    stopFlag = true;
    eolLine("");
    eolLine("TEST ABORTED: " + host.dateTimeText());
    btnStartEOL.Enabled = true;
}

bool ManualEolPage::connectRetry() {
    // A stopped test does not connect again (steps 8 to 10 connect right
    // after a wait, which a STOP ends).
    if (!stopCheck()) return false;
    for (;;) {
        actionOk = 0;
        // Connect refuses a second connection without setting actionOk,
        // which would log a failure that did not happen (the operator may
        // have connected by hand before the start): connect afresh instead.
        if (qob) Button2Click();
        Button1Click();
        if (actionOk) return true;
        Button2Click();
        eolLine("!!!!connessione non riuscita");
        eolLine(kReplugLine);
        waitSpace(kRetryPrompt);
        if (stopFlag) {
            abortTest();
            return false;
        }
    }
}

bool ManualEolPage::retryAction(const std::function<void()>& action, const std::string& failText) {
    actionOk = 0;
    for (;;) {
        if (!connectRetry()) return false;
        actionOk = 0;
        action();
        if (actionOk) return true;
        Button2Click();
        eolLine(failText);
        eolLine(kReplugLine);
        waitSpace(kRetryPrompt);
        if (stopFlag) {
            abortTest();
            return false;
        }
    }
}

bool ManualEolPage::retryLocal(const std::function<void()>& action, const std::string& failText) {
    for (;;) {
        actionOk = 0;
        action();
        if (actionOk) return true;
        eolLine(failText);
        waitSpace(kRetryPrompt);
        if (stopFlag) {
            abortTest();
            return false;
        }
    }
}

void ManualEolPage::delay(int tenths) {
    delayCounter = 0;
    tmrDelay.Enabled = true;
    waitCooperatively([this, tenths] { return delayCounter < tenths; });
    tmrDelay.Enabled = false;
}

void ManualEolPage::checkAnalog(const std::string& label, int channel, int min, int max) {
    int value = 0;
    const bool ok = window().readAnalogChannel(channel, value);
    actionOk = ok ? 1 : 0;
    // A failed read has no value to show.
    eolLine(label + (ok ? std::to_string(value) : std::string("ERR")));
    if (!ok)
        eolLine("!!!!read AD non riuscito");
    else if (value < min || value > max)
        eolLine("!!!!FUORI RANGE");
    else
        eolLine("      OK");
}

void ManualEolPage::checkRelay(TButton& onButton, TButton& offButton, bool withQuestion, const std::string& question) {
    if (withQuestion) {
        eolLine("");
        eolLine(question);
        actionOk = 0;
        window().btnAlarm1RelayClick(&onButton);
        if (actionOk)
            eolRelayOn = &offButton;
        else
            eolLine("!!!!set relay non riuscito");
        askYesNo("    ");
        // STOP EOL has switched it off and disconnected.
        if (stopFlag) return;
    }
    actionOk = 0;
    window().btnAlarm1RelayClick(&offButton);
    if (!actionOk) eolLine("!!!!reset relay non riuscito");
    if (actionOk) eolRelayOn = nullptr;
}

bool ManualEolPage::stopCheck() {
    if (!stopFlag) return true;
    abortTest();
    return false;
}

// ---- steps 1 to 5 ------------------------------------------------------

bool ManualEolPage::eolStep1() {
    eolLines(window(), {"1 - MAIN, SMD", "-------------", "", " A) ALIMENTARE LA SCHEDA CON EXT SUP 1 = 24V.",
                        "    VERIFICARE CHE IL CONSUMO SIA CIRCA 30-40mA.", "    QUINDI TOGLIERE ALIMENTAZIONE."});
    askYesNo("    ");
    return true;
}

bool ManualEolPage::eolStep2() {
    eolLines(window(),
             {" [S002]", "2 - MAIN, SMD + manuale", "-----------------------", "",
              " A) METTERE IL JUMPER IN POSIZIONE DI PROGRAMMAZIONE.", "    ALIMENTARE LA SCHEDA CON EXT SUP 1 = 24V.",
              "    IL LED DI PROGRAMMAZIONE DEVE ESSERE ACCESO ROSSO.", "    ATTACCARE CAVO USB.",
              "    CON IL PROGRAMMA FDT, FLASHARE IL FIRMWARE."});
    askYesNo("    ");
    return true;
}

bool ManualEolPage::eolStep3() {
    TFrmTestQOB& w = window();
    eolLines(w, {" [S003]", " B) TOGLIERE ALIMENTAZIONE. STACCARE USB.", "    METTERE JUMPER IN POSIZIONE NORMALE.",
                 "    ALIMENTARE LA SCHEDA CON EXT SUP 1 = 24V.", "    IL LED DI PROGRAMMAZIONE DEVE ESSERE SPENTO.",
                 "    ATTACCARE CAVO USB.", "    NEL TAB MANAGEMENT INSERIRE IL CORRETTO NUMERO DI PORTA COM."});
    waitSpace("    <<< PREMERE SPAZIO PER ESEGUIRE PROGRAMMAZIONE EEPROM >>>");
    // A stopped test must not open the file dialog first.
    if (!stopCheck()) return false;
    for (;;) {
        actionOk = 0;
        PageControl1.ActivePageIndex = kEepromPage;
        w.btnImportE2PClick();
        PageControl1.ActivePageIndex = kManualEolPage;
        if (actionOk) break;
        eolLine("!!!!file eeprom invalido");
        waitSpace(kRetryPrompt);
        if (!stopCheck()) return false;
    }
    if (!stopCheck()) return false;

    if (!retryAction([&w] { w.Button28Click(&w.Button28); }, "!!!!scrittura eeprom non riuscita")) return false;
    eolLine("    EEPROM PROGRAMMATA CON SUCCESSO");
    Button2Click();
    if (!stopCheck()) return false;

    if (!retryAction([&w] { w.Button34Click(); }, "!!!!onfield eeprom restore non riuscito")) return false;
    eolLine("    ONFIELD EEPROM RESTORE OK");
    Button2Click();
    eolLine("");
    return true;
}

bool ManualEolPage::eolStep4() {
    TFrmTestQOB& w = window();
    eolLines(w, {" [S004]", " C) TOGLIERE ALIMENTAZIONE. INSERIRE BATTERIA BOTTONE.",
                 "    SU SOUNDER1 1 E 2 METTERE 47Kohm.", "    TOGLIERE CAVO USB. STACCARE PCB LED.",
                 "    SU RELAY METTERE LED + RESISTENZE CON ALIMENTATORE A 5V",
                 "    ALIMENTARE LA SCHEDA CON EXT SUP 1 E 2 = 24V.", "    DOPO ATTIVAZIONE VENTOLE ATTACCARE USB."});
    waitSpace("    <<< PREMERE SPAZIO PER VERICARE LOG PCB LED NON RILEVATO >>>");
    if (!stopCheck()) return false;
    delay(50);
    if (!retryAction([&w] { w.btnReadLogsClick(&w.btnReadLogs); }, "!!!!lettura log non riuscita")) return false;
    eolLine("    log letto con successo");
    Button2Click();
    if (!stopCheck()) return false;
    // The console now ends with the event log just printed.
    eolLine(memLog.Text());
    askYesNo("    ");
    eolLine("");
    return true;
}

bool ManualEolPage::eolStep5() {
    TFrmTestQOB& w = window();
    eolLines(w, {" [S005]", " D) IMPOSTAZIONE DATA E ORA REAL TIME CLOCK"});
    eolLine("    DATA DA IMPOSTARE: " + host.dateTimeText());
    waitSpace("    <<< PREMERE SPAZIO PER IMPOSTARE E LEGGERE RTC >>>");
    // A stopped test leaves the clock alone.
    if (!stopCheck()) return false;
    eolSetFormats();
    w.edtSetTime.Text = host.dateTimeText();
    if (!retryAction([&w] { w.Button23Click(); }, "!!!!RTC set non riuscito")) return false;
    eolLine("    RTC set ok");
    Button2Click();
    if (!stopCheck()) return false;

    if (!retryAction([&w] { w.Button24Click(); }, "!!!!RTC read non riuscito")) return false;
    eolLine("    RTC read ok");
    eolLine("    " + w.edtGetTime.Text.get());
    Button2Click();
    eolLine("");
    eolLine("");
    return true;
}

// Layout and wiring of the page (constructor).
void ManualEolPage::wireManualEol() {
    btnStartEOL.setBounds(8, 8, 125, 25);
    Button37.setBounds(8, 40, 125, 25);
    Button38.setBounds(8, 72, 125, 25);
    rgEolType.setBounds(8, 104, 125, 57);
    rgEolType.ItemIndex = 0;
    rgEolChannels.setBounds(8, 166, 125, 57);
    rgEolChannels.ItemIndex = 1;
    lblStartStep.setBounds(8, 236, 0, 0);
    edtStartStep.setBounds(72, 232, 49, 21);
    lblSerialNumber.setBounds(8, 264, 0, 0);
    {
        TLabel* serialLabels[] = {&lblSer1, &lblSer2, &lblSer3, &lblSer4};
        TEdit* serialEdits[] = {&edtSer1, &edtSer2, &edtSer3, &edtSer4};
        for (int i = 0; i < 4; ++i) {
            serialLabels[i]->setBounds(8 + 30 * i, 282, 0, 0);
            serialEdits[i]->setBounds(8 + 30 * i, 298, 27, 21);
        }
    }
    lblEOL.setBounds(142, 4, 0, 0);
    memEOL.setBounds(142, 20, 552, 341);
    memEOL.ReadOnly = true;
    memEOL.WordWrap = false;
    lblEOLcomm.setBounds(700, 4, 0, 0);
    memEOLcomm.setBounds(700, 20, 305, 341);
    btnStartEOL.OnClick = [this] { btnStartEOLClick(); };
    Button37.OnClick = [this] { Button37Click(); };
    Button38.OnClick = [this] { Button38Click(); };
    tmrDelay.OnTimer = [this] { tmrDelayTimer(); };
    lblEolVerdict.setBounds(8, 326, 125, 34);
    lblEolVerdict.FontSize = 16;
    lblEolVerdict.FontBold = true;
}
