// The IIC serial EEPROM window (MdiI2CEEPROMChild, "2 Wire Serial EEPROM -
// AT24C01" ... by type): the device dump of `EepromMemory`, its edits obeying
// "Write Protection" like a bus write, without starting a write cycle.
#include "modules/iic_bus.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/modules/device_dump_view.h"
#include "shell/views/view_table.h"

namespace quorvel::shell {

namespace {

class IicEepromWindow : public DeviceDumpView {
public:
    explicit IicEepromWindow(ViewContext& context)
        : DeviceDumpView(context, "MdiI2CEEPROMChild", id::IicEepromWindow) {}

protected:
    IicSettings& settings() const { return context().machine().modules.settings.iic; }
    std::span<uint8_t> deviceMemory() override {
        return context().machine().modules.iic.eeprom.EepromMemory;
    }
    int deviceSize() const override { return iicEepromTypeInfo(iicEepromType(settings())).size; }
    std::string deviceTitle() const override { return iicEepromWindowTitle(settings()); }
    bool storeEdit(int address, uint8_t value) override {
        return editIicEeprom(context().machine().modules.iic.eeprom, settings(), address, value);
    }
};

} // namespace

View* createIicEepromWindow(const ViewSources& sources) {
    ViewContext& context = sources.context;
    context.runControl().edit([&] { cleanIicSettings(context.machine().modules.settings.iic); });
    auto* window = new IicEepromWindow(context);
    window->reopenDevice();
    return window;
}

} // namespace quorvel::shell
