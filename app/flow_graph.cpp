// The live flow graph: buffers and vertical scale.
#include "app/flow_graph.h"

#include <cmath>
#include <cstring>

void FlowGraph::clear() {
    std::memset(values, 0, sizeof values);
    position = 0;
}

void FlowGraph::add(const int fields[kFlowFieldCount]) {
    if (++position >= kWrap) {
        position = kWrap - kShift;
        for (auto& curve : values) {
            std::memmove(curve, curve + kShift, sizeof(int) * (kWrap - kShift));
            std::memset(curve + kWrap - kShift, 0, sizeof(int) * kShift);
        }
    }
    static constexpr int kPlotted[CurveCount] = {FieldA, FieldR, FieldDA, FieldDR, FieldPulse};
    for (int c = 0; c < CurveCount; ++c) values[c][position] = fields[kPlotted[c]];
}

int flowGraphY(int value, int lo, int hi, int height) {
    const double range = static_cast<double>(hi) - lo;
    double d = static_cast<double>(value) - lo;
    if (d < 1) d = 1;
    if (d > range - 1) d = range - 1;
    long long y = height - static_cast<long long>(std::trunc(d / range * height));
    if (y > height - 1) y = height - 1;
    if (y < 1) y = 1;
    return static_cast<int>(y);
}
