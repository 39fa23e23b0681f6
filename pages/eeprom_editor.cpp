// The EEPROM page: the editor's own grid of bytes 0..511 (read, write by
// range with the checksum dialog, recompute checksums, .e2p files), area
// restores and the backup update, the grid of the log header 1024..1087,
// the whole-EEPROM dump and three single-byte test buttons.
//
// The grids are independent of the QOB image: nothing here touches it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "pages/eeprom_editor.h"
#include "app/report_file.h"
#include "link/frame.h"
#include "link/system.h"

namespace {

constexpr int kImageSize = eeprom::kImageSize;
constexpr int kLogHeaderStart = eeprom::kLogHeader.start;
constexpr int kLogHeaderSize = eeprom::kLogHeader.length;
// An image file is a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kLargestImageFile = 1 << 20;

const char* const kE2pFilter = "EEPROM files (*.e2p)|*.e2p";

// Rows "0=0" .. "count-1=0" from `first` on, as one text.
std::string zeroRows(int first, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::to_string(first + i) + "=0\r\n";
    return text;
}

std::string conversionText(const std::string& value) { return "'" + value + "' is not a valid integer value"; }

// Low byte of the integer in the grid row `key`; false with the reason
// when the row is missing or its text is not an integer.
bool gridByte(const TValueListEditor& grid, int key, uint8_t& byte, std::string& error) {
    const std::string name = std::to_string(key);
    const int line = grid.FindKey(name);
    if (line < 0) {
        error = "Byte " + name + " is missing from the grid";
        return false;
    }
    const std::string text = grid.ValueAt(line);
    int value = 0;
    if (!parseInteger(text, value)) {
        error = conversionText(text) + " (byte " + name + ")";
        return false;
    }
    byte = static_cast<uint8_t>(value & 0xFF);
    return true;
}

bool gridToImage(const TValueListEditor& grid, uint8_t image[kImageSize], std::string& error) {
    for (int i = 0; i < kImageSize; ++i)
        if (!gridByte(grid, i, image[i], error)) return false;
    return true;
}

// Grid rows "i=value" for a whole image, in byte order.
std::string imageRows(const uint8_t* bytes, int first, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::to_string(first + i) + "=" + std::to_string(bytes[i]) + "\r\n";
    return text;
}

// After a failed write of several ranges, which of them the detector now
// holds ("written"), may hold ("not confirmed": the answer was lost or the
// read-back differed) and still holds as before ("not written"); empty
// when nothing changed.
std::string writeStoppedLine(const QOB& qob, const int selected[3]) {
    static const char* const ranges[3] = {"0-255", "256-275", "276-511"};
    static const char* const outcome[3] = {"not written", "written", "not confirmed"};
    std::string line = ">>Write stopped:";
    const char* separator = " ";
    bool changed = false;
    for (int k = 0; k < 3; ++k) {
        if (selected[k] == 0) continue;
        const int state = qob.imageRangeWrite(k);
        changed = changed || state != QOB::RangeNotWritten;
        line += separator + std::string("bytes ") + ranges[k] + " " + outcome[state >= 0 && state <= 2 ? state : 0];
        separator = ", ";
    }
    return changed ? line : std::string();
}

// ---- .e2p files ---------------------------------------------------------

// Appends code point `cp` as an 8-bit character; false when it has none.
bool appendLatin1(std::string& out, uint32_t cp) {
    if (cp > 0xFF) return false;
    out.push_back(static_cast<char>(cp));
    return true;
}

bool decodeUtf8(const std::string& in, size_t from, std::string& out, std::string& error) {
    for (size_t i = from; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        uint32_t cp = 0;
        int more = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            more = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            more = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            more = 3;
        } else {
            error = "the file is not valid UTF-8";
            return false;
        }
        if (i + static_cast<size_t>(more) >= in.size()) {
            error = "the file is not valid UTF-8";
            return false;
        }
        for (int k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(in[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80) {
                error = "the file is not valid UTF-8";
                return false;
            }
            cp = cp << 6 | (d & 0x3F);
        }
        if (!appendLatin1(out, cp)) {
            error = "the file holds characters an image file never has";
            return false;
        }
        i += static_cast<size_t>(more) + 1;
    }
    return true;
}

bool decodeUtf16(const std::string& in, bool bigEndian, std::string& out, std::string& error) {
    if (in.size() % 2 != 0) {
        error = "the file is not valid UTF-16";
        return false;
    }
    for (size_t i = 2; i < in.size(); i += 2) {
        const auto a = static_cast<unsigned char>(in[i]), b = static_cast<unsigned char>(in[i + 1]);
        const uint32_t unit = bigEndian ? (a << 8 | b) : (b << 8 | a);
        if (!appendLatin1(out, unit)) {
            error = "the file holds characters an image file never has";
            return false;
        }
    }
    return true;
}

// The text of a file's bytes: a byte-order mark selects UTF-8 or UTF-16,
// anything else is 8-bit text.
bool decodeText(const std::string& bytes, std::string& text, std::string& error) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return decodeUtf8(bytes, 3, text, error);
    if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) return decodeUtf16(bytes, false, text, error);
    if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFE\xFF") == 0) return decodeUtf16(bytes, true, text, error);
    text = bytes;
    return true;
}

bool isCanonicalByteNumber(const std::string& key, int& number) {
    if (key.empty() || key.size() > 3 || (key.size() > 1 && key[0] == '0')) return false;
    number = 0;
    for (char c : key) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    return number < kImageSize;
}

// The grid rows of an image file, or false with the reason. An image file
// holds every byte 0..511 exactly once as "byte=integer"; anything else
// (a truncated copy, another kind of file) is refused as a whole, so a
// bad file never replaces the grid.
bool parseImageFile(const std::string& bytes, std::vector<std::string>& rows, std::string& error) {
    std::string text;
    if (!decodeText(bytes, text, error)) return false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\r' && c != '\n' && c != '\t') || u == 0x7F) {
            error = "it is not a text file";
            return false;
        }
    }
    // A copy that stopped inside its last line could still parse ("511=12"
    // of "511=123"); every file the tool writes ends its lines.
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') {
        error = "the file is cut short: its last line has no line end";
        return false;
    }
    TMemo scratch(nullptr, "scratch");  // the grid's own line splitting
    scratch.Lines.setText(text);
    std::vector<std::string> lines = scratch.Lines.lines();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty()) {
        error = "the file is empty";
        return false;
    }
    std::vector<bool> seen(kImageSize, false);
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        const std::string where = "line " + std::to_string(n + 1) + ": ";
        const size_t eq = line.find('=');
        int number = 0;
        if (eq == std::string::npos || !isCanonicalByteNumber(line.substr(0, eq), number)) {
            error = where + "\"" + line.substr(0, 40) + "\" is not byte=value with a byte from 0 to 511";
            return false;
        }
        if (seen[static_cast<size_t>(number)]) {
            error = where + "byte " + std::to_string(number) + " appears twice";
            return false;
        }
        seen[static_cast<size_t>(number)] = true;
        int value = 0;
        if (!parseInteger(line.substr(eq + 1), value)) {
            error = where + conversionText(line.substr(eq + 1).substr(0, 40));
            return false;
        }
    }
    const auto missing = std::find(seen.begin(), seen.end(), false);
    if (missing != seen.end()) {
        error = "byte " + std::to_string(missing - seen.begin()) + " is missing (the file holds " +
                std::to_string(lines.size()) + " rows of 512)";
        return false;
    }
    rows = std::move(lines);
    return true;
}

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        error = "the file does not exist";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = "it is not a file";
        return false;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kLargestImageFile) {
        error = "the file is far too large for an EEPROM image";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "the file cannot be opened";
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "the file cannot be read";
        return false;
    }
    return true;
}

// ---- cell drawing -------------------------------------------------------

std::string padRight(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

bool isChecksumKey(const std::string& key) {
    for (const EepromArea& area : eeprom::kImageAreas)
        if (key == std::to_string(area.checksumAt())) return true;
    return false;
}

std::string valueCellText(const std::string& value) {
    int v = 0;
    if (!parseInteger(value, v)) return padRight(value, 3) + "|";
    char hex[16];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(v));
    std::string bits;
    for (int b = 7; b >= 0; --b) bits.push_back((v >> b) & 1 ? '1' : '0');
    return padRight(value, 3) + "| " + hex + "|    " + bits;
}

struct AreaRestore {
    int code;
    const char* line;
};
constexpr AreaRestore kRestoreAll{0, ">>Device e2p restored"};
constexpr AreaRestore kRestoreLob{1, ">>Device e2p [LOB] area restored"};
constexpr AreaRestore kRestoreFct{2, ">>Device e2p [FCT] area restored"};
constexpr AreaRestore kRestoreCfg{3, ">>Device e2p [CFG] area restored"};

}  // namespace

// ---- grid contents --------------------------------------------------------

void EepromPage::fillEepromGrids() {
    vleE2P.Strings.setText(zeroRows(0, kImageSize));
    vleE2P_log.Strings.setText(zeroRows(kLogHeaderStart, kLogHeaderSize));
    vleE2Pdesc.Strings.Clear();
}

bool EepromPage::readEepromGrid() {
    if (!checkConnected()) return false;
    uint8_t bytes[kImageSize] = {};
    if (!qob->readImageCopy(bytes)) {
        showLibraryError();
        return false;
    }
    vleE2P.Tag = 1;
    vleE2P.Strings.setText(imageRows(bytes, 0, kImageSize));
    vleE2P.Tag = 0;
    addConsoleLine(">>Bytes 0-511 read!");
    return true;
}

void EepromPage::btnrseepClick() {
    if (!checkConnected()) return;
    btnrseep.Enabled = false;
    readEepromGrid();
    btnrseep.Enabled = true;
}

bool EepromPage::Button28Click(Control* sender) {
    Control& button = sender ? *sender : Button28;
    if (!checkConnected()) return false;
    button.Enabled = false;
    uint8_t image[kImageSize] = {};
    std::string error;
    if (!gridToImage(vleE2P, image, error)) {
        host.messageBox(error, host.applicationTitle, DialogKind::Error, DialogButtons::Ok);
        button.Enabled = true;
        return false;
    }
    if (!QOB::checkImage(image)) {
        if (host.messageBox("Checksum values are wrong. Write EEPROM anyway?", host.applicationTitle,
                            DialogKind::Warning, DialogButtons::YesNo) != DialogResult::Yes) {
            button.Enabled = true;
            return false;
        }
        if (host.messageBox("Correct checksum values?", host.applicationTitle, DialogKind::Warning,
                            DialogButtons::YesNo) == DialogResult::Yes) {
            QOB::sealImage(image);
            addConsoleLine(">>e2p bytes 0-511 checksums updated");
            for (int i = 0; i < kImageSize; ++i) vleE2P.setValue(std::to_string(i), std::to_string(image[i]));
        }
    }
    // Tag 0 all, 1 LOW, 2 FCT, 3 CFG; 255 also lets wrong checksums through.
    static const int ranges[4][3] = {{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const int tag = button.Tag;
    const int* r = ranges[tag >= 0 && tag <= 3 ? tag : 0];
    bool written = false;
    if (qob->writeImage(image, r[0], r[1], r[2])) {
        addConsoleLine(">>Bytes 0-511 written!");
        actionOk = 1;
        written = true;
    } else {
        showLibraryError();
        // Nothing is rolled back: say what the detector now holds.
        const std::string stopped = std::count(r, r + 3, 0) < 2 ? writeStoppedLine(*qob, r) : std::string();
        if (!stopped.empty()) addConsoleLine(stopped);
    }
    button.Enabled = true;
    return written;
}

void EepromPage::Button25Click() {
    vleE2P.Strings.setText(zeroRows(0, kImageSize));
    addConsoleLine(">>EEPROM grid values cleared!");
}

void EepromPage::Button3Click() {
    Button3.Enabled = false;
    uint8_t image[kImageSize] = {};
    std::string error;
    if (!gridToImage(vleE2P, image, error)) {
        host.messageBox(error, host.applicationTitle, DialogKind::Error, DialogButtons::Ok);
        Button3.Enabled = true;
        return;
    }
    QOB::sealImage(image);
    for (int i = 0; i < kImageSize; ++i) vleE2P.setValue(std::to_string(i), std::to_string(image[i]));
    Button3.Enabled = true;
}

// ---- image files ----------------------------------------------------------

void EepromPage::btnExportE2PClick() {
    sd.Filter = kE2pFilter;
    sd.InitialDir = programDirectory();
    sd.DefaultExt = "e2p";
    sd.Title = "Save EEPROM (bytes 0-511) file";
    if (!host.executeSaveDialog(sd)) return;
    std::string error;
    if (!writeTextFile(sd.FileName, vleE2P.Strings.lines(), error)) {
        host.messageBox("File not saved: " + sd.FileName + "\n\n" + error, host.applicationTitle, DialogKind::Error,
                        DialogButtons::Ok);
        return;
    }
    addConsoleLine(">>File saved!");
}

bool EepromPage::btnImportE2PClick() {
    od.Filter = kE2pFilter;
    od.InitialDir = programDirectory();
    od.FileName.clear();
    od.DefaultExt = "e2p";
    od.Title = "Load EEPROM (bytes 0-511) file";
    if (!host.executeOpenDialog(od)) {
        actionOk = 0;
        return false;
    }
    std::string bytes, error;
    std::vector<std::string> rows;
    if (!readWholeFile(od.FileName, bytes, error) || !parseImageFile(bytes, rows, error)) {
        actionOk = 0;
        host.messageBox("Not loaded, the grid is unchanged: " + od.FileName + "\n\n" + error, host.applicationTitle,
                        DialogKind::Error, DialogButtons::Ok);
        return false;
    }
    std::string text;
    for (const auto& row : rows) text += row + "\r\n";
    vleE2P.Strings.setText(text);
    vleE2P.Row = 1;
    addConsoleLine(">>Grid values updated!");
    actionOk = 1;
    return true;
}

// ---- device-side actions ----------------------------------------------------

void EepromPage::btnRefreshE2PClick() {
    if (!checkConnected()) return;
    if (qob->sendCommand(cmd::ReloadEeprom, 0, 0, nullptr, nullptr, panelAnswer))
        addConsoleLine(">>ASD eeprom refreshed!");
    else
        showLibraryError();
}

void EepromPage::restoreEepromArea(TButton& button, int code) {
    if (!checkConnected()) return;
    const AreaRestore* const table[] = {&kRestoreAll, &kRestoreLob, &kRestoreFct, &kRestoreCfg};
    const AreaRestore& area = *table[code];
    button.Enabled = false;
    const int ok = qob->restoreArea(area.code);
    button.Enabled = true;
    if (!ok) {
        showLibraryError();
        return;
    }
    addConsoleLine(area.line);
    readEepromGrid();
    if (area.code == 0) actionOk = 1;
}

void EepromPage::Button26Click() { restoreEepromArea(Button26, kRestoreFct.code); }
void EepromPage::Button32Click() { restoreEepromArea(Button32, kRestoreCfg.code); }
void EepromPage::Button33Click() { restoreEepromArea(Button33, kRestoreLob.code); }
void EepromPage::Button35Click() { restoreEepromArea(Button35, kRestoreAll.code); }

void EepromPage::Button34Click() {
    if (!checkConnected()) return;
    Button34.Enabled = false;
    const int ok = qob->restoreOnfArea();
    Button34.Enabled = true;
    if (!ok) {
        showLibraryError();
        return;
    }
    addConsoleLine(">>Device e2p [ONF] area restored");
    actionOk = 1;
}

void EepromPage::Button31Click() {
    if (!checkConnected()) return;
    Button31.Enabled = false;
    const int ok = qob->updateBackup();
    Button31.Enabled = true;
    if (!ok) {
        showLibraryError();
        return;
    }
    addConsoleLine(">>Device backup area updated");
    actionOk = 1;
}

// ---- log header block -------------------------------------------------------

void EepromPage::btnReadE2P_logClick() {
    if (!checkConnected()) return;
    uint8_t params[frame::kParamCount];
    rangeParams(params, kLogHeaderStart, kLogHeaderSize);
    if (!qob->sendCommand(cmd::ReadEeprom, 0, kLogHeaderSize, params, nullptr, panelAnswer)) {
        showLibraryError();
        return;
    }
    addConsoleLine(">>Bytes 1024-1087 read!");
    vleE2P_log.Strings.setText(imageRows(panelAnswer + 1, kLogHeaderStart, kLogHeaderSize));
}

void EepromPage::btnWriteE2P_logClick() {
    if (!checkConnected()) return;
    uint8_t sum = static_cast<uint8_t>(eeprom::kLogHeader.seed);
    std::string error;
    for (int i = 0; i < kLogHeaderSize - 1; ++i) {
        if (!gridByte(vleE2P_log, kLogHeaderStart + i, panelPayload[i], error)) {
            host.messageBox(error, host.applicationTitle, DialogKind::Error, DialogButtons::Ok);
            return;
        }
        sum = static_cast<uint8_t>(sum + panelPayload[i]);
    }
    if (cboChkOnf.Checked) {
        panelPayload[kLogHeaderSize - 1] = sum;
    } else if (!gridByte(vleE2P_log, kLogHeaderStart + kLogHeaderSize - 1, panelPayload[kLogHeaderSize - 1], error)) {
        host.messageBox(error, host.applicationTitle, DialogKind::Error, DialogButtons::Ok);
        return;
    }
    uint8_t params[frame::kParamCount];
    rangeParams(params, kLogHeaderStart, kLogHeaderSize);
    if (qob->sendCommand(cmd::WriteEeprom, kLogHeaderSize, 0, params, panelPayload, panelAnswer))
        addConsoleLine(">>Bytes 1024-1087 written!");
    else
        showLibraryError();
}

void EepromPage::btnClearE2P_logClick() {
    vleE2P_log.Strings.setText(zeroRows(kLogHeaderStart, kLogHeaderSize));
    addConsoleLine(">>Grid values cleared!");
}

// ---- whole-EEPROM dump and test buttons -------------------------------------

void EepromPage::Button39Click() {
    if (!checkConnected()) return;
    addConsoleLine(">>>--EEPROM-------------------");
    int result[1024] = {};
    for (int block = 0; block < 32; ++block) {
        const int params[12] = {2, block};
        if (!qob->extendedCommand(params, nullptr, result)) {
            showLibraryError();
            return;
        }
        std::string entry;
        entry.reserve(1024 * 12);
        for (int i = 0; i < 1024; ++i) {
            if (i) entry += "\r\n";
            entry += std::to_string(1024 * block + i) + "=" + std::to_string(result[i]);
        }
        addConsoleLine(entry);
    }
    addConsoleLine("<<<--EEPROM-------------------");
}

void EepromPage::Button40Click() {
    if (!checkConnected()) return;
    uint8_t params[frame::kParamCount];
    rangeParams(params, 1023, 1);
    if (!qob->sendCommand(cmd::ReadEeprom, 0, 1, params, nullptr, panelAnswer)) {
        showLibraryError();
        return;
    }
    panelPayload[0] = static_cast<uint8_t>(panelAnswer[1] + 1);
    if (qob->sendCommand(cmd::WriteEeprom, 1, 0, params, panelPayload, panelAnswer))
        addConsoleLine(">>Bytes 1023 written!");
    else
        showLibraryError();
}

void EepromPage::Button42Click() {
    if (!checkConnected()) return;
    // The payload byte is whatever an earlier request left; the device
    // takes the value from p5.
    uint8_t params[frame::kParamCount];
    rangeParams(params, 3, 1);
    params[4] = 255;
    if (qob->sendCommand(cmd::WriteEepromByte, 1, 0, params, panelPayload, panelAnswer))
        addConsoleLine(">>Bytes 3 written!");
    else
        showLibraryError();
}

void EepromPage::Button45Click() {
    if (!checkConnected()) return;
    clearConsole();
    int result[1024] = {};
    const int readParams[12] = {6, 244, 1};
    if (!qob->extendedCommand(readParams, nullptr, result)) {
        showLibraryError();
        return;
    }
    const int value = (result[0] + 1) % 256;
    const int writeParams[12] = {5, 244, 1, value};
    if (!qob->extendedCommand(writeParams, nullptr, result)) {
        showLibraryError();
        return;
    }
    host.showMessage("Done!");
}

// ---- cell drawing -------------------------------------------------------------

EepromPage::E2PCell EepromPage::vleE2PDrawCell(int col, int row) const {
    E2PCell cell;
    const int line = row - 1;
    const std::string key = row > 0 ? vleE2P.Keys(line) : std::string();
    const bool highlighted = row > 0 && isChecksumKey(key);
    const bool fixed = row == 0 || col == 0;
    if (fixed) {
        cell.style.background = 0xF0F0F0;  // button face
        cell.style.text = highlighted ? 0x0000FF : 0x000000;
    } else {
        cell.style.background = highlighted ? 0xFFFF00 : 0xFFFFFF;
        cell.style.text = 0x000000;
    }
    if (vleE2P.Tag == 1) return cell;
    if (row == 0)
        cell.text = col == 0 ? padRight("Description", 50) + "|#Byte" : "DEC|HEX|BIN 76543210";
    else if (col == 0)
        cell.text = padRight(key, 3) + "|" + vleE2Pdesc.Values(key);
    else
        cell.text = valueCellText(vleE2P.ValueAt(line));
    return cell;
}

// Layout and wiring of the page (constructor).
void EepromPage::wireEepromPage() {
    prepareEepromGrids = [this] { fillEepromGrids(); };
    lblE2P.setBounds(8, 4, 0, 0);
    vleE2P.setBounds(8, 20, 584, 340);
    vleE2P.TitleKey = "#Byte";
    vleE2P.TitleValue = "Value";
    vleE2P.ColWidth0 = 394;
    vleE2P.ColWidth1 = 185;
    vleE2P.OnDrawCell = [this](int col, int row) { return vleE2PDrawCell(col, row).style; };
    vleE2P.OnCellText = [this](int col, int row) { return vleE2PDrawCell(col, row).text; };
    vleE2P.FontName = "Courier";
    vleE2P_log.FontName = "Courier";
    vleE2Pdesc.Visible = false;
    vleE2P_log.TitleKey = "#Byte";
    vleE2P_log.TitleValue = "Value";
    vleE2P_log.ColWidth0 = 54;
    vleE2P_log.ColWidth1 = 77;
    lblE2P_log.setBounds(870, 4, 0, 0);
    vleE2P_log.setBounds(870, 20, 140, 210);
    {
        // Two columns of buttons between the grids, 27 pixels apart; the
        // restore captions are the longer ones.
        // clang-format off
        TButton* const columns[2][10] = {
            {&btnrseep, &Button28, &Button156, &Button157, &Button158, &Button25, &Button3, &btnExportE2P,
             &btnImportE2P, &btnRefreshE2P},
            {&Button26, &Button32, &Button33, &Button35, &Button31, &Button34, &Button39, &Button40, &Button42,
             &Button45}};
        // clang-format on
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 10; ++i) columns[c][i]->setBounds(c ? 726 : 598, 20 + 27 * i, c ? 138 : 124, 25);
    }
    btnReadE2P_log.setBounds(870, 236, 140, 25);
    btnWriteE2P_log.setBounds(870, 263, 140, 25);
    cboChkOnf.setBounds(874, 292, 97, 17);
    btnClearE2P_log.setBounds(870, 313, 140, 25);
    Button156.Tag = 1;
    Button157.Tag = 2;
    Button158.Tag = 3;
    btnrseep.OnClick = [this] { btnrseepClick(); };
    Button28.OnClick = [this] { Button28Click(&Button28); };
    Button156.OnClick = [this] { Button28Click(&Button156); };
    Button157.OnClick = [this] { Button28Click(&Button157); };
    Button158.OnClick = [this] { Button28Click(&Button158); };
    Button25.OnClick = [this] { Button25Click(); };
    Button3.OnClick = [this] { Button3Click(); };
    btnExportE2P.OnClick = [this] { btnExportE2PClick(); };
    btnImportE2P.OnClick = [this] { btnImportE2PClick(); };
    btnRefreshE2P.OnClick = [this] { btnRefreshE2PClick(); };
    Button26.OnClick = [this] { Button26Click(); };
    Button32.OnClick = [this] { Button32Click(); };
    Button33.OnClick = [this] { Button33Click(); };
    Button35.OnClick = [this] { Button35Click(); };
    Button31.OnClick = [this] { Button31Click(); };
    Button34.OnClick = [this] { Button34Click(); };
    btnReadE2P_log.OnClick = [this] { btnReadE2P_logClick(); };
    btnWriteE2P_log.OnClick = [this] { btnWriteE2P_logClick(); };
    btnClearE2P_log.OnClick = [this] { btnClearE2P_logClick(); };
    Button39.OnClick = [this] { Button39Click(); };
    Button40.OnClick = [this] { Button40Click(); };
    Button42.OnClick = [this] { Button42Click(); };
    Button45.OnClick = [this] { Button45Click(); };
}
