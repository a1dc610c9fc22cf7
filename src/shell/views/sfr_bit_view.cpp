#include "shell/views/sfr_bit_view.h"

#include "shell/clear_view_tiles.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/views/view_table.h"

#include <cstring>
#include <span>

namespace quorvel::shell {

namespace {

using namespace quorvel::sfr;

// ------------------------------------------------------------ Normal View

enum GroupId : unsigned {
    kAcc, kB, kPsw, kP0, kP1, kP2, kP3, kIp, kIe, kScon, kTmod, kTcon, kT2con, kT2mod, kWmcon,
    kSpsr, kSpcr, kGroupCount
};

// In the order the window shows them.
constexpr SfrBitGroup kGroups[kGroupCount] = {
    {"Accumulator(ACC):-", ACC,
     {"ACC.7", "ACC.6", "ACC.5", "ACC.4", "ACC.3", "ACC.2", "ACC.1", "ACC.0"}, 0xFF, false},
    {"B Register(B):-", B, {"B.7", "B.6", "B.5", "B.4", "B.3", "B.2", "B.1", "B.0"}, 0xFF, false},
    {"Program Status Word(PSW):-", PSW, {"CY", "AC", "F0", "RS1", "RS0", "OV", "-", "P"}, 0xFD,
     false},
    {"Port 0(P0):-", P0, {"P0.7", "P0.6", "P0.5", "P0.4", "P0.3", "P0.2", "P0.1", "P0.0"}, 0xFF,
     false},
    {"Port 1(P1):-", P1, {"P1.7", "P1.6", "P1.5", "P1.4", "P1.3", "P1.2", "P1.1", "P1.0"}, 0xFF,
     false},
    {"Port 2(P2):-", P2, {"P2.7", "P2.6", "P2.5", "P2.4", "P2.3", "P2.2", "P2.1", "P2.0"}, 0xFF,
     false},
    {"Port 3(P3):-", P3, {"P3.7", "P3.6", "P3.5", "P3.4", "P3.3", "P3.2", "P3.1", "P3.0"}, 0xFF,
     false},
    {"Interrupt Priority Control Register(IP):-", IP,
     {"-", "-", "-", "PS", "PT1", "PX1", "PT0", "PX0"}, 0x1F, false},
    {"Interrupt Enable Register(IE):-", IE, {"EA", "-", "-", "ES", "ET1", "EX1", "ET0", "EX0"},
     0x9F, false},
    {"Serial Port Control/Status Register(SCON):-", SCON,
     {"SM0", "SM1", "SM2", "REN", "TB8", "RB8", "TI", "RI"}, 0xFF, false},
    {"Timer/Counter Mode Register(TMOD):-", TMOD,
     {"GATE", "C/T", "M1", "M0", "GATE", "C/T", "M1", "M0"}, 0xFF, true},
    {"Timer/Counter Control/Status Register(TCON):-", TCON,
     {"TF1", "TR1", "TF0", "TR0", "IE1", "IT1", "IE0", "IT0"}, 0xFF, false},
    {"Timer/Counter2 Control/Status Register(T2CON):-", T2CON,
     {"TF2", "EXF2", "RCLK", "TCLK", "EXEN2", "TR2", "C/T2", "CP/RL2"}, 0xFF, false},
    {"Timer2 Mode Control Register(T2MOD):-", T2MOD,
     {"-", "-", "-", "-", "-", "-", "T2OE", "DCEN"}, 0x03, false},
    {"Watchdog and Memory Control Register(WMCON):-", WMCON,
     {"PS2", "PS1", "PS0", "EEMWE", "EEMEN", "DPS", "WDTRST", "WDTEN"}, 0xFF, false},
    {"SPI Status Register(SPSR):-", SPSR, {"SPIF", "WCOL", "-", "-", "-", "-", "-", "-"}, 0xC0,
     false},
    {"SPI Control Register(SPCR):-", SPCR,
     {"SPIE", "SPE", "DORD", "MSTR", "CPOL", "CPHA", "SPR1", "SPR0"}, 0xFF, false},
};

constexpr uint32_t group(GroupId id) { return 1u << id; }
constexpr uint32_t kBasicGroups = group(kAcc) | group(kB) | group(kPsw) | group(kP1) |
                                  group(kP3) | group(kIp) | group(kIe) | group(kScon) |
                                  group(kTmod) | group(kTcon);
constexpr uint32_t kAt89c51Groups = kBasicGroups | group(kP0) | group(kP2);
constexpr uint32_t kAt89c52Groups = kAt89c51Groups | group(kT2con) | group(kT2mod);
constexpr uint32_t k8032Groups = kBasicGroups | group(kT2con);
constexpr uint32_t kAllGroups = (1u << kGroupCount) - 1;

// By DeviceKind number.
constexpr uint32_t kDeviceGroups[kDeviceCount] = {
    kBasicGroups,   // AT89C2051
    kBasicGroups,   // AT89C4051
    kAt89c51Groups, // AT89C51
    kAt89c52Groups, // AT89C52
    kAt89c52Groups, // AT89C55
    kAllGroups,     // AT89S53
    kAllGroups,     // AT89S8252
    kBasicGroups,   // 8031
    k8032Groups,    // 8032
    kBasicGroups,   // AT89C1051
};

// ------------------------------------------------------------- Clear View

// AT89C2051, AT89C4051, AT89C51, 8031 (the AT89C1051 leaves out the last).
constexpr SfrBitEntry kClassicBits[] = {
    {"CY", PSW, 7},   {"INT0", P3, 2},   {"PT1", IP, 3},
    {"AC", PSW, 6},   {"INT1", P3, 3},   {"EX0", IE, 0},
    {"F0", PSW, 5},   {"SMOD", PCON, 7}, {"EX1", IE, 2},
    {"OV", PSW, 2},   {"TR0", TCON, 4},  {"ET0", IE, 1},
    {"P", PSW, 0},    {"TR1", TCON, 6},  {"ET1", IE, 3},
    {"TI", SCON, 1},  {"GF0", PCON, 2},  {"REN", SCON, 4},
    {"RI", SCON, 0},  {"GF1", PCON, 3},  {"TBE", SCON, 7},
    {"T0", P3, 4},    {"PX0", IP, 0},    {"RDE", SCON, 2},
    {"T1", P3, 5},    {"PX1", IP, 2},    {"IT0", TCON, 0},
    {"PS", IP, 4},    {"PT0", IP, 1},    {"IT1", TCON, 2},
    {"GATE0", TMOD, 3}, {"ES", IE, 4},   {"EA", IE, 7},
    {"GATE1", TMOD, 7},
};
static_assert(std::size(kClassicBits) == 34);

// AT89C52, AT89C55; the 8032 leaves out the last two.
constexpr SfrBitEntry k8052Bits[] = {
    {"CY", PSW, 7},     {"INT0", P3, 2},    {"PT1", IP, 3},
    {"AC", PSW, 6},     {"INT1", P3, 3},    {"PT2", IP, 5},
    {"F0", PSW, 5},     {"SMOD", PCON, 7},  {"EX0", IE, 0},
    {"OV", PSW, 2},     {"EXF2", T2CON, 6}, {"EX1", IE, 2},
    {"P", PSW, 0},      {"TR0", TCON, 4},   {"ET0", IE, 1},
    {"TI", SCON, 1},    {"TR1", TCON, 6},   {"ET1", IE, 3},
    {"RI", SCON, 0},    {"TR2", T2CON, 2},  {"ET2", IE, 5},
    {"T0", P3, 4},      {"GF0", PCON, 2},   {"REN", SCON, 4},
    {"T1", P3, 5},      {"GF1", PCON, 3},   {"TBE", SCON, 7},
    {"PS", IP, 4},      {"PX0", IP, 0},     {"RDE", SCON, 2},
    {"ES", IE, 4},      {"PX1", IP, 2},     {"IT0", TCON, 0},
    {"EA", IE, 7},      {"PT0", IP, 1},     {"IT1", TCON, 2},
    {"GATE0", TMOD, 3}, {"GATE1", TMOD, 7}, {"T2OE", T2MOD, 1},
    {"DCEN", T2MOD, 0},
};
static_assert(std::size(k8052Bits) == 40);

// The AT89S devices add these after the 8052 list.
constexpr SfrBitEntry kAt89sBits[] = {
    {"DPS", WMCON, 2},  {"WDTEN", WMCON, 0}, {"EEMEN", WMCON, 3},
    {"SPIE", SPCR, 7},  {"DORD", SPCR, 5},   {"MSTR", SPCR, 4},
};

struct ClearViewList {
    std::span<const SfrBitEntry> bits;
    std::span<const SfrBitEntry> more;
    std::array<int, 3> columns; // of the three entries of a row
};

constexpr std::span<const SfrBitEntry> kNone{};

// By DeviceKind number.
const ClearViewList kClearViewLists[kDeviceCount] = {
    {kClassicBits, kNone, {0, 10, 18}},                        // AT89C2051
    {kClassicBits, kNone, {0, 10, 18}},                        // AT89C4051
    {kClassicBits, kNone, {0, 10, 18}},                        // AT89C51
    {k8052Bits, kNone, {0, 9, 17}},                            // AT89C52
    {k8052Bits, kNone, {0, 9, 17}},                            // AT89C55
    {k8052Bits, kAt89sBits, {3, 10, 19}},                      // AT89S53
    {k8052Bits, kAt89sBits, {3, 10, 19}},                      // AT89S8252
    {kClassicBits, kNone, {0, 10, 18}},                        // 8031
    {std::span(k8052Bits).first(38), kNone, {0, 10, 18}},      // 8032
    {std::span(kClassicBits).first(33), kNone, {0, 10, 18}},   // AT89C1051
};

constexpr const char* kClearViewTitle = "        SFR Bit Status         ";

} // namespace

std::vector<const SfrBitGroup*> sfrBitGroups(DeviceKind kind) {
    std::vector<const SfrBitGroup*> groups;
    const uint32_t shown = kDeviceGroups[size_t(kind)];
    for (unsigned id = 0; id < kGroupCount; ++id)
        if (shown & (1u << id)) groups.push_back(&kGroups[id]);
    return groups;
}

std::vector<PlacedSfrBit> sfrClearViewEntries(DeviceKind kind) {
    const ClearViewList& list = kClearViewLists[size_t(kind)];
    std::vector<SfrBitEntry> bits(list.bits.begin(), list.bits.end());
    bits.insert(bits.end(), list.more.begin(), list.more.end());
    const bool atmelS = !list.more.empty();
    std::vector<PlacedSfrBit> placed;
    for (size_t i = 0; i < bits.size(); ++i) {
        const int row = int(i / 3), slot = int(i % 3);
        int column = list.columns[size_t(slot)];
        // The AT89S rows start three characters in: after a five-letter name,
        // its colon and its value the middle entry moves one character right,
        // so a blank always parts the two.
        if (atmelS && slot == 1 && std::strlen(bits[i - 1].name) >= 5) ++column;
        placed.push_back({bits[i], column, row});
    }
    return placed;
}

BitGridLayout sfrBitNormalLayout(DeviceKind kind) {
    BitGridLayout layout;
    layout.columns = box::kWidth;
    int row = 0;
    const QString bars = box::cells({});
    for (const SfrBitGroup* group : sfrBitGroups(kind)) {
        layout.texts.push_back({row++, 0, QString::fromLatin1(group->heading), true});
        if (group->timerHeadings) {
            // Two wide cells, one per timer, over the eight bit cells.
            const std::array<QChar, 7> split{u'─', u'─', u'─', u'┬', u'─', u'─', u'─'};
            layout.texts.push_back({row++, 0, box::rule(u'┌', u'─', u'┐', split), false});
            layout.texts.push_back(
                {row, 0, box::rule(u'│', u' ', u'│', {u' ', u' ', u' ', u'│', u' ', u' ', u' '}),
                 false});
            layout.texts.push_back({row, 1 + (31 - 6) / 2, QStringLiteral("TIMER1"), true});
            layout.texts.push_back({row++, 33 + (31 - 6) / 2, QStringLiteral("TIMER0"), true});
            layout.texts.push_back(
                {row++, 0, box::rule(u'├', u'─', u'┤', {u'┬', u'┬', u'┬', u'┼', u'┬', u'┬', u'┬'}),
                 false});
        } else {
            layout.texts.push_back({row++, 0, box::top(), false});
        }
        // Names: the bars in black, the names in the label colour.
        layout.texts.push_back({row, 0, bars, false});
        for (int c = 0; c < 8; ++c) {
            const QString name = QString::fromLatin1(group->names[size_t(c)]);
            const int start = 8 * c + 1 + std::max(0, int(7 - name.size()) / 2);
            layout.texts.push_back({row, start, name, true});
        }
        ++row;
        layout.texts.push_back({row++, 0, box::separator(), false});
        layout.texts.push_back({row, 0, bars, false});
        for (int c = 0; c < 8; ++c) {
            const int bit = 7 - c;
            layout.cells.push_back({row, 8 * c + 4, 8 * c + 1, 8 * c + 8, group->address,
                                    uint8_t(bit), ((group->editable >> bit) & 1u) != 0});
        }
        ++row;
        layout.texts.push_back({row++, 0, box::bottom(), false});
    }
    layout.rows = row;
    return layout;
}

BitGridLayout sfrBitClearLayout(DeviceKind kind) {
    BitGridLayout layout;
    layout.title = QString::fromLatin1(kClearViewTitle);
    for (const PlacedSfrBit& placed : sfrClearViewEntries(kind)) {
        // "CY:0": a colon parts the name from its value, as in the memory
        // bits' "25:1", so that "INT0" and its value do not read "INT01".
        const QString name = QString::fromLatin1(placed.entry.name) + u':';
        const int value = placed.column + int(name.size());
        layout.texts.push_back({placed.row, placed.column, name, true});
        // Every bit here has a name, so every one can be edited.
        layout.cells.push_back({placed.row, value, placed.column, value + 1, placed.entry.address,
                                placed.entry.bit, true});
        layout.rows = std::max(layout.rows, placed.row + 1);
        layout.columns = std::max(layout.columns, value + 1);
    }
    return layout;
}

SfrBitView::SfrBitView(ViewContext& context) : BitStatusView(context) {
    setObjectName("MdiSfrBitStatusChild");
    setWindowTitle("SFR Bit Status");
}

int SfrBitView::viewCommand() const { return id::SfrBitWindow; }

QRect SfrBitView::clearViewGeometry(const QSize& client) const {
    return clearViewTile(ClearViewTile::TopRight, client);
}

BitGridLayout SfrBitView::buildLayout() const {
    const DeviceKind kind = context().machine().selection.kind;
    return clearView() ? sfrBitClearLayout(kind) : sfrBitNormalLayout(kind);
}

View* createSfrBitView(const ViewSources& sources) { return new SfrBitView(sources.context); }

} // namespace quorvel::shell
