// The analogue channels of the ADS panel on the command line: one
// "NAME=value" line per channel (supplies, thermistors, fan feedback,
// sounder lines), "NAME=ERROR" for a failed read. A production script can
// check a board's readings without the window.
#include <string>

#include "app/formatters.h"
#include "pages/main_window.h"
#include "cli/cli.h"

int analogCommand(const CliArgs& args, std::ostream& out, std::ostream& err) {
    int code = kCliOk;
    std::vector<std::string> names;
    int first = 0, last = 0;
    // --channel is checked against the window's own channel list.
    auto session = connectedSession(args, out, err, code, {}, [&](TFrmTestQOB& w) {
        names = w.rgAD.Items.get();
        last = static_cast<int>(names.size()) - 1;
        if (const std::string* channel = args.value("channel")) {
            int index = -1;
            for (int i = 0; i <= last; ++i)
                if (names[static_cast<size_t>(i)] == *channel) index = i;
            if (index < 0 && (!parseInteger(*channel, index) || index < 0 || index > last)) {
                err << "nerax-lt-cli analog: --channel takes 0.." << last << " or a name (SOUNDER1 .. POWER2)\n";
                return kCliUsage;
            }
            first = last = index;
        }
        return kCliOk;
    });
    if (!session) return code;
    TFrmTestQOB& w = *session->window;
    bool ok = true;
    for (int channel = first; channel <= last; ++channel) {
        int value = 0;
        const bool read = w.readAnalogChannel(channel, value);
        out << names[static_cast<size_t>(channel)] << "=" << (read ? std::to_string(value) : std::string("ERROR"))
            << "\n";
        ok = ok && read;
    }
    out.flush();
    return ok ? kCliOk : kCliFailed;
}
