// Fuzz targets: each takes arbitrary bytes and runs one input surface of
// the tool on them. The libFuzzer programs (fuzz/fuzz_entry.cpp) call one
// each; tests/test_fuzz_regressions.cpp replays the saved inputs of
// fuzz/regressions/<target>/ through the same functions.
//
// A target returns 0. Anything wrong shows as a crash or a sanitizer
// report, or as a broken invariant, which aborts with a message.
#pragma once

#include <cstddef>
#include <cstdint>

// Device answers through QOB: the bytes are both the sequence of library
// operations and, interleaved, what the in-memory port delivers to each
// read call (whole valid answers, raw pieces, time-outs, hang-ups).
int fuzzDeviceAnswers(const uint8_t* data, size_t size);
// The same device behind the window: readouts, clock, event log viewer,
// flow log ticks, reset, set RAM, connect and disconnect.
int fuzzWindowAnswers(const uint8_t* data, size_t size);
// Memo text through parseFlowLog and the evaluation of the pulse groups;
// the first bytes are the tuning settings LIB, DIB, DTI, LCI.
int fuzzFlowLog(const uint8_t* data, size_t size);
// A log header and image through logRecord and the log table rows.
int fuzzLogRecords(const uint8_t* data, size_t size);
// INI text through parseIni and readTuningSettingsFile.
int fuzzIniReader(const uint8_t* data, size_t size);
// An ".e2p" image file through the EEPROM page's import, the grid's cells
// and the checksum update.
int fuzzE2pReader(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name;  // folder name under fuzz/regressions and fuzz/corpus
    int (*run)(const uint8_t*, size_t);
};
extern const FuzzTarget kFuzzTargets[];
extern const size_t kFuzzTargetCount;
