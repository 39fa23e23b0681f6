#pragma once

#include <functional>
#include <string>

#include "app/window_shell.h"

// The EEPROM page: byte grids, image files, checksums, area restores.
class EepromPage : public virtual WindowShell {
public:
    // The editor's own copy of bytes 0..511 (rows "byte=value", looked up
    // by key), the hidden byte descriptions and bytes 1024..1087.
    TValueListEditor vleE2P{this, "vleE2P", &TabSheet2};
    TValueListEditor vleE2Pdesc{this, "vleE2Pdesc", &TabSheet2};
    TValueListEditor vleE2P_log{this, "vleE2P_log", &TabSheet2};
    TLabel lblE2P{this, "lblE2P", "0 - 512", &TabSheet2};
    TLabel lblE2P_log{this, "lblE2P_log", "1024 - 1087", &TabSheet2};
    TButton btnrseep{this, "btnrseep", "read", &TabSheet2};
    TButton Button28{this, "Button28", "write", &TabSheet2};
    TButton Button156{this, "Button156", "write LOB area only", &TabSheet2};
    TButton Button157{this, "Button157", "write FCT area only", &TabSheet2};
    TButton Button158{this, "Button158", "write CFG area only", &TabSheet2};
    TButton Button25{this, "Button25", "clear grid", &TabSheet2};
    TButton Button3{this, "Button3", "upd chk", &TabSheet2};
    TButton btnExportE2P{this, "btnExportE2P", "Export", &TabSheet2};
    TButton btnImportE2P{this, "btnImportE2P", "Import", &TabSheet2};
    TButton btnRefreshE2P{this, "btnRefreshE2P", "refresh fw RAM", &TabSheet2};
    TButton Button26{this, "Button26", "restore e2p [FCT] area", &TabSheet2};
    TButton Button32{this, "Button32", "restore e2p [CFG] area", &TabSheet2};
    TButton Button33{this, "Button33", "restore e2p [LOB] area", &TabSheet2};
    TButton Button35{this, "Button35", "restore ALL e2p ", &TabSheet2};
    TButton Button31{this, "Button31", "update e2p backup", &TabSheet2};
    TButton Button34{this, "Button34", "restore e2p [ONF] area", &TabSheet2};
    TButton btnReadE2P_log{this, "btnReadE2P_log", "read", &TabSheet2};
    TButton btnWriteE2P_log{this, "btnWriteE2P_log", "write", &TabSheet2};
    TCheckBox cboChkOnf{this, "cboChkOnf", "update chk", &TabSheet2};
    TButton btnClearE2P_log{this, "btnClearE2P_log", "clear grid values", &TabSheet2};
    TButton Button39{this, "Button39", "export all E2P", &TabSheet2};
    TButton Button40{this, "Button40", "inc byte 1023", &TabSheet2};
    TButton Button42{this, "Button42", "write byte 3 = 255", &TabSheet2};
    TButton Button45{this, "Button45", "byte 500 ++", &TabSheet2};
    void btnrseepClick();  // read bytes 0-511
    // "write" and the three area writes; the sender's Tag picks the
    // ranges (no sender: "write", all three). Like the import, true when
    // done, and actionOk set.
    bool Button28Click(Control* sender = nullptr);
    void Button25Click();  // clear grid
    void Button3Click();   // upd chk
    void btnExportE2PClick();
    bool btnImportE2PClick();
    void btnRefreshE2PClick();
    void Button26Click();  // restore FCT area
    void Button32Click();  // restore CFG area
    void Button33Click();  // restore LOB area
    void Button35Click();  // restore ALL
    void Button31Click();  // update e2p backup
    void Button34Click();  // restore ONF area
    void btnReadE2P_logClick();
    void btnWriteE2P_logClick();
    void btnClearE2P_logClick();
    void Button39Click();  // whole-EEPROM dump
    void Button40Click();  // inc byte 1023
    void Button42Click();  // write byte 3 = 255
    void Button45Click();  // byte 500 ++
    // What the main grid shows in a cell (row 0 is the title row) and how
    // it is coloured.
    struct E2PCell {
        std::string text;
        TValueListEditor::CellStyle style;
    };
    E2PCell vleE2PDrawCell(int col, int row) const;
    // Start-up contents: bytes 0..511 and 1024..1087 all "0", no descriptions.
    void fillEepromGrids();

protected:
    explicit EepromPage(Host& host) : WindowShell(host) {}
    void wireEepromPage();

private:
    // Re-reads bytes 0..511 into the grid (the restores run it): false
    // after the guard or an error line.
    bool readEepromGrid();
    // One area restore (0 all, 1 LOB, 2 FCT, 3 CFG) from its button.
    void restoreEepromArea(TButton& button, int code);
};
