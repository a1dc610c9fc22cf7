// The on-chip EEPROM window (MdiEEPROMChild): the 2 KB EEPROM store of the
// AT89S8252, read and written directly (not through MOVX and its enable
// bits). The go-to dialog accepts any address; bytes beyond 07FF read FF and
// take no typing.
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/views/memory_view.h"
#include "shell/views/view_table.h"

namespace quorvel::shell {

namespace {

// Row layouts: bytes a row, address column, hex column and stride, character
// column (-1: no such area), width.
const MemoryViewKind kEeprom{
    .objectName = "MdiEEPROMChild",
    .title = "On-Chip EEPROM",
    .clearTitle = "                   On-Chip EEPROM                       ",
    .command = id::EepromWindow,
    .addressDigits = 4,
    .live = false,
    .addressDialog = true,
    .clampPreset = false,
    .menuTitle = "Settings",
    .tile = ClearViewTile::BottomRight,
    .normal = {16, 1, 9, 4, 74, 92},
    .clearHex = {16, 0, 5, 3, -1, 53},
    .clearAscii = {32, 1, -1, 0, 9, 41},
};

class EepromView : public MemoryView {
public:
    explicit EepromView(ViewContext& context) : MemoryView(context, kEeprom) {}

protected:
    uint32_t highestAddress() const override { return 0x07FF; }

    uint8_t readByte(uint32_t address) const override {
        const auto& eeprom = context().machine().chip.eeprom;
        return address < eeprom.size() ? eeprom[address] : uint8_t(0xFF);
    }

    bool writeByte(uint32_t address, uint8_t& value) override {
        auto& eeprom = context().machine().chip.eeprom;
        if (address >= eeprom.size()) return false;
        MachineInput edit;
        edit.place = SpaceAddress{AddressSpace::Eeprom, uint16_t(address)};
        edit.bytes = {value};
        if (context().runControl().input(edit)) return false;
        value = eeprom[address];
        return true;
    }
};

} // namespace

View* createEepromView(const ViewSources& sources) { return new EepromView(sources.context); }

} // namespace quorvel::shell
