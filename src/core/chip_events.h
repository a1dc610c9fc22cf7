// How the simulated chip tells the outside world about events that a window
// or a host would react to. The core calls these on the thread that executes
// the instruction (usually the simulation thread); an implementation must not
// block on the user-interface thread. The Qt side queues them; tests record
// them.
#pragma once

#include <cstdint>

namespace quorvel {

class ChipEvents {
public:
    virtual ~ChipEvents() = default;
    // A program wrote SCON: the serial-port window re-reads the serial mode.
    virtual void sconWritten() {}
    // A program wrote SPCR: the SPI window re-reads SPCR.
    virtual void spcrWritten() {}
};

} // namespace quorvel
