// The live flow graph's buffers: the five plotted curves of the selected
// channel and the sample position.
#pragma once

#include "device/flow_record.h"

// The capture fills positions 1..749; the 750th sample shifts everything
// left by 100 so the newest sits at 650.
struct FlowGraph {
    static constexpr int kSize = 1000;
    static constexpr int kWrap = 750;
    static constexpr int kShift = 100;
    enum Curve : int { A = 0, R, DA, DR, Pulse, CurveCount };
    int values[CurveCount][kSize] = {};
    int position = 0;

    void clear();
    // Moves to the next position (shifting at the wrap) and stores the
    // record's plotted fields there.
    void add(const int fields[kFlowFieldCount]);
};

// Vertical pixel of a value between lo (bottom) and hi (top) in a box of
// `height` pixels; hi must exceed lo + 1.
int flowGraphY(int value, int lo, int hi, int height);
