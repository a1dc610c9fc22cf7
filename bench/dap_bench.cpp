// The debug adapter's answers, measured in the process (no pipes):
//   DapStepLine - 200 C line steps ("next") through the CRC and sort
//       firmware: median and 95th percentile in milliseconds from the
//       request to its stopped event (p50_ms, p95_ms);
//   DapVariables200 - a variables request of the Globals scope listing 200
//       C variables: median and 95th percentile in milliseconds;
//   DapContinueWithBreakpoints - a continue of 2^22 instructions of the
//       firmware, free and with 64 instruction breakpoints and 8 data
//       breakpoints the program never reaches, the fastest of 20 runs of
//       each (free_mips, breaks_mips), and what the breakpoints keep of the
//       free speed (kept_percent).
#include "dap/dap_server.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

using namespace quorvel;
using dap::Json;

namespace {

using Clock = std::chrono::steady_clock;

// A client in the same process: requests go straight to the server, and its
// messages are read back as they are written.
class Client {
public:
    // After `pauseAfterPolls` looks at the input during a run, a pause
    // comes (0: never).
    explicit Client(int pauseAfterPolls = 0)
        : server_([this](std::string_view framed) { reader_.feed(framed); return true; },
                  [this, pauseAfterPolls]() -> std::optional<std::string> {
                      if (pauseAfterPolls && ++polls_ == pauseAfterPolls)
                          return dap::frameMessage(Json{{"seq", 0}, {"type", "request"}, {"command", "pause"}}.dump());
                      return std::string();
                  }) {}
    // Sends a request; the messages it led to.
    std::vector<Json> call(const std::string& command, Json arguments = Json::object()) {
        polls_ = 0;
        server_.receive(dap::frameMessage(
            Json{{"seq", seq_++}, {"type", "request"}, {"command", command}, {"arguments", std::move(arguments)}}.dump()));
        std::vector<Json> messages;
        while (const std::optional<dap::Frame> frame = reader_.next()) messages.push_back(Json::parse(frame->body));
        return messages;
    }
    Json body(const std::string& command, Json arguments = Json::object()) {
        for (const Json& m : call(command, std::move(arguments)))
            if (m["type"] == "response") return m.value("body", Json::object());
        return Json::object();
    }
    void launch(const std::string& program, Json more = Json::object()) {
        call("initialize", {{"adapterID", "bench"}});
        more["program"] = program;
        call("launch", more);
    }

private:
    dap::FrameReader reader_;
    dap::DapServer server_;
    int seq_ = 1;
    int polls_ = 0;
};

const std::string kFirmware = std::string(QUORVEL_BENCH_FIRMWARE_DIR) + "/debug/crc_sort.ihx";
const std::string kGlobals = std::string(QUORVEL_BENCH_FIRMWARE_DIR) + "/globals/many_globals.ihx";

void percentiles(benchmark::State& state, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    state.counters["p50_ms"] = ms[ms.size() / 2];
    state.counters["p95_ms"] = ms[ms.size() * 95 / 100];
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void DapStepLine(benchmark::State& state) {
    std::vector<double> ms;
    for (auto _ : state) {
        Client c;
        c.launch(kFirmware, {{"stopOnEntry", true}});
        c.call("configurationDone");
        for (int i = 0; i < 200; ++i) {
            const Clock::time_point start = Clock::now();
            const std::vector<Json> answer = c.call("next", {{"threadId", 1}});
            ms.push_back(msSince(start));
            if (answer.size() < 2 || answer.back().value("event", "") != "stopped") {
                state.SkipWithError(("the step was not taken: " + Json(answer).dump()).c_str());
                return;
            }
        }
    }
    percentiles(state, ms);
}
BENCHMARK(DapStepLine)->Unit(benchmark::kMillisecond)->Iterations(1);

void DapVariables200(benchmark::State& state) {
    Client c;
    c.launch(kGlobals, {{"stopOnEntry", true}, {"xdataKb", 64}});
    c.call("configurationDone");
    std::vector<double> ms;
    size_t listed = 0;
    for (auto _ : state) {
        const Json scopes = c.body("scopes", {{"frameId", 0}})["scopes"];
        const Clock::time_point start = Clock::now();
        listed = c.body("variables", {{"variablesReference", scopes[1]["variablesReference"]}})["variables"].size();
        ms.push_back(msSince(start));
    }
    state.counters["variables"] = double(listed);
    percentiles(state, ms);
}
BENCHMARK(DapVariables200)->Unit(benchmark::kMillisecond)->Iterations(200);

// Seconds for a continue of 2^22 instructions (128 slices, then a pause).
double continueSeconds(bool breakpoints) {
    Client c(int((uint64_t(1) << 22) / dap::kRunSliceSteps));
    c.launch(kFirmware, {{"stopOnEntry", true}, {"xdataKb", 64}});
    if (breakpoints) {
        Json code = Json::array(), data = Json::array();
        for (int i = 0; i < 64; ++i) code.push_back(Json{{"instructionReference", "code:" + std::to_string(4000 + i)}});
        for (int i = 0; i < 8; ++i) data.push_back(Json{{"dataId", "xdata:010" + std::to_string(i)}});
        c.call("setInstructionBreakpoints", {{"breakpoints", code}});
        c.call("setDataBreakpoints", {{"breakpoints", data}});
    }
    c.call("configurationDone");
    const Clock::time_point start = Clock::now();
    c.call("continue", {{"threadId", 1}});
    return msSince(start) / 1000;
}

void DapContinueWithBreakpoints(benchmark::State& state) {
    // The fastest of the runs of each kind: on a shared machine the others
    // measure the load more than the adapter.
    double free = 1e9, breaks = 1e9;
    for (auto _ : state) {
        free = std::min(free, continueSeconds(false));
        breaks = std::min(breaks, continueSeconds(true));
    }
    const double instructions = double(uint64_t(1) << 22);
    state.counters["free_mips"] = instructions / free / 1e6;
    state.counters["breaks_mips"] = instructions / breaks / 1e6;
    state.counters["kept_percent"] = 100 * free / breaks;
}
BENCHMARK(DapContinueWithBreakpoints)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
