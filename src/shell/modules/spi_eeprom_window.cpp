// The SPI serial EEPROM window (MdiSPIEEPROMChild, "SPI EEPROM - AT25C010"
// ... by type): the device dump of the EEPROM's memory; edits are refused
// under "Write Protection" and start no write cycle.
#include "modules/spi_eeprom.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/modules/device_dump_view.h"
#include "shell/views/view_table.h"

namespace quorvel::shell {

namespace {

class SpiEepromWindow : public DeviceDumpView {
public:
    explicit SpiEepromWindow(ViewContext& context)
        : DeviceDumpView(context, "MdiSPIEEPROMChild", id::SpiEepromWindow) {}

protected:
    SpiSettings& settings() const { return context().machine().modules.settings.spi; }
    std::span<uint8_t> deviceMemory() override { return context().machine().modules.spiEeprom.memory; }
    int deviceSize() const override { return spiEepromSize(spiEepromType(settings())); }
    std::string deviceTitle() const override { return spiEepromWindowTitle(settings()); }
    bool storeEdit(int address, uint8_t value) override {
        return editSpiEeprom(context().machine().modules.spiEeprom, settings(), address, value);
    }
};

} // namespace

View* createSpiEepromWindow(const ViewSources& sources) {
    ViewContext& context = sources.context;
    context.runControl().edit([&] { cleanSpiSettings(context.machine().modules.settings.spi); });
    auto* window = new SpiEepromWindow(context);
    window->reopenDevice();
    return window;
}

} // namespace quorvel::shell
