#include "shell/views/memory_bit_view.h"

#include "shell/clear_view_tiles.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/views/view_table.h"

namespace quorvel::shell {

namespace {

constexpr uint8_t kFirstByte = 0x20; // bit address 00H is bit 0 of RAM 20H
constexpr int kBytes = 16;
constexpr int kCellWidth = 6;        // Clear View: "%02X:", the value, a blank

constexpr const char* kTitleNarrow = "      Memory Bit Status         ";
constexpr const char* kTitleWide = "                 Memory Bit Status                   ";

} // namespace

BitGridLayout memoryBitNormalLayout() {
    BitGridLayout layout;
    layout.columns = box::kWidth;
    const QString bars = box::cells({});
    int row = 0;
    layout.texts.push_back({row++, 0, box::top(), false});
    for (int byte = 0; byte < kBytes; ++byte) {
        layout.texts.push_back({row, 0, bars, false});
        for (int c = 0; c < 8; ++c)
            layout.texts.push_back({row, 8 * c + 2, QString::asprintf("Bit%02X", byte * 8 + c), true});
        ++row;
        layout.texts.push_back({row++, 0, box::separator(), false});
        layout.texts.push_back({row, 0, bars, false});
        for (int c = 0; c < 8; ++c)
            layout.cells.push_back({row, 8 * c + 4, 8 * c + 1, 8 * c + 8, uint8_t(kFirstByte + byte),
                                    uint8_t(c), true});
        ++row;
        layout.texts.push_back({row++, 0, byte + 1 < kBytes ? box::separator() : box::bottom(), false});
    }
    layout.rows = row;
    return layout;
}

BitGridLayout memoryBitClearLayout(bool externalDataMemory) {
    BitGridLayout layout;
    layout.title = QString::fromLatin1(externalDataMemory ? kTitleNarrow : kTitleWide);
    const int perRow = externalDataMemory ? 4 : 8;
    for (int bit = 0; bit < kBytes * 8; ++bit) {
        const int row = bit / perRow, column = (bit % perRow) * kCellWidth;
        layout.texts.push_back({row, column, QString::asprintf("%02X:", bit), true});
        layout.cells.push_back({row, column + 3, column, column + kCellWidth,
                                uint8_t(kFirstByte + bit / 8), uint8_t(bit % 8), true});
    }
    layout.rows = kBytes * 8 / perRow;
    layout.columns = perRow * kCellWidth;
    return layout;
}

MemoryBitView::MemoryBitView(ViewContext& context) : BitStatusView(context) {
    setObjectName("MdiMemoryBitStatusChild");
    setWindowTitle("Memory Bit Status");
}

int MemoryBitView::viewCommand() const { return id::MemoryBitWindow; }

QRect MemoryBitView::clearViewGeometry(const QSize& client) const {
    // At the top right, the SFR bit tile's place, with external data memory;
    // at the lower right, wider, without it.
    return clearViewTile(context().machine().chip.hasXdata() ? ClearViewTile::TopRight
                                                           : ClearViewTile::BottomRight,
                         client);
}

BitGridLayout MemoryBitView::buildLayout() const {
    return clearView() ? memoryBitClearLayout(context().machine().chip.hasXdata())
                       : memoryBitNormalLayout();
}

View* createMemoryBitView(const ViewSources& sources) { return new MemoryBitView(sources.context); }

} // namespace quorvel::shell
