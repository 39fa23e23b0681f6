// Flow log records of command 26 and their text line.
#include "device/flow_record.h"

#include <cstdio>

// clang-format off
const char* const kFlowFieldCaptions[kFlowFieldCount] = {
    "index", "A",   "R",     "fA",   "fR",   "dA",  "dR",   "dR-A",  "fan",
    "#stb",  "#unst", "pulse", "#tot", "#dis", "ok?", "dfRA", "fdfRA", "meas",
};
// clang-format on

namespace {

void appendColumn(std::string& line, const char* text) {
    char cell[16];
    std::snprintf(cell, sizeof cell, "%5s|", text);
    line += cell;
}

}  // namespace

std::string flowLogHeaderLine() {
    std::string line;
    line.reserve(kFlowFieldCount * 6);
    for (const char* caption : kFlowFieldCaptions) appendColumn(line, caption);
    return line;
}

std::string flowRecordLine(const int fields[kFlowFieldCount]) {
    // Twenty of these per capture tick: digits by hand, not printf.
    for (int f = 0; f < kFlowFieldCount; ++f)
        if (fields[f] < 0 || fields[f] > 99999) {
            std::string wide;
            for (int g = 0; g < kFlowFieldCount; ++g) {
                char cell[16];
                std::snprintf(cell, sizeof cell, "%5d|", fields[g]);
                wide += cell;
            }
            return wide;
        }
    std::string line(kFlowFieldCount * 6, ' ');
    for (int f = 0; f < kFlowFieldCount; ++f) {
        char* cell = &line[static_cast<size_t>(6 * f)];
        cell[5] = '|';
        unsigned u = static_cast<unsigned>(fields[f]);
        int at = 4;
        do {
            cell[at--] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u != 0);
    }
    return line;
}

void decodeFlowRecord(const uint8_t* slot, int fields[kFlowFieldCount]) {
    for (int f = 0; f < kFlowFieldCount; ++f) fields[f] = slot[2 * f] << 8 | slot[2 * f + 1];
}

void decodeFlowAnswer(const uint8_t* answer, FlowAnswer& decoded) {
    for (int c = 0; c < 2; ++c) {
        decoded.validRecords[c] = answer[1 + c];
        for (int k = 0; k < kFlowSlotsPerChannel; ++k) {
            const uint8_t* slot = answer + kFlowFirstSlot + c * kFlowChannelBytes + k * kFlowRecordBytes;
            decodeFlowRecord(slot, decoded.fields[c][k]);
            decoded.live[c][k] = slot[0] != 0;
        }
    }
}
