// nerax-lt-sim: a virtual NERAX LT detector on a pseudo-terminal, registered
// as COM<n> in the ports folder so that the tool finds it like a real one.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <functional>
#include <signal.h>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/virtual_detector.h"

using namespace nerax_sim;

namespace {

std::atomic<bool> quit{false};
void onSignal(int) { quit = true; }

const char* kHelp =
    "usage: nerax-lt-sim [options]\n"
    "  --com N              register as COM<N> (default: first free number from 200)\n"
    "  --ports DIR          ports folder (default: $NERAX_LT_PORTS, else\n"
    "                       $XDG_CONFIG_HOME/nerax-lt/ports, else ~/.config/nerax-lt/ports)\n"
    "  --name TEXT          friendly name (default \"NERAX LT (virtual)\")\n"
    "  --wire-speed         time every byte as on the real line (38400 8N1)\n"
    "  --baud N             line speed for --wire-speed (default 38400)\n"
    "  --frozen-clock       the clock moves only when set (default: running)\n"
    "image and flags:\n"
    "  --variant N          1 stand alone (default), 2 loop based, 4 vask\n"
    "  --channels N         1 or 2 (default 2)\n"
    "  --sensors N          1 or 2 (default 2)\n"
    "  --fw-major N         firmware major version (default 3)\n"
    "  --mc-version N       mechanical version (default 1)\n"
    "  --energy-byte N      EEPROM byte 411 (default 167 = 0xA7)\n"
    "  --hours N            operating-hours counter in half-hours (default 2469)\n"
    "  --log-records N      records in the event log (default 12, 0 = blank)\n"
    "  --log-wrapped        a full, wrapped event log\n"
    "  --broken-fct | --broken-cfg | --broken-lob | --broken-log-header\n"
    "                       that area's checksum is wrong\n"
    "  --eeprom-unreadable  the device cannot read its EEPROM\n"
    "  --wrong-config       the device reports a wrong configuration\n"
    "  --super-user         the super-user flag is set\n"
    "  --clean-setting N    pulse setting that measures clean in the sweep (default 30)\n"
    "faults (repeatable):\n"
    "  --fault CODE:KIND[:COUNT[:ARG[:DELAYMS]]]\n"
    "                       CODE is a command code or 'any'; COUNT requests (default 1,\n"
    "                       0 = every request); ARG is the byte count for short-answer,\n"
    "                       stray-before/after and pieces; KIND is one of\n"
    "                       no-answer short-answer bad-checksum not-acknowledged\n"
    "                       stray-before stray-after pieces late-answer endless-answer\n"
    "                       unplug wrong-data; not-acknowledged refuses and does nothing\n"
    "                       (a refused write changes no byte), the others carry the\n"
    "                       request out first; for unplug DELAYMS > 0 plugs back in later\n"
    "  --scenario FILE      read options from FILE, one per line ('#' starts a comment)\n"
    "  --help               this text\n"
    "Prints one line \"COM<N> <device>\" when ready; serves until SIGINT or SIGTERM.\n";

struct FaultSpec {
    int code;
    Fault fault;
    int count;
};

bool parseInt(const std::string& text, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (*end != '\0' || v < -1000000000L || v > 1000000000L) return false;
    value = static_cast<int>(v);
    return true;
}

bool parseFault(const std::string& text, FaultSpec& out) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 5) return false;
    if (parts[0] == "any")
        out.code = -1;
    else if (!parseInt(parts[0], out.code) || out.code < 0 || out.code > 255)
        return false;
    if (!faultKindFromName(parts[1], out.fault.kind)) return false;
    out.count = 1;
    if (parts.size() > 2 && (!parseInt(parts[2], out.count) || out.count < 0)) return false;
    if (out.count == 0) out.count = 1 << 30;
    if (parts.size() > 3 && (!parseInt(parts[3], out.fault.bytes) || out.fault.bytes < 0)) return false;
    if (parts.size() > 4 && (!parseInt(parts[4], out.fault.delayMs) || out.fault.delayMs < 0)) return false;
    if (parts.size() <= 4) {
        // Sensible delays: late answers come after the tool has given up
        // (8 read calls of 1 s), pieces and endless bytes a few ms apart.
        if (out.fault.kind == FaultKind::LateAnswer) out.fault.delayMs = 9000;
        if (out.fault.kind == FaultKind::Pieces) out.fault.delayMs = 20;
        if (out.fault.kind == FaultKind::EndlessAnswer) out.fault.delayMs = 10;
    }
    return true;
}

struct Settings {
    int com = 0;
    std::string ports;
    std::string name = "NERAX LT (virtual)";
    DetectorOptions options;
    int cleanSetting = 30;
    std::vector<FaultSpec> faults;
};

bool readScenario(const std::string& path, std::vector<std::string>& args);

// Applies one option; `next` yields its argument. false with a message on error.
bool applyOption(const std::string& option, const std::function<bool(std::string&)>& next, Settings& s,
                 std::string& error) {
    std::string value;
    auto needInt = [&](int& target, int lo, int hi) {
        if (!next(value) || !parseInt(value, target) || target < lo || target > hi) {
            error = option + " needs a number " + std::to_string(lo) + ".." + std::to_string(hi);
            return false;
        }
        return true;
    };
    ImageOptions& im = s.options.image;
    if (option == "--com") return needInt(s.com, 1, 255);
    if (option == "--ports") {
        if (!next(s.ports)) {
            error = "--ports needs a folder";
            return false;
        }
        return true;
    }
    if (option == "--name") {
        if (!next(s.name)) {
            error = "--name needs a text";
            return false;
        }
        return true;
    }
    if (option == "--wire-speed") {
        s.options.wireSpeed = true;
        return true;
    }
    if (option == "--baud") return needInt(s.options.baudRate, 300, 4000000);
    if (option == "--frozen-clock") {
        s.options.runningClock = false;
        return true;
    }
    if (option == "--variant") return needInt(im.variant, 0, 255);
    if (option == "--channels") return needInt(im.channelCount, 1, 2);
    if (option == "--sensors") return needInt(im.sensorCount, 1, 2);
    if (option == "--fw-major") return needInt(im.fwMajor, 0, 255);
    if (option == "--mc-version") return needInt(im.mcVersion, 0, 255);
    if (option == "--energy-byte") return needInt(im.energyByte, 0, 255);
    if (option == "--log-records") return needInt(im.logRecords, 0, kLogRecordCount);
    if (option == "--clean-setting") return needInt(s.cleanSetting, 0, 255);
    if (option == "--hours") {
        int h = 0;
        if (!needInt(h, 0, 1000000000)) return false;
        im.hoursCounter = static_cast<uint32_t>(h);
        return true;
    }
    if (option == "--log-wrapped") {
        im.logWrapped = true;
        return true;
    }
    if (option == "--broken-fct") {
        im.brokenFct = true;
        return true;
    }
    if (option == "--broken-cfg") {
        im.brokenCfg = true;
        return true;
    }
    if (option == "--broken-lob") {
        im.brokenLob = true;
        return true;
    }
    if (option == "--broken-log-header") {
        im.brokenLogHeader = true;
        return true;
    }
    if (option == "--eeprom-unreadable") {
        im.eepromUnreadable = true;
        return true;
    }
    if (option == "--wrong-config") {
        im.wrongConfiguration = true;
        return true;
    }
    if (option == "--super-user") {
        im.superUser = true;
        return true;
    }
    if (option == "--fault") {
        FaultSpec f{};
        if (!next(value) || !parseFault(value, f)) {
            error = "--fault needs CODE:KIND[:COUNT[:ARG[:DELAYMS]]]";
            return false;
        }
        s.faults.push_back(f);
        return true;
    }
    if (option == "--scenario") {
        std::vector<std::string> lines;
        if (!next(value) || !readScenario(value, lines)) {
            error = "cannot read scenario " + value;
            return false;
        }
        size_t i = 0;
        auto fromFile = [&](std::string& v) {
            if (i >= lines.size()) return false;
            v = lines[i++];
            return true;
        };
        while (i < lines.size()) {
            const std::string o = lines[i++];
            if (o == "--scenario") {
                error = "scenarios do not nest";
                return false;
            }
            if (!applyOption(o, fromFile, s, error)) return false;
        }
        return true;
    }
    error = "unknown option " + option + " (see --help)";
    return false;
}

// A scenario line is an option and its argument ("--fault 30:no-answer:2").
bool readScenario(const std::string& path, std::vector<std::string>& args) {
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return false;
    char line[1024];
    while (std::fgets(line, sizeof line, f)) {
        std::string text(line);
        if (const size_t hash = text.find('#'); hash != std::string::npos) text.erase(hash);
        size_t pos = 0;
        while (pos < text.size()) {
            while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
            size_t end = pos;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
            if (end > pos) args.push_back(text.substr(pos, end - pos));
            pos = end;
        }
    }
    std::fclose(f);
    return true;
}

bool entryTaken(const std::string& folder, int n) {
    struct stat st {};
    const std::string link = folder + "/COM" + std::to_string(n);
    return lstat(link.c_str(), &st) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    s.options.runningClock = true;
    int i = 1;
    auto next = [&](std::string& v) {
        if (i >= argc) return false;
        v = argv[i++];
        return true;
    };
    while (i < argc) {
        const std::string option = argv[i++];
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        std::string error;
        if (!applyOption(option, next, s, error)) {
            std::fprintf(stderr, "nerax-lt-sim: %s\n", error.c_str());
            return 2;
        }
    }
    if (s.ports.empty()) s.ports = defaultPortsFolder();

    VirtualDetector detector(s.options);
    detector.withModel([&](DetectorModel& m) { m.sweepCleanSetting = s.cleanSetting; });
    for (const FaultSpec& f : s.faults) detector.injectFault(f.code, f.fault, f.count);

    // Block the stop signals before the serving thread exists, so that only
    // sigsuspend below takes them.
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals, previous;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);

    if (!detector.start()) {
        std::fprintf(stderr, "nerax-lt-sim: %s\n", detector.lastError().c_str());
        return 1;
    }
    bool registered = false;
    if (s.com != 0) {
        registered = detector.registerPort(s.com, s.ports, s.name);
    } else {
        // The first free number from 200; an entry left behind (even one
        // pointing nowhere) counts as taken.
        for (int n = 200; n <= 255 && !registered; ++n) {
            if (entryTaken(s.ports, n)) continue;
            registered = detector.registerPort(n, s.ports, s.name, false);
            if (registered) s.com = n;
        }
        if (!registered && s.com == 0)
            std::fprintf(stderr, "nerax-lt-sim: no free COM number in 200..255 in %s\n", s.ports.c_str());
    }
    if (!registered) {
        if (s.com != 0) std::fprintf(stderr, "nerax-lt-sim: %s\n", detector.lastError().c_str());
        detector.stop();
        return 1;
    }
    std::printf("COM%d %s\n", s.com, detector.devicePath().c_str());
    std::fflush(stdout);

    while (!quit) sigsuspend(&previous);
    detector.stop();
    return 0;
}
