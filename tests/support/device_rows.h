// Table rows for the device operations' preconditions and failures: each row
// sets up a virtual detector (and maybe a refused command), runs one call on
// a fresh object and checks its result and status. A row that expects no
// transaction also checks that nothing went out on the line.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/qob.h"
#include "support/sim_fixture.h"

namespace device_rows {

using Options = std::function<void(nerax_sim::DetectorOptions&)>;
using Model = std::function<void(nerax_sim::DetectorModel&)>;
using Call = std::function<int(QOB&)>;

constexpr int kNoFault = -1;
// What the status reads after a call that does not set it (set before each call).
constexpr int kUntouched = -5;

struct Row {
    const char* what;
    Call call;
    int result;
    int status;
    // Setup; the defaults are a healthy detector and a connected object.
    int refusedCode = kNoFault;  // this command is answered badly, by default not acknowledged
    nerax_sim::FaultKind fault = nerax_sim::FaultKind::NotAcknowledged;
    int skip = 0;  // requests of that command answered well before the bad one
    bool connect = true;
    Options options = nullptr;
    Model model = nullptr;  // changes to the detector after connect
    Call before = nullptr;  // calls on the object before the one tested (must succeed)
    bool sends = false;     // the call goes on the line although no command is refused
};

inline Options unreadableEeprom() {
    return [](nerax_sim::DetectorOptions& o) { o.image.eepromUnreadable = true; };
}
inline Options wrongConfiguration() {
    return [](nerax_sim::DetectorOptions& o) { o.image.wrongConfiguration = true; };
}
inline Options brokenFct() {
    return [](nerax_sim::DetectorOptions& o) { o.image.brokenFct = true; };
}
inline Options brokenCfg() {
    return [](nerax_sim::DetectorOptions& o) { o.image.brokenCfg = true; };
}
inline Options brokenLob() {
    return [](nerax_sim::DetectorOptions& o) { o.image.brokenLob = true; };
}

inline int requestsSeen(nerax_sim::VirtualDetector& d) {
    return d.withModel([](nerax_sim::DetectorModel& m) {
        int n = 0;
        for (int c : m.requestCount) n += c;
        return n;
    });
}

inline void runRow(const Row& row) {
    SCOPED_TRACE(row.what);
    nerax_sim::DetectorOptions options;
    if (row.options) row.options(options);
    SimulatedDetector sim(options);
    ASSERT_TRUE(sim.ok()) << sim.error();
    QOB q;
    if (row.connect) { ASSERT_EQ(q.connect(sim.comNumber(), 0, 0, 0), 1) << q.lastStatus(); }
    if (row.model) sim.detector().withModel(row.model);
    if (row.before) { ASSERT_EQ(row.before(q), 1) << "status " << q.lastStatus(); }
    if (row.refusedCode != kNoFault) {
        nerax_sim::Fault fault;
        fault.kind = row.fault;
        fault.skip = row.skip;
        sim.detector().injectFault(row.refusedCode, fault, 1);
    }
    const int sentBefore = requestsSeen(sim.detector());
    q.status = kUntouched;
    EXPECT_EQ(row.call(q), row.result);
    EXPECT_EQ(q.lastStatus(), row.status);
    if (row.refusedCode == kNoFault && !row.sends) {
        EXPECT_EQ(requestsSeen(sim.detector()), sentBefore) << "a refused call sends nothing";
    }
}

inline void runRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) runRow(row);
}

}  // namespace device_rows
