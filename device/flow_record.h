// Flow log records (command 26): the answer's layout, the decoding of its
// records and their text line, which the flow log pages write and the
// tuning reads back.
#pragma once

#include <cstdint>
#include <string>

constexpr int kFlowFieldCount = 18;
constexpr int kFlowRecordBytes = 36;  // 18 fields, high byte first
constexpr int kFlowSlotsPerChannel = 10;
// Answer data of request 26: a[1], a[2] valid counts, then the slots of
// channel 1 from a[3], of channel 2 from a[363].
constexpr int kFlowAnswerDataBytes = 1024;
constexpr int kFlowFirstSlot = 3;
constexpr int kFlowChannelBytes = kFlowSlotsPerChannel * kFlowRecordBytes;

// Column captions, in field order ("index", "A", "R", ...).
extern const char* const kFlowFieldCaptions[kFlowFieldCount];
// Field numbers the evaluation and the graph use.
enum FlowField : int {
    FieldIndex = 0,
    FieldA = 1,
    FieldR = 2,
    FieldFA = 3,
    FieldDA = 5,
    FieldDR = 6,
    FieldPulse = 11,
    FieldTotal = 12
};

// Each caption right-aligned in five characters and followed by "|".
std::string flowLogHeaderLine();
// The same layout for one record's values.
std::string flowRecordLine(const int fields[kFlowFieldCount]);
void decodeFlowRecord(const uint8_t* slot, int fields[kFlowFieldCount]);

// One answer of request 26 decoded: per channel the count of valid records
// and every slot; a slot is live when its first byte is not zero.
struct FlowAnswer {
    int validRecords[2] = {};
    int fields[2][kFlowSlotsPerChannel][kFlowFieldCount] = {};
    bool live[2][kFlowSlotsPerChannel] = {};
};
// `answer` is the acknowledge byte, then the data.
void decodeFlowAnswer(const uint8_t* answer, FlowAnswer& decoded);
