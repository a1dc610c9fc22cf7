// The internal data memory window (MdiInternalMemoryChild): internal RAM from
// 00 to the device's highest address (3F, 7F or FF), read at every repaint
// and compared with the run controller's RAM snapshot, which a typed byte
// updates too so that it is not drawn as changed.
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/views/memory_view.h"
#include "shell/views/view_table.h"

#include <algorithm>

namespace quorvel::shell {

namespace {

// Row layouts: bytes a row, address column, hex column and stride, character
// column (-1: no such area), width.
const MemoryViewKind kInternal{
    .objectName = "MdiInternalMemoryChild",
    .title = "Internal Data Memory",
    .clearTitle = "           Internal Data Memory                 ",
    .command = id::InternalMemoryWindow,
    .addressDigits = 2,
    .live = true,
    .addressDialog = false,
    .clampPreset = false,
    .menuTitle = "Settings1",
    .tile = ClearViewTile::BottomLeft,
    .normal = {16, 3, 9, 4, 74, 92},
    .clearHex = {8, 1, 7, 4, -1, 39},
    .clearAscii = {32, 1, -1, 0, 7, 39},
};

class InternalMemoryView : public MemoryView {
public:
    explicit InternalMemoryView(ViewContext& context) : MemoryView(context, kInternal) {}

protected:
    uint32_t highestAddress() const override {
        return uint32_t(std::clamp(context().machine().profile.ramSize, 1, 256) - 1);
    }

    uint8_t readByte(uint32_t address) const override {
        return context().machine().chip.iram[address & 0xFF];
    }

    uint8_t previousByte(uint32_t address) const override {
        const auto& previous = context().runControl().snapshot().iram;
        return address < previous.size() ? previous[address] : readByte(address);
    }

    bool writeByte(uint32_t address, uint8_t& value) override {
        if (address > highestAddress()) return false;
        MachineInput edit;
        edit.place = SpaceAddress{AddressSpace::InternalRam, uint16_t(address)};
        edit.bytes = {value};
        if (context().runControl().input(edit)) return false;
        auto& previous = context().runControl().snapshot().iram;
        if (address < previous.size()) previous[address] = value;
        return true;
    }
};

} // namespace

View* createInternalMemoryView(const ViewSources& sources) { return new InternalMemoryView(sources.context); }

} // namespace quorvel::shell
