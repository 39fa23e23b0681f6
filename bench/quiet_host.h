// A host for the benchmarks: never waits, never asks, draws nothing.
#pragma once

#include <cstdint>
#include <string>

#include "app/host.h"

class QuietHost : public Host {
public:
    DialogResult messageBox(const std::string&, const std::string&, DialogKind, DialogButtons) override {
        return DialogResult::Ok;
    }
    bool inputQuery(const std::string&, const std::string&, std::string&) override { return false; }
    bool executeOpenDialog(FileDialog&) override { return false; }
    bool executeSaveDialog(FileDialog&) override { return false; }
    std::string clipboardText() override { return {}; }
    void setClipboardText(const std::string&) override {}
    void registerTimer(TTimer&) override {}
    void unregisterTimer(TTimer&) override {}
    void processMessages() override {}
    void sleep(int) override {}
    LocalDateTime now() override { return {}; }
    uint64_t ticks() override { return 0; }
    void repaint(TPaintBox&) override {}
    void repaintWindow() override {}
    void showPortsDialog() override {}
};
