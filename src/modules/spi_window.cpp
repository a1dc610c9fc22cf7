#include "modules/spi_window.h"

#include "chip/spi_unit.h"
#include "common/hex_text.h"
#include "modules/transfer_lists.h"


namespace quorvel {

namespace {

bool chipIsMaster(const ChipState& chip) {
    return chip.sfr(sfr::SPCR) & sfr::bits::MSTR;
}

} // namespace

const char* const kSpiWindowTitle = "Serial Peripheral Interface";
const char* const kSpiWindowClearViewTitle = "        Serial Peripheral Interface             ";

SpiWindowView spiWindowView(const ChipState& chip) {
    const bool master = chipIsMaster(chip);
    const SpiState& spi = chip.periph.spi;
    SpiWindowView view{master ? "Master" : "Slave",
                       master ? "Slave - External" : "Master - External",
                       master ? "Set" : "Send",
                       spiListText(spi.txLog),
                       spiListText(spi.rxLog),
                       hexText(spi.slaveByte, 2),
                       hexText(spi.txLog.size() ? spi.txLog.at(spi.txLog.size() - 1) : 0, 2)};
    return view;
}

SpiButtonResult pressSpiWindowButton(ChipState& chip, std::string_view fieldText) {
    const std::optional<uint8_t> value = parseByteField(fieldText);
    if (!value) return {illegalDataMessage(), false};
    if (chipIsMaster(chip)) {
        chip.periph.spi.slaveByte = *value;
        return {std::nullopt, true};
    }
    chip.periph.spi.slaveByte = *value;
    if (spiUnitEnabled(chip)) requestSpiSlaveTransfer(chip, *value);
    return {};
}

} // namespace quorvel
