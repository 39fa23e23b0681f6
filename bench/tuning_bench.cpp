// The flow log's hot paths: the capture tick's decode and append of one
// answer (10 records per channel) and the evaluation of a 1,000-line log
// as the scan step runs it, console listing included. The logs come from
// the virtual detector's sweep after a reset, so they look like a real
// capture.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "pages/main_window.h"
#include "bench/quiet_host.h"
#include "pages/flow_log.h"
#include "sim/virtual_detector.h"

namespace {

// Answers of request 26 as the tool receives them (acknowledge byte first),
// from a detector that was just reset at pulse setting 30.
std::vector<std::vector<uint8_t>> sweepAnswers(int count) {
    nerax_sim::DetectorModel model;
    model.ram[nerax_sim::kPulseSettingRam1] = 30;
    model.ram[nerax_sim::kPulseSettingRam2] = 30;
    std::vector<uint8_t> data;
    nerax_sim::Request reset;
    reset.code = 34;
    reset.p[1] = 3;
    model.execute(reset, data);
    std::vector<std::vector<uint8_t>> answers;
    nerax_sim::Request flow;
    flow.code = 26;
    flow.p[1] = flow.p[2] = 12;
    for (int k = 0; k < count; ++k) {
        model.execute(flow, data);
        std::vector<uint8_t> answer(1026, 0);
        answer[0] = 1;
        std::memcpy(answer.data() + 1, data.data(), std::min<size_t>(data.size(), 1024));
        answers.push_back(std::move(answer));
    }
    return answers;
}

void CaptureTickDecodeAndAppend(benchmark::State& state) {
    const auto answers = sweepAnswers(100);
    TMemo log1{nullptr, "memFlowLog1"}, log2{nullptr, "memFlowLog2"};
    FlowGraph graph;
    size_t next = 0;
    for (auto _ : state) {
        appendFlowAnswer(answers[next].data(), 0, graph, log1.Lines, log2.Lines);
        next = (next + 1) % answers.size();
        if (log1.Lines.Count() >= 10000) {
            state.PauseTiming();
            log1.Lines.Clear();
            log2.Lines.Clear();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * 20);
}
BENCHMARK(CaptureTickDecodeAndAppend);

void EvaluateChannelOn1000LineLog(benchmark::State& state) {
    QuietHost host;
    TFrmTestQOB window(host);
    window.btnClearFlowLogClick();
    FlowGraph graph;
    for (const auto& answer : sweepAnswers(100))
        appendFlowAnswer(answer.data(), 0, graph, window.memFlowLog1.Lines, window.memFlowLog2.Lines);
    // The scan step puts the header line in front before it evaluates.
    window.memFlowLog1.Lines.Insert(0, flowLogHeaderLine());
    window.memFlowLog2.Lines.Insert(0, flowLogHeaderLine());
    window.memFlowLog1.Lines.Delete(window.memFlowLog1.Lines.Count() - 1);
    window.memFlowLog2.Lines.Delete(window.memFlowLog2.Lines.Count() - 1);
    int q = 0;
    for (auto _ : state) {
        q = window.evaluateChannel(0);
        benchmark::DoNotOptimize(q);
        state.PauseTiming();
        window.memLog.Lines.Clear();
        state.ResumeTiming();
    }
    state.counters["lines"] = window.memFlowLog1.Lines.Count();
    state.counters["Q"] = q;
}
BENCHMARK(EvaluateChannelOn1000LineLog);

}  // namespace
