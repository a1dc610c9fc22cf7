// The logic behind the "Serial Peripheral Interface" window: the outside
// partner of the on-chip SPI unit (SPCR, SPSR, SPDR of the AT89S53 and
// AT89S8252).
//
// With the chip as master (SPCR bit 4, MSTR, set) the window is an external
// slave: "Set" stores the byte it returns at the chip's next transfer, and
// the button stays disabled until the field is edited again. With the chip
// as slave it is an external master: "Send" stores the byte and asks the SPI
// unit to carry out one transfer clocked from outside (it completes in the
// next step while SPE is set). Each transfer puts the external byte into the
// chip's SPDR, hands the chip's byte to the external side, logs both and
// sets SPIF (the SPI unit does that).
//
// Lines and timing are the SPI unit's (core/spi_unit.h); the external side
// has no pins of its own and does not model a bit-level slave.
//
// The window draws everything from `spiWindowView`; it re-reads the captions
// when the program writes SPCR (ChipEvents::spcrWritten) and whenever the
// views are refreshed.
#pragma once

#include "chip/chip_state.h"
#include "common/user_message.h"

#include <string>
#include <string_view>

namespace quorvel {

struct SpiWindowView {
    const char* chipCaption;     // "Master" / "Slave"
    const char* externalCaption; // "Slave - External" / "Master - External"
    const char* buttonText;      // "Set" / "Send"
    std::string chipTransmitList; // "SPDR(Tr):" of the chip, "%02X (%c)" lines
    std::string chipReceiveList;  // "SPDR(Rr):" of the chip
    std::string externalTransmit; // the external byte, "%02X"
    std::string externalReceive;  // the last byte the external side received, "%02X"
};

// User-interface thread, while the simulation is paused.
SpiWindowView spiWindowView(const ChipState& chip);

// Window titles.
extern const char* const kSpiWindowTitle;          // "Serial Peripheral Interface"
extern const char* const kSpiWindowClearViewTitle; // the title painted in Clear View

// "Set"/"Send" with the field's text. Invalid text: "Illegal Data" titled
// "ERROR", nothing changes. Valid: the byte becomes the external byte; with
// the chip as master the window disables its button until the field is edited
// (`disableButton`); with the chip as slave and SPI enabled a transfer is
// requested. User-interface thread, under the pause guard.
struct SpiButtonResult {
    Validation message;
    bool disableButton = false;
};
SpiButtonResult pressSpiWindowButton(ChipState& chip, std::string_view fieldText);

} // namespace quorvel
