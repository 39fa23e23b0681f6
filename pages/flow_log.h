// Flow log records and the live flow graph (Admin #3 and Flow graph pages):
// the record decoding and its text line, the graph buffers and the
// graph's vertical scale. The handlers are in pages/flow_log.cpp.
#pragma once

#include <cstdint>
#include <string>

class Host;
class TEdit;
class TStrings;

constexpr int kFlowFieldCount = 18;
constexpr int kFlowRecordBytes = 36;           // 18 fields, high byte first
constexpr int kFlowSlotsPerChannel = 10;
// Answer data of request 26: a[1], a[2] valid counts, then the slots of
// channel 1 from a[3], of channel 2 from a[363].
constexpr int kFlowAnswerDataBytes = 1024;
constexpr int kFlowFirstSlot = 3;
constexpr int kFlowChannelBytes = kFlowSlotsPerChannel * kFlowRecordBytes;

// Column captions, in field order ("index", "A", "R", ...).
extern const char* const kFlowFieldCaptions[kFlowFieldCount];
// Field numbers the evaluation and the graph use.
enum FlowField : int { FieldIndex = 0, FieldA = 1, FieldR = 2, FieldFA = 3, FieldDA = 5, FieldDR = 6,
                       FieldPulse = 11, FieldTotal = 12 };

// Each caption right-aligned in five characters and followed by "|".
std::string flowLogHeaderLine();
// The same layout for one record's values.
std::string flowRecordLine(const int fields[kFlowFieldCount]);
void decodeFlowRecord(const uint8_t* slot, int fields[kFlowFieldCount]);

// The five plotted curves of the selected channel and the sample position.
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

// Walks one answer of request 26 (`answer` = acknowledge byte, then the
// data): decodes every slot, plots the selected channel's live slots
// (first byte non-zero) and appends the valid records' lines to the logs.
void appendFlowAnswer(const uint8_t* answer, int plottedChannel, FlowGraph& graph, TStrings& log1,
                      TStrings& log2);

// Vertical pixel of a value between lo (bottom) and hi (top) in a box of
// `height` pixels; hi must exceed lo + 1.
int flowGraphY(int value, int lo, int hi, int height);

// Integer of an edit as the toolkit converts it; otherwise shows the
// toolkit's conversion error ("'x' is not a valid integer value") and
// returns false.
bool editInteger(Host& host, const TEdit& edit, int& value);
