// The clock window (MdiI2CRTCChild, "2 Wire Serial RTC with 256 Bytes RAM"):
// the device dump of the PCF8583's 256 bytes. Every tick of the frame's
// one-second clock the window takes locations 1 to 6 (hundredths to month)
// into its copy, so the counting time shows in black; other program writes
// stay red.
#include "modules/iic_bus.h"
#include "shell/command_table.h"
#include "shell/modules/chip_notices.h"
#include "shell/view_context.h"
#include "shell/modules/device_dump_view.h"
#include "shell/views/view_table.h"

namespace quorvel::shell {

namespace {

class RtcWindow : public DeviceDumpView {
public:
    RtcWindow(ViewContext& context, ChipNotices& notices)
        : DeviceDumpView(context, "MdiI2CRTCChild", id::RtcWindow) {
        connect(&notices, &ChipNotices::rtcTicked, this,
                [this] { takeFromDevice(rtc::Hundredths, rtc::WeekdayMonth); });
    }

protected:
    std::span<uint8_t> deviceMemory() override { return context().machine().modules.iic.rtc.RtcMemory; }
    int deviceSize() const override { return kRtcMemorySize; }
    std::string deviceTitle() const override { return kRtcWindowTitle; }
    bool storeEdit(int address, uint8_t value) override {
        auto& memory = context().machine().modules.iic.rtc.RtcMemory;
        if (address < 0 || address >= int(memory.size())) return false;
        memory[size_t(address)] = value;
        return true;
    }
};

} // namespace

View* createRtcWindow(const ViewSources& sources) {
    ViewContext& context = sources.context;
    context.runControl().edit([&] { cleanIicSettings(context.machine().modules.settings.iic); });
    auto* window = new RtcWindow(context, sources.chipNotices);
    window->reopenDevice();
    return window;
}

} // namespace quorvel::shell
