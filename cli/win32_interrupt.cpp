#include <atomic>
#include <windows.h>

#include "cli/cli.h"

namespace {

std::atomic<bool> interrupted{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // The second Ctrl+C goes on to the default handler, which ends the program.
    return interrupted.exchange(true) ? FALSE : TRUE;
}

}  // namespace

void catchInterrupt() {
    interrupted = false;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool interruptPending() { return interrupted; }

void releaseInterrupt() { SetConsoleCtrlHandler(onConsoleEvent, FALSE); }
