// Execution-time measurement: runs the code from a start address until the
// program counter reaches an end address, on the simulation thread, and
// reports the machine cycles and the time at the selected clock. The machine
// is put back afterwards: internal RAM, the SFRs with their side state and the
// cycle counter return to what they were when the measurement was opened.
//
// Threads: user-interface thread. The dialog calls `tick` every 50 ms.
#pragma once

#include "debug/run_controller.h"

#include <array>
#include <string>
#include <string_view>

namespace quorvel {

class ExecutionTimeMeasurement {
public:
    enum class State { Ready, Running, Succeeded, Failed, Cancelled };

    struct Tick {
        std::string progress;               // the cycling bar of '>'
        bool finished = false;              // close the dialog
        std::optional<UserMessage> message; // result or error to show
    };

    // Opening the dialog: saves the state to restore and clears the counter.
    explicit ExecutionTimeMeasurement(RunController& controller);
    // Restores the saved state if the measurement was left without finishing.
    ~ExecutionTimeMeasurement();

    // "&Calculate": validates the two fields and starts the run.
    Validation calculate(std::string_view startText, std::string_view endText);
    Tick tick();
    void cancel();

    State state() const { return state_; }
    uint16_t startAddress() const { return controller_.measureStart; }
    uint16_t endAddress() const { return controller_.measureEnd; }
    static constexpr const char* kCalculating = "Calculating PleaseWait...";

private:
    void restore();
    std::string progressText() const;

    RunController& controller_;
    State state_ = State::Ready;
    int progress_ = 1; // 1 to 35
    bool restored_ = false;
    uint16_t savedStart_, savedEnd_;
    uint64_t savedCycles_;
    std::array<uint8_t, 256> savedIram_;
    std::array<uint8_t, 128> savedSfrs_;
    SfrSideState savedSide_;
};

// "Number of Machine Cycles : %u\nExecution Time                   : %3.2f uSec"
std::string executionTimeText(uint32_t cycles, float cycleTimeUs);

} // namespace quorvel
