// The flow log pages (Admin #3 and Flow graph): the capture's answer into
// the graph and the logs. The handlers are in pages/flow_log.cpp.
#pragma once

#include <cstdint>

#include "app/flow_graph.h"
#include "device/flow_record.h"

class TStrings;

// Walks one answer of request 26 (`answer` = acknowledge byte, then the
// data): plots the selected channel's live slots (first byte non-zero) and
// appends the valid records' lines to the logs.
void appendFlowAnswer(const uint8_t* answer, int plottedChannel, FlowGraph& graph, TStrings& log1,
                      TStrings& log2);
