// The external data memory window (MdiExternalMemoryChild): external data
// memory as the program's MOVX instructions see it, with the overlap window
// into program memory and, while EEMEN is set, the on-chip EEPROM. It tells
// the run controller which bytes it shows, so that single steps snapshot
// exactly those.
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/views/memory_view.h"
#include "shell/views/view_table.h"

#include <algorithm>

namespace quorvel::shell {

namespace {

// Row layouts: bytes a row, address column, hex column and stride, character
// column (-1: no such area), width.
const MemoryViewKind kExternal{
    .objectName = "MdiExternalMemoryChild",
    .title = "External Data Memory",
    .clearTitle = "                External Data Memory                 ",
    .command = id::ExternalMemoryWindow,
    .addressDigits = 4,
    .live = false,
    .addressDialog = true,
    .clampPreset = true,
    .menuTitle = "Settings",
    .tile = ClearViewTile::BottomRight,
    .normal = {16, 1, 9, 4, 74, 92},
    .clearHex = {16, 0, 5, 3, -1, 53},
    .clearAscii = {32, 1, -1, 0, 9, 41},
};

class ExternalMemoryView : public MemoryView {
public:
    explicit ExternalMemoryView(ViewContext& context) : MemoryView(context, kExternal) {}
    ~ExternalMemoryView() override { context().runControl().setShownExternalRange(0, 0); }

protected:
    uint32_t highestAddress() const override { return context().machine().chip.xdataLimit; }

    uint8_t readByte(uint32_t address) const override {
        return context().machine().chip.readXdata(uint16_t(address));
    }

    bool writeByte(uint32_t address, uint8_t& value) override {
        ChipState& chip = context().machine().chip;
        // Where program memory overlaps it the write reaches both.
        if (chip.overlapEnabled) {
            context().runControl().edit([&] { chip.writeXdata(uint16_t(address), value); });
        } else {
            MachineInput edit;
            edit.place = SpaceAddress{AddressSpace::ExternalData, uint16_t(address)};
            edit.bytes = {value};
            if (context().runControl().input(edit)) return false;
        }
        value = chip.readXdata(uint16_t(address));
        ChangeSnapshot& snapshot = context().runControl().snapshot();
        if (address >= snapshot.xdataStart && address - snapshot.xdataStart < snapshot.xdata.size())
            snapshot.xdata[address - snapshot.xdataStart] = value;
        // The byte may be program memory too.
        if (chip.overlapEnabled)
            context().programCodeChanged();
        return true;
    }

    void shownRangeChanged() override {
        const uint32_t count = std::min<uint32_t>(uint32_t(rows()) * layout().bytesPerRow,
                                                  0x10000 - top());
        context().runControl().setShownExternalRange(uint16_t(top()), count);
    }
};

} // namespace

View* createExternalMemoryView(const ViewSources& sources) { return new ExternalMemoryView(sources.context); }

} // namespace quorvel::shell
