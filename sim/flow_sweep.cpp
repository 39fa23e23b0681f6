// Flow log (command 26).
#include "sim/virtual_detector.h"

namespace nerax_sim {

void DetectorModel::restartSweep() {
    sweepRunning = true;
    for (auto& s : sweep) s = SweepChannel{};
}

int flowLogAnswer(DetectorModel& m, int fan1, int fan2, std::vector<uint8_t>& data) {
    (void)m; (void)fan1; (void)fan2;
    data.assign(1024, 0);
    return 1;
}

}  // namespace nerax_sim
