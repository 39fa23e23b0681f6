// Steps 6 to 10 of the manual end-of-line test, on the board with its LED
// board (6, 7) and on the assembled detector (8 to 10): clock, supplies,
// thermistors, fans, relays, sounder lines, input, cover switch, LEDs,
// loop modules and isolator; then flow calibration, identity and EEPROM
// finalisation. Built from the engine routines of manual_eol.cpp.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>

#include "pages/main_window.h"
#include "device/texts.h"

namespace {

void eolLines(TFrmTestQOB& w, std::initializer_list<const char*> texts) {
    for (const char* text : texts) w.eolLine(text);
}

struct AnalogCheck {
    const char* label;
    int channel;
    int min, max;
    bool secondChannel;  // only on two-channel boards
};

const AnalogCheck kPowerChecks[] = {
    {"    POWER 1:", 7, 660, 695, false},
    {"    POWER 2:", 8, 660, 695, false},
};
const AnalogCheck kThermistorChecks[] = {
    {"    TH 1  :", 3, 218, 245, false},
    {"    TH 2  :", 4, 218, 245, true},
    {"    TH PCB:", 2, 218, 245, false},
};
const AnalogCheck kSounderEolChecks[] = {
    {"    SOUNDER 1:", 0, 480, 540, false},
    {"    SOUNDER 2:", 1, 480, 540, true},
};
const AnalogCheck kSounderOpenChecks[] = {
    {"    SOUNDER 1:", 0, 1020, 1024, false},
    {"    SOUNDER 2:", 1, 1020, 1024, true},
};

struct FanStep {
    int speed;
    int min, max;  // feedback of either fan
};

const FanStep kFanSteps[] = {{0, 0, 10}, {1, 510, 560}, {5, 640, 690}, {10, 790, 840}, {5, 640, 690}};

enum class RelayWhen { Always, TwoChannels, StandAlone, TwoChannelsStandAlone };

struct RelayCheck {
    TButton TFrmTestQOB::*on;
    TButton TFrmTestQOB::*off;
    RelayWhen when;
    const char* question;
};

const RelayCheck kRelayChecks[] = {
    {&TFrmTestQOB::btnAlarm1RelayOn, &TFrmTestQOB::btnAlarm1RelayOff, RelayWhen::Always,
     "    *IL LED ESTERNO SU ALARM 1 E' ACCESO?"},
    {&TFrmTestQOB::btnAlarm2RelayOn, &TFrmTestQOB::btnAlarm2RelayOff, RelayWhen::TwoChannels,
     "    *IL LED ESTERNO SU ALARM 2 E' ACCESO?"},
    {&TFrmTestQOB::btnPrealarm1RelayOn, &TFrmTestQOB::btnPrealarm1RelayOff, RelayWhen::StandAlone,
     "    *IL LED ESTERNO SU PREALARM 1 E' ACCESO(SOLO STAND ALONE)?"},
    {&TFrmTestQOB::btnPrealarm2RelayOn, &TFrmTestQOB::btnPrealarm2RelayOff, RelayWhen::TwoChannelsStandAlone,
     "    *IL LED ESTERNO SU PREALARM 2 E' ACCESO(SOLO STAND ALONE)?"},
    {&TFrmTestQOB::btnFaultRelayOn, &TFrmTestQOB::btnFaultRelayOff, RelayWhen::Always,
     "    *IL LED ESTERNO SU FAULT E' SPENTO?"},
    {&TFrmTestQOB::btnAuxFaultRelayOn, &TFrmTestQOB::btnAuxFaultRelayOff, RelayWhen::Always,
     "    *IL LED ESTERNO SU AUX FAULT E' SPENTO?"},
    {&TFrmTestQOB::btnSounder1RelayOn, &TFrmTestQOB::btnSounder1RelayOff, RelayWhen::Always,
     "    *IL LED ESTERNO SU SOUNDER 1 E' ACCESO?"},
    {&TFrmTestQOB::btnSounder2RelayOn, &TFrmTestQOB::btnSounder2RelayOff, RelayWhen::TwoChannels,
     "    *IL LED ESTERNO SU SOUNDER 2 E' ACCESO?"},
};

bool relayIncluded(RelayWhen when, bool standAlone, int channels) {
    switch (when) {
    case RelayWhen::Always: return true;
    case RelayWhen::TwoChannels: return channels == 2;
    case RelayWhen::StandAlone: return standAlone;
    case RelayWhen::TwoChannelsStandAlone: return channels == 2 && standAlone;
    }
    return true;
}

// The LEDs lit yellow in the last LED check.
bool yellowLed(int n) { return (n >= 5 && n <= 14) || (n >= 26 && n <= 35); }

// Factory constants at bytes 501..510.
const uint8_t kFactoryConstants[10] = {113, 112, 109, 108, 106, 102, 100, 99, 97, 93};

constexpr int kNominalFlow = 100;
constexpr int kFlowMin = 80;
constexpr int kFlowMax = 120;
constexpr int kFlowCorrection[2] = {484, 485};

bool flowInRange(int flow) { return flow >= kFlowMin && flow <= kFlowMax; }

std::string flowFarText(int channel) {
    return "!!!!FLUSSO " + std::to_string(channel + 1) + " LONTANO DA RANGE PREVISTO(80-120)";
}

template <size_t N>
void checkAnalogs(TFrmTestQOB& w, const AnalogCheck (&checks)[N]) {
    for (const AnalogCheck& c : checks)
        if (!c.secondChannel || w.eolChannels == 2) w.checkAnalog(c.label, c.channel, c.min, c.max);
}

// One tick of a polling panel; its edit must then read `expected`.
void checkPanelReading(TFrmTestQOB& w, void (TFrmTestQOB::*tick)(), const TEdit& edit, const char* expected,
                       const char* okText, const char* wrongText, const char* failText) {
    w.actionOk = 0;
    (w.*tick)();
    if (!w.actionOk) {
        w.eolLine(failText);
        return;
    }
    w.eolLine(okText);
    if (edit.Text != std::string(expected)) w.eolLine(wrongText);
}

// All LEDs through `pattern`, then UPDATE and the operator's look.
void checkLeds(TFrmTestQOB& w, const std::function<void()>& pattern) {
    pattern();
    w.actionOk = 0;
    w.btnLedUpdateClick();
    if (w.actionOk)
        w.askYesNo("    ");
    else
        w.eolLine("!!!!set led non riuscito");
}

// The isolator panel's read; expectedPin null: the pin is not judged.
void checkIsolator(TFrmTestQOB& w, const char* expectedSub127, const char* expectedPin) {
    w.actionOk = 0;
    w.btnReadIsolatorClick(&w.btnReadIsolator);
    if (!w.actionOk) {
        w.eolLine("!!!!read iso state non riuscito");
        return;
    }
    w.eolLine("    read iso state ok");
    if (w.edtSub127.Text != std::string(expectedSub127)) w.eolLine("!!!!STATO ISO NON CORRETTO");
    if (expectedPin && w.edtIsolatorPinState.Text != std::string(expectedPin))
        w.eolLine("!!!!STATO ISO PIN NON CORRETTO");
}

}  // namespace

// ---- step 6: board with LED board ---------------------------------------

bool ManualEolPage::eolStep6() {
    TFrmTestQOB& w = window();
    eolLines(w, {"[S006]", "3 - MAIN + LED", "--------------", "", " A) TOGLIERE ALIMENTAZIONE. COLLEGARE PCB LED. ",
                 "    IN LOOP BASED, METTERE INDIRIZZO ROTARY SWITCH = 0", "    CHIUDERE COVER SWITCH."});
    if (!eolStandAlone) eolLine("    ALIMENTARE LOOP CON T-LNK.");
    eolLines(
        w, {"    ALIMENTARE LA SCHEDA CON EXT SUP 1,2 = 24V.", "    DOPO ATTIVAZIONE VENTOLE PREMERE RESET E INSERIRE",
            "    PASSWORD. APRIRE COVER SWITCH E ATTACCARE USB."});
    waitSpace("    <<< PREMERE SPAZIO PER LEGGERE RTC >>>");
    if (!stopCheck()) return false;

    if (!retryAction([&w] { w.Button24Click(); }, "!!!!RTC read non riuscito")) return false;
    eolLine("    RTC read ok");
    eolLine("    " + w.edtGetTime.Text.get());
    int day = 0;
    if (!parseInteger(w.edtGetTime.Text->substr(0, 2), day) || day == 0) eolLine("!!!!DATA INVALIDA");

    Button2Click();
    if (!stopCheck()) return false;
    if (!connectRetry()) return false;

    eolLines(w, {"", " B) VERIFICA POWER SUPPLIES"});
    checkAnalogs(w, kPowerChecks);
    eolLines(w, {"", " C) VERIFICA TERMISTORI"});
    checkAnalogs(w, kThermistorChecks);

    eolLines(w, {"", " D) VERIFICA FANS"});
    // The speeds to go back to when the test is stopped (not logged).
    if (qob && qob->readState())
        for (int fan = 0; fan < 2; ++fan) eolFanSpeedsBefore[fan] = qob->fanSpeed(fan);
    for (const FanStep& step : kFanSteps) {
        if (!stopCheck()) return false;
        w.tbFan1.Position = step.speed;
        w.tbFan1Change(&w.tbFan1);
        if (eolChannels == 2) {
            w.tbFan2.Position = step.speed;
            w.tbFan1Change(&w.tbFan2);
        }
        eolLine("");
        for (int fan = 0; fan < eolChannels; ++fan) {
            const std::string number = std::to_string(fan + 1);
            actionOk = 0;
            w.btnTestFan1Click(fan == 0 ? &w.btnTestFan1 : &w.btnTestFan2);
            eolLine(actionOk ? "    fan " + number + " speed: " + std::to_string(step.speed)
                             : "!!!!set fan " + number + " non riuscito");
        }
        delay(20);
        checkAnalog("    FAN 1 AD :", 5, step.min, step.max);
        if (eolChannels == 2) checkAnalog("    FAN 2 AD :", 6, step.min, step.max);
    }

    eolLines(w, {"", " E) VERIFICA RELAYS", ""});
    // After a STOP the remaining relays are left alone: each would only
    // log failures of a board that is no longer connected.
    for (const RelayCheck& relay : kRelayChecks)
        if (relayIncluded(relay.when, eolStandAlone, eolChannels) && !stopFlag)
            checkRelay(w.*relay.on, w.*relay.off, false, relay.question);
    if (!stopCheck()) return false;
    for (const RelayCheck& relay : kRelayChecks)
        if (relayIncluded(relay.when, eolStandAlone, eolChannels) && !stopFlag)
            checkRelay(w.*relay.on, w.*relay.off, true, relay.question);
    if (!stopCheck()) return false;

    eolLines(w, {"", " F) VERIFICA SOUNDERS"});
    checkAnalogs(w, kSounderEolChecks);
    if (!stopCheck()) return false;
    eolLines(w, {"", "    TOGLIERE 47K DA SOUNDER 1 E 2."});
    waitSpace("    <<< PREMERE SPAZIO PER VERIFICARE STATO OPEN SOUNDER >>>");
    checkAnalogs(w, kSounderOpenChecks);
    if (!stopCheck()) return false;

    eolLines(w, {"", " G) LETTURA EXTERNAL INPUT"});
    checkPanelReading(w, &TFrmTestQOB::tmrConfInputTimer, w.edtConfInput, "OPEN", "    read ext input ok",
                      "!!!!STATO INPUT NON CORRETTO", "!!!!read ext input non riuscito");
    if (!stopCheck()) return false;
    eolLines(w, {"", " H) LETTURA EXTERNAL INPUT. METTERE CORTO SU EXT INPUT. "});
    waitSpace("    <<< PREMERE SPAZIO PER VERIFICARE EXT INPUT >>>");
    checkPanelReading(w, &TFrmTestQOB::tmrConfInputTimer, w.edtConfInput, "SHORT", "    read ext input ok",
                      "!!!!STATO INPUT NON CORRETTO", "!!!!read ext input non riuscito");
    if (!stopCheck()) return false;

    eolLines(w, {"", " H) LETTURA COVER SWITCH (APERTO). "});
    checkPanelReading(w, &TFrmTestQOB::tmrCoverTimer, w.edtCoverPinState, "0", "    read cover switch ok",
                      "!!!!STATO COVER SWITCH NON CORRETTO", "!!!!read cover switch non riuscito");
    if (!stopCheck()) return false;
    eolLines(w, {"", " I) LETTURA COVER SWITCH. CHIUDERE COVER SWITCH. "});
    waitSpace("    <<< PREMERE SPAZIO PER VERIFICARE COVER SWITCH >>>");
    checkPanelReading(w, &TFrmTestQOB::tmrCoverTimer, w.edtCoverPinState, "1", "    read cover switch ok",
                      "!!!!STATO COVER SWITCH NON CORRETTO", "!!!!read cover switch non riuscito");
    if (!stopCheck()) return false;

    eolLines(w, {"", " L) VERIFICARE CHE 21/22/25 LED (1C1S/1C2S/2C2S) SONO ACCESI ROSSI."});
    eolLedsSet = true;
    checkLeds(w, [&w] { w.btnLedAllClick(&w.btnLedAllR); });
    if (!stopCheck()) return false;
    eolLines(w, {"", " M) VERIFICARE CHE 22/23 LED (1/2 CANALI) SONO ACCESI VERDI."});
    checkLeds(w, [&w] { w.btnLedAllClick(&w.btnLedAllG); });
    if (!stopCheck()) return false;
    eolLines(w, {"", " N) VERIFICARE CHE 10/20 LED(1/2 CANALI) SONO ACCESI GIALLI."});
    checkLeds(w, [&w] {
        w.btnLedClearClick();
        for (int n = 0; n <= 44; ++n)
            if (auto* box = dynamic_cast<TComboBox*>(w.FindComponent("cbLed" + std::to_string(n))); box && yellowLed(n))
                box->ItemIndex = 3;
    });
    // A finished step leaves LEDs and fans as they are; the next step
    // starts by switching the board off.
    eolLedsSet = false;
    eolFanSpeedsBefore[0] = eolFanSpeedsBefore[1] = -1;
    Button2Click();
    return stopCheck();
}

// ---- step 7: loop modules and isolator (loop-based boards) --------------

bool ManualEolPage::eolStep7() {
    TFrmTestQOB& w = window();
    eolLine("[S007]");
    if (eolStandAlone) return true;

    eolLines(w, {"", " O) LOOP BASED. STACCARE CAVO USB.", "     CHIUDERE COVER. PREMERE PER 2 SEC TEST+REST+DISABLE",
                 "     INTERROGARE 00, VERIFICARE RISPOSTA", "     E LAMPEGGIO MODULO 1 LED VERDE"});
    askYesNo("    ");
    if (!stopCheck()) return false;
    if (eolChannels == 2) {
        eolLines(w, {"    *INTERROGARE 01, VERIFICARE RISPOSTA", "     E LAMPEGGIO MODULO 2 LED VERDE"});
        askYesNo("    ");
    }
    if (!stopCheck()) return false;
    eolLines(w, {"    *TOGLIERE ALIMENTAZIONE.", "     CAMBIARE INDIRIZZO ROTARY SWITCH, METTERE 33.",
                 "     ATTACCARE ALIMENTAZIONE.", "     INTERROGARE 33, VERIFICARE RISPOSTA",
                 "     E LAMPEGGIO MODULO 1 LED VERDE"});
    askYesNo("    ");
    if (!stopCheck()) return false;
    eolLines(w, {"    *CORTOCIRCUITARE LOOP.", "     VERIFICARE CHE ENTRAMBI I LED DEI MODULI SIANO",
                 "     GIALLI FISSI (UNO SOLO SE 1 CANALE).", "     INVIARE A 33 COMANDO 134, 127 (READ INPUT VALUE)",
                 "     E VERIFICARE RISPOSTA = 96"});
    askYesNo("    ");
    if (!stopCheck()) return false;
    eolLines(w, {"    *TOGLIERE ALIMENTAZIONE.", "     CAMBIARE INDIRIZZO ROTARY SWITCH, METTERE 155.",
                 "     ATTACCARE ALIMENTAZIONE.", "     INVIARE COMANDO RESET POWER ON SU INDIRIZZO 155.",
                 "     INTERROGARE 155, VERIFICARE RISPOSTA", "     E LAMPEGGIO MODULO 1 LED VERDE"});
    askYesNo("    ");
    if (!stopCheck()) return false;
    eolLines(w, {"    *SU INDIRIZZO 155 INVIARE COMANDO SET OUTPUT (1) ",
                 "     SU SUBADD 129, DATO 8,8. IL LED DEL MODULO 1 E' ACCESO GIALLO?"});
    askYesNo("    ");
    if (eolChannels == 2) {
        eolLines(w, {"    *SU INDIRIZZO 155 INVIARE COMANDO SET OUTPUT (1) ",
                     "     SU SUBADD 130, DATO 8,8. IL LED DEL MODULO 2 E' ACCESO GIALLO?"});
        askYesNo("    ");
    }
    if (!stopCheck()) return false;

    // Isolator closed, as the loop left it.
    eolLines(w, {"    *PREMERE RESET, INSERIRE PASSWORD.", "     APRIRE COVER, ATTACCARE USB."});
    waitSpace("     <<< PREMERE SPAZIO PER VERIFICARE STATO ISO >>>");
    if (!stopCheck()) return false;
    eolLine("    *LETTURA STATO ISOLATORI (224 = CLOSE)");
    if (!connectRetry()) return false;
    checkIsolator(w, "224", nullptr);
    Button2Click();
    if (!stopCheck()) return false;

    // Opened, then closed again, by the operator's loop commands.
    struct IsolatorPhase {
        const char* command;
        const char* verify;
        const char* sub127;
        const char* pin;
    };
    // clang-format off
    const IsolatorPhase phases[] = {
        {"     INVIARE A 155 COMANDO 11,32 E VERIFICARE CON COMANDO", "     134, 127 (READ INPUT VALUE) CHE STATO = 32 (OPEN)",
         "32", "0"},
        {"     INVIARE A 155 COMANDO 11,96 E VERIFICARE CON COMANDO",
         "     134, 127 (READ INPUT VALUE) CHE STATO = 224 (CLOSE)", "224", "1"},
    };
    // clang-format on
    for (const IsolatorPhase& phase : phases) {
        eolLines(w, {"", "    *STACCARE USB. CHIUDERE COVER. PREMERE PER 2 SEC", "     RESET+TEST+DISABLE",
                     phase.command, phase.verify});
        askYesNo("    ");
        if (!stopCheck()) return false;
        eolLines(w, {"    *PREMERE RESET, INSERIRE PASSWORD.", "     APRIRE COVER, ATTACCARE USB."});
        waitSpace("     <<< PREMERE SPAZIO PER VERIFICARE STATO ISO >>>");
        if (!stopCheck()) return false;
        if (!connectRetry()) return false;
        checkIsolator(w, phase.sub127, phase.pin);
        Button2Click();
        if (!stopCheck()) return false;
    }
    eolLine("");
    eolLine("");
    return true;
}

// ---- step 8: flow calibration --------------------------------------------

bool ManualEolPage::readEolImage(uint8_t* image512) {
    return retryLocal(
        [this, image512] {
            if (!checkConnected()) return;
            if (qob->readImageCopy(image512))
                actionOk = 1;
            else
                showLibraryError();
        },
        "!!!!get eeprom non riuscita");
}

bool ManualEolPage::writeEolImage(uint8_t* image512) {
    if (!stopCheck()) return false;
    QOB::sealImage(image512);
    if (!stopCheck()) return false;
    return retryLocal(
        [this, image512] {
            if (!checkConnected()) return;
            if (qob->writeImage(image512, 255, 255, 255))
                actionOk = 1;
            else
                showLibraryError();
        },
        "!!!!write eeprom non riuscita");
}

bool ManualEolPage::eolStep8() {
    TFrmTestQOB& w = window();
    eolLines(w, {"[S008]", "4 - MAIN + LED + MECCANICA", "--------------------------",
                 "  A) TOGLIERE ALIMENTAZIONE. STACCARE USB.", "     SU SOUNDER 1 & 2 EOL 47K.",
                 "     CHIUDERE COVER SWITCH.", "     CHIUDERE INLET CH1.2 E CH2.2",
                 "     SU INLET CH1.1 E CH2.1(SE 2 CANALI) METTERE CARICO 45L/MIN.",
                 "     ALIMENTARE LA SCHEDA CON EXT SUP 1 = 24V."});
    if (eolStandAlone) eolLine("     VERIFICARE LED MODULI ACCESI GIALLI ALL'ACCENSIONE.");
    eolLine("     ALIMENTARE CON EXT SUP 1 E 2 = 24V.");
    if (eolStandAlone) askYesNo("    ");
    if (!stopCheck()) return false;
    eolLines(w, {"     PREMERE RESET E INSERIRE PASSWORD.", "     APRIRE COVER SWITCH E ATTACCARE USB."});
    waitSpace("     <<< PREMERE SPAZIO PER VERIFICARE FLUSSI >>>");
    if (!connectRetry()) return false;

    int flows[2] = {0, 0};
    // Taken with the state: STOP may drop the connection before they are shown.
    int variantSeen = 0;
    int sensorOutputs[2] = {0, 0};
    for (;;) {
        if (!stopCheck()) return false;
        if (!retryLocal([&w] { w.btnStateClick(); }, "!!!!getstate non riuscito")) return false;
        eolLine("    getstate ok");
        variantSeen = qob->variant();
        bool allInRange = true;
        for (int ch = 0; ch < eolChannels; ++ch) {
            flows[ch] = qob->flow(ch);
            sensorOutputs[ch] = qob->sensorOutput(ch);
            eolLine("    flow " + std::to_string(ch + 1) + " = " + std::to_string(flows[ch]));
        }
        for (int ch = 0; ch < eolChannels; ++ch)
            if (!flowInRange(flows[ch])) {
                eolLine(flowFarText(ch));
                allInRange = false;
            }
        if (allInRange) break;
        waitSpace("     <<< PREMERE SPAZIO PER TARARE FLUSSI >>>");
    }

    if (!stopCheck()) return false;
    uint8_t image[512] = {};
    if (!readEolImage(image)) return false;
    for (int ch = 0; ch < eolChannels; ++ch) {
        if (std::abs(flows[ch] - kNominalFlow) >= kFlowMax - kNominalFlow) {
            eolLine(flowFarText(ch));
            eolLine("    TARATURA NON EFFETTUATA");
        } else {
            image[kFlowCorrection[ch]] = static_cast<uint8_t>(image[kFlowCorrection[ch]] + (kNominalFlow - flows[ch]));
        }
    }
    for (int ch = 0; ch < eolChannels; ++ch)
        eolLine("    corr " + std::to_string(ch + 1) + " e2p= " + std::to_string(image[kFlowCorrection[ch]]));
    eolLine("");
    if (!writeEolImage(image)) return false;
    eolLine("    TARATURA TERMINATA");

    if (eolStandAlone) {
        eolLines(w,
                 {"", "  B) STAND ALONE: SENSORI", "     I SENSORI 1 E 2(SE 2 CANALI) SONO POLLATI AUTOMATICAMENTE E",
                  "     I LED DEI SENSORI LAMPEGGIANO VERDE?"});
        askYesNo("     ");
        for (int ch = 0; ch < eolChannels; ++ch)
            eolLine("     Last poll sensore " + std::to_string(ch + 1) + ":" +
                    pollStatusTextFor(variantSeen, sensorOutputs[ch]));
    } else {
        eolLines(
            w, {"", "  C) LOOP BASED: SENSORI. ALIMENTARE T-LNK.",
                "     I SENSORI 1 E 2(SE 2 CANALI) SONO INTERROGABILI E", "     I LED DEI SENSORI LAMPEGGIANO VERDE?"});
        askYesNo("     ");
    }
    return stopCheck();
}

// ---- steps 9 and 10: identity and EEPROM finalisation ---------------------

namespace {

// Both steps start on a closed, freshly powered detector.
const char* const kPowerUpLines[] = {"  D) TOGLIERE ALIMENTAZIONE. STACCARE USB. CHIUDERE COVER SWITCH.",
                                     "     ALIMENTARE. PREMERE RESET ED INSERIRE PWD.", "     ATTACCARE USB."};

}  // namespace

bool ManualEolPage::eolSerialBytes(uint8_t serial[4]) {
    const TEdit* const edits[4] = {&edtSer1, &edtSer2, &edtSer3, &edtSer4};
    for (int i = 0; i < 4; ++i) {
        int value = 0;
        if (!parseInteger(edits[i]->Text, value)) {
            host.messageBox("'" + edits[i]->Text.get() + "' is not a valid integer value", host.applicationTitle,
                            DialogKind::Error, DialogButtons::Ok);
            return false;
        }
        serial[i] = static_cast<uint8_t>(value & 0xFF);
    }
    return true;
}

bool ManualEolPage::eolReconnect() {
    Button2Click();
    delay(10);
    if (!connectRetry()) return false;
    return stopCheck();
}

bool ManualEolPage::eolStep9() {
    eolLine("[S009]");
    for (const char* line : kPowerUpLines) eolLine(line);
    waitSpace("     <<< PREMERE SPAZIO PER SETTARE EEPROM >>>");
    if (!eolReconnect()) return false;
    uint8_t image[512] = {};
    if (!readEolImage(image)) return false;

    uint8_t serial[4] = {};
    // Checked at start; an edit changed since then ends the test rather
    // than write a wrong serial number.
    if (!eolSerialBytes(serial)) {
        abortTest();
        return false;
    }
    const LocalDateTime now = host.now();
    const uint8_t year = static_cast<uint8_t>(now.year % 100);
    for (int i = 0; i < 4; ++i) image[260 + i] = serial[i];
    const uint8_t manufactured[5] = {static_cast<uint8_t>(now.day), static_cast<uint8_t>(now.month), year,
                                     static_cast<uint8_t>(now.hour), static_cast<uint8_t>(now.minute)};
    for (int i = 0; i < 5; ++i) image[268 + i] = manufactured[i];
    const uint8_t stamp[6] = {
        static_cast<uint8_t>(now.day),  static_cast<uint8_t>(now.month),  year,
        static_cast<uint8_t>(now.hour), static_cast<uint8_t>(now.minute), static_cast<uint8_t>(now.second)};
    for (int i = 0; i < 6; ++i) image[281 + i] = stamp[i];
    for (int i = 0; i < 10; ++i) image[501 + i] = kFactoryConstants[i];

    if (!writeEolImage(image)) return false;
    eolLine("    EEPROM OK");
    if (!retryLocal([this] { window().Button31Click(); }, "!!!!set eeprom backup non riuscito")) return false;
    eolLine("    BACKUP EEPROM OK");
    return stopCheck();
}

bool ManualEolPage::eolStep10() {
    TFrmTestQOB& w = window();
    eolLine("[S010]");
    for (const char* line : kPowerUpLines) eolLine(line);
    waitSpace("     <<< PREMERE SPAZIO PER FINALIZZARE EEPROM >>>");
    if (!eolReconnect()) return false;
    if (!retryLocal([&w] { w.Button34Click(); }, "!!!!onfield eeprom restore non riuscito")) return false;
    eolLine("    ONFIELD EEPROM RESTORE OK");
    eolSetFormats();
    w.edtSetTime.Text = host.dateTimeText();
    actionOk = 0;
    w.Button23Click();
    eolLine(actionOk ? "    RTC set ok" : "!!!!RTC set non riuscito");
    Button2Click();
    return true;
}
