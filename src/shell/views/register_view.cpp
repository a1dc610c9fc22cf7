#include "shell/views/register_view.h"

#include "shell/clear_view_tiles.h"
#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/views/view_table.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <utility>

namespace quorvel::shell {

namespace {

// ------------------------------------------------------------ registers

constexpr RegisterRef kAcc = sfrRegister(sfr::ACC), kB = sfrRegister(sfr::B),
                      kPsw = sfrRegister(sfr::PSW), kSp = sfrRegister(sfr::SP),
                      kDptr = sfrPair(sfr::DPH, sfr::DPL), kDptr1 = sfrPair(sfr::DP1H, sfr::DP1L),
                      kPc = pcRegister(), kP0 = sfrRegister(sfr::P0), kP1 = sfrRegister(sfr::P1),
                      kP2 = sfrRegister(sfr::P2), kP3 = sfrRegister(sfr::P3),
                      kIp = sfrRegister(sfr::IP), kIe = sfrRegister(sfr::IE),
                      kTmod = sfrRegister(sfr::TMOD), kTcon = sfrRegister(sfr::TCON),
                      kT2con = sfrRegister(sfr::T2CON), kT2mod = sfrRegister(sfr::T2MOD),
                      kTh0 = sfrRegister(sfr::TH0), kTl0 = sfrRegister(sfr::TL0),
                      kTh1 = sfrRegister(sfr::TH1), kTl1 = sfrRegister(sfr::TL1),
                      kTh2 = sfrRegister(sfr::TH2), kTl2 = sfrRegister(sfr::TL2),
                      kRcap2 = sfrPair(sfr::RCAP2H, sfr::RCAP2L), kScon = sfrRegister(sfr::SCON),
                      kPcon = sfrRegister(sfr::PCON), kSpcr = sfrRegister(sfr::SPCR),
                      kSpdr = sfrRegister(sfr::SPDR), kSpsr = sfrRegister(sfr::SPSR),
                      kWmcon = sfrRegister(sfr::WMCON);
constexpr RegisterRef R(uint8_t n) {
    return bankRegister(n);
}

// Device groups that share a register set.
enum Group : uint8_t {
    g1051 = 1,  // AT89C1051
    g20Pin = 2, // AT89C2051, AT89C4051
    gC51 = 4,   // AT89C51
    gC52 = 8,   // AT89C52, AT89C55
    gS = 16,    // AT89S53, AT89S8252
    g8031 = 32,
    g8032 = 64,
    gAll = 127,
};

Group groupOf(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::AT89C1051: return g1051;
    case DeviceKind::AT89C2051:
    case DeviceKind::AT89C4051: return g20Pin;
    case DeviceKind::AT89C51: return gC51;
    case DeviceKind::AT89C52:
    case DeviceKind::AT89C55: return gC52;
    case DeviceKind::AT89S53:
    case DeviceKind::AT89S8252: return gS;
    case DeviceKind::I8031: return g8031;
    case DeviceKind::I8032: return g8032;
    }
    return g20Pin;
}

// ------------------------------------------------------------ the list

struct ListRow {
    const char* longLabel;
    const char* shortLabel;
    RegisterRef reg;
    uint8_t devices;
};

constexpr uint8_t gPorts02 = gC51 | gC52 | gS;
constexpr uint8_t gTimer2 = gC52 | gS | g8032;

// clang-format off
const ListRow kSfrRows[] = {
    {"Accumulator(ACC):..........................", "ACC  :", kAcc,    gAll},
    {"Program Counter(PC):.......................", "PC   :", kPc,     gAll},
    {"B Register(B):.............................", "B    :", kB,      gAll},
    {"Program Status Word(PSW):..................", "PSW  :", kPsw,    gAll},
    {"Stack Pointer(SP):.........................", "SP   :", kSp,     gAll},
    {"Data Pointer(DPTR):........................", "DPTR :", kDptr,   gAll & ~gS},
    {"Data Pointer0(DPTR0):......................", "DPTR0:", kDptr,   gS},
    {"Data Pointer1(DPTR1):......................", "DPTR1:", kDptr1,  gS},
    {"Port 0(P0):................................", "P0   :", kP0,     gPorts02},
    {"Port 1(P1):................................", "P1   :", kP1,     gAll},
    {"Port 2(P2):................................", "P2   :", kP2,     gPorts02},
    {"Port 3(P3):................................", "P3   :", kP3,     gAll},
    {"Interrupt Priority Control Register(IP):...", "IP   :", kIp,     gAll},
    {"Interrupt Enable Register(IE):.............", "IE   :", kIe,     gAll},
    {"Timer/Counter Mode Register(TMOD):.........", "TMOD :", kTmod,   gAll},
    {"Timer/Counter Control Register(TCON):......", "TCON :", kTcon,   gAll},
    {"Timer/Counter2 Control Register(T2CON):....", "T2CON:", kT2con,  gTimer2},
    {"Timer/Counter2 Mode Register(T2MOD):.......", "T2MOD:", kT2mod,  gC52 | gS},
    {"Timer/Counter0-High byte(TH0):.............", "TH0  :", kTh0,    gAll},
    {"Timer/Counter0-Low byte(TL0):..............", "TL0  :", kTl0,    gAll},
    {"Timer/Counter1-High byte(TH1):.............", "TH1  :", kTh1,    gAll & ~g1051},
    {"Timer/Counter1-Low byte(TL1):..............", "TL1  :", kTl1,    gAll & ~g1051},
    {"Timer/Counter2-High byte(TH2):.............", "TH2  :", kTh2,    gTimer2},
    {"Timer/Counter2-Low byte(TL2):..............", "TL2  :", kTl2,    gTimer2},
    {"Timer/Counter2 Capture Register(RCAP2):....", "RCAP2:", kRcap2,  gTimer2},
    {"Serial Control Register(SCON):.............", "SCON :", kScon,   gAll & ~g1051},
    {"Power Control Register(PCON):..............", "PCON :", kPcon,   gAll},
    {"SPI Control Register(SPCR):................", "SPCR :", kSpcr,   gS},
    {"SPI Data Register(SPDR):...................", "SPDR :", kSpdr,   gS},
    {"SPI Status Register(SPSR):.................", "SPSR :", kSpsr,   gS},
    {"Watchdog & Memory Control Register(WMCON):.", "WMCON:", kWmcon,  gS},
};

const char* const kBankHeadings[4] = {"Bank 0:-", "Bank 1:-", "Bank 2:-", "Bank 3:-"};
const char* const kBankLong[8] = {
    "Register 0(R0):............................", "Register 1(R1):............................",
    "Register 2(R2):............................", "Register 3(R3):............................",
    "Register 4(R4):............................", "Register 5(R5):............................",
    "Register 6(R6):............................", "Register 7(R7):............................",
};
const char* const kBankShort[8] = {"R0   :", "R1   :", "R2   :", "R3   :",
                                   "R4   :", "R5   :", "R6   :", "R7   :"};
// clang-format on

// Content width of the list in characters, and the narrowest client width
// (in characters) that keeps the long labels.
constexpr int kLongWidth = 48;
constexpr int kShortWidth = 25;

// ------------------------------------------------------------ the grid

struct GridEntry {
    const char* label;
    int column;
    int row;
    RegisterRef reg;
};

// clang-format off
// AT89C2051, AT89C4051, 8031.
const GridEntry kGrid20Pin[] = {
    {"B:", 1, 1, kB},    {"ACC:", 8, 1, kAcc},   {"TMOD:", 18, 1, kTmod},
    {"P1:", 0, 2, kP1},  {"PSW:", 8, 2, kPsw},   {"TCON:", 18, 2, kTcon},
    {"P3:", 0, 3, kP3},  {"TH0:", 8, 3, kTh0},   {"SCON:", 18, 3, kScon},
    {"R0:", 0, 4, R(0)}, {"TL0:", 8, 4, kTl0},   {"PCON:", 18, 4, kPcon},
    {"R1:", 0, 5, R(1)}, {"TH1:", 8, 5, kTh1},
    {"R2:", 0, 6, R(2)}, {"TL1:", 8, 6, kTl1},
    {"R3:", 0, 7, R(3)}, {"IP:", 9, 7, kIp},
    {"R4:", 0, 8, R(4)}, {"IE:", 9, 8, kIe},
    {"R5:", 0, 9, R(5)}, {"SP:", 9, 9, kSp},
    {"R6:", 0, 10, R(6)}, {"PC:", 9, 10, kPc},
    {"R7:", 0, 11, R(7)}, {"DPTR:", 8, 11, kDptr},
};

// AT89C51: the ports take rows 2-5, the registers rows 6-13.
const GridEntry kGridC51[] = {
    {"B:", 1, 1, kB},    {"ACC:", 8, 1, kAcc},   {"TMOD:", 18, 1, kTmod},
    {"P0:", 0, 2, kP0},  {"PSW:", 8, 2, kPsw},   {"TCON:", 18, 2, kTcon},
    {"P1:", 0, 3, kP1},  {"TH0:", 8, 3, kTh0},   {"SCON:", 18, 3, kScon},
    {"P2:", 0, 4, kP2},  {"TL0:", 8, 4, kTl0},   {"PCON:", 18, 4, kPcon},
    {"P3:", 0, 5, kP3},  {"TH1:", 8, 5, kTh1},
    {"R0:", 0, 6, R(0)}, {"TL1:", 8, 6, kTl1},
    {"R1:", 0, 7, R(1)}, {"IP:", 9, 7, kIp},
    {"R2:", 0, 8, R(2)}, {"IE:", 9, 8, kIe},
    {"R3:", 0, 9, R(3)}, {"SP:", 9, 9, kSp},
    {"R4:", 0, 10, R(4)}, {"PC:", 9, 10, kPc},
    {"R5:", 0, 11, R(5)}, {"DPTR:", 8, 11, kDptr},
    {"R6:", 0, 12, R(6)},
    {"R7:", 0, 13, R(7)},
};

// AT89C52, AT89C55.
const GridEntry kGridC52[] = {
    {"B:", 1, 1, kB},    {"ACC:", 7, 1, kAcc},   {"TMOD:", 18, 1, kTmod},
    {"P0:", 0, 2, kP0},  {"PSW:", 7, 2, kPsw},   {"TCON:", 18, 2, kTcon},
    {"P1:", 0, 3, kP1},  {"TH0:", 7, 3, kTh0},   {"SCON:", 18, 3, kScon},
    {"P2:", 0, 4, kP2},  {"TL0:", 7, 4, kTl0},   {"PCON:", 18, 4, kPcon},
    {"P3:", 0, 5, kP3},  {"TH1:", 7, 5, kTh1},   {"T2CON:", 17, 5, kT2con},
    {"R0:", 0, 6, R(0)}, {"TL1:", 7, 6, kTl1},   {"T2MOD:", 17, 6, kT2mod},
    {"R1:", 0, 7, R(1)}, {"TH2:", 7, 7, kTh2},   {"SP:", 20, 7, kSp},
    {"R2:", 0, 8, R(2)}, {"TL2:", 7, 8, kTl2},
    {"R3:", 0, 9, R(3)}, {"IP:", 8, 9, kIp},
    {"R4:", 0, 10, R(4)}, {"IE:", 8, 10, kIe},
    {"R5:", 0, 11, R(5)}, {"PC:", 8, 11, kPc},
    {"R6:", 0, 12, R(6)}, {"DPTR:", 8, 12, kDptr},
    {"R7:", 0, 13, R(7)}, {"RCAP2:", 7, 13, kRcap2},
};

// AT89S53, AT89S8252: the AT89C52 grid with the SPI and watchdog registers
// in the right-hand column, which moves SP, RCAP2, R7 and PC.
const GridEntry kGridS[] = {
    {"B:", 1, 1, kB},    {"ACC:", 7, 1, kAcc},   {"TMOD:", 18, 1, kTmod},
    {"P0:", 0, 2, kP0},  {"PSW:", 7, 2, kPsw},   {"TCON:", 18, 2, kTcon},
    {"P1:", 0, 3, kP1},  {"TH0:", 7, 3, kTh0},   {"SCON:", 18, 3, kScon},
    {"P2:", 0, 4, kP2},  {"TL0:", 7, 4, kTl0},   {"PCON:", 18, 4, kPcon},
    {"P3:", 0, 5, kP3},  {"TH1:", 7, 5, kTh1},   {"T2CON:", 17, 5, kT2con},
    {"R0:", 0, 6, R(0)}, {"TL1:", 7, 6, kTl1},   {"T2MOD:", 17, 6, kT2mod},
    {"R1:", 0, 7, R(1)}, {"TH2:", 7, 7, kTh2},   {"SPCR:", 18, 7, kSpcr},
    {"R2:", 0, 8, R(2)}, {"TL2:", 7, 8, kTl2},   {"SPDR:", 18, 8, kSpdr},
    {"R3:", 0, 9, R(3)}, {"IP:", 8, 9, kIp},     {"SPSR:", 18, 9, kSpsr},
    {"R4:", 0, 10, R(4)}, {"IE:", 8, 10, kIe},   {"WMCON:", 17, 10, kWmcon},
    {"R5:", 0, 11, R(5)}, {"SP:", 8, 11, kSp},   {"RCAP2:", 15, 11, kRcap2},
    {"R6:", 0, 12, R(6)}, {"R7:", 8, 12, R(7)},  {"DPTR0:", 15, 12, kDptr},
    {"PC:", 0, 13, kPc},                         {"DPTR1:", 15, 13, kDptr1},
};

// 8032: the AT89C2051 grid for the first registers, timer 2 added.
const GridEntry kGrid8032[] = {
    {"B:", 1, 1, kB},    {"ACC:", 8, 1, kAcc},   {"TMOD:", 18, 1, kTmod},
    {"P1:", 0, 2, kP1},  {"PSW:", 8, 2, kPsw},   {"TCON:", 18, 2, kTcon},
    {"P3:", 0, 3, kP3},  {"TH0:", 8, 3, kTh0},   {"SCON:", 18, 3, kScon},
    {"R0:", 0, 4, R(0)}, {"TL0:", 8, 4, kTl0},   {"PCON:", 18, 4, kPcon},
    {"R1:", 0, 5, R(1)}, {"TH1:", 8, 5, kTh1},   {"T2CON:", 17, 5, kT2con},
    {"R2:", 0, 6, R(2)}, {"TL1:", 8, 6, kTl1},   {"SP:", 20, 6, kSp},
    {"R3:", 0, 7, R(3)}, {"TH2:", 8, 7, kTh2},
    {"R4:", 0, 8, R(4)}, {"TL2:", 8, 8, kTl2},
    {"R5:", 0, 9, R(5)}, {"IP:", 9, 9, kIp},
    {"R6:", 0, 10, R(6)}, {"IE:", 9, 10, kIe},
    {"R7:", 0, 11, R(7)}, {"PC:", 9, 11, kPc},
    {"DPTR:", 0, 12, kDptr},
    {"RCAP2:", 0, 13, kRcap2},
};

// AT89C1051: no timer 1 bytes, no serial port.
const GridEntry kGrid1051[] = {
    {"B:", 1, 1, kB},    {"ACC:", 8, 1, kAcc},   {"TMOD:", 18, 1, kTmod},
    {"P1:", 0, 2, kP1},  {"PSW:", 8, 2, kPsw},   {"TCON:", 18, 2, kTcon},
    {"P3:", 0, 3, kP3},  {"TH0:", 8, 3, kTh0},   {"PCON:", 18, 3, kPcon},
    {"R0:", 0, 4, R(0)}, {"TL0:", 8, 4, kTl0},
    {"R1:", 0, 5, R(1)}, {"IP :", 8, 5, kIp},
    {"R2:", 0, 6, R(2)}, {"IE :", 8, 6, kIe},
    {"R3:", 0, 7, R(3)}, {"SP:", 9, 7, kSp},
    {"R4:", 0, 8, R(4)}, {"PC:", 9, 8, kPc},
    {"R5:", 0, 9, R(5)}, {"DPTR:", 8, 9, kDptr},
    {"R6:", 0, 10, R(6)},
    {"R7:", 0, 11, R(7)},
};
// clang-format on

std::span<const GridEntry> gridOf(DeviceKind kind) {
    switch (groupOf(kind)) {
    case g1051: return kGrid1051;
    case gC51: return kGridC51;
    case gC52: return kGridC52;
    case gS: return kGridS;
    case g8032: return kGrid8032;
    default: return kGrid20Pin;
    }
}

const char* const kClearViewTitle = "          Registers         ";

bool hexDigit(QChar c, uint8_t& nibble) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        nibble = uint8_t(u - '0');
    else if (u >= 'A' && u <= 'F')
        nibble = uint8_t(u - 'A' + 10);
    else if (u >= 'a' && u <= 'f')
        nibble = uint8_t(u - 'a' + 10);
    else
        return false;
    return true;
}

} // namespace

std::vector<RegisterEntry> registerLayout(DeviceKind kind, RegisterLayout layout) {
    std::vector<RegisterEntry> entries;
    if (layout == RegisterLayout::Grid) {
        for (const GridEntry& g : gridOf(kind))
            entries.push_back({g.label, g.column, g.row, false, g.reg});
        std::stable_sort(entries.begin(), entries.end(),
                         [](const RegisterEntry& a, const RegisterEntry& b) {
                             return a.row != b.row ? a.row < b.row : a.column < b.column;
                         });
        return entries;
    }
    const bool shortLabels = layout == RegisterLayout::ShortList;
    auto add = [&](const char* label, bool heading, RegisterRef reg = {}) {
        entries.push_back({label, 0, int(entries.size()), heading, reg});
    };
    add(shortLabels ? "Special Function Registers: " : "Special Function Registers(SFRs):", true);
    const Group group = groupOf(kind);
    for (const ListRow& row : kSfrRows)
        if (row.devices & group) add(shortLabels ? row.shortLabel : row.longLabel, false, row.reg);
    add("General Purpose Registers:", true);
    for (uint8_t bank = 0; bank < 4; ++bank) {
        add(kBankHeadings[bank], true);
        for (uint8_t n = 0; n < 8; ++n)
            add(shortLabels ? kBankShort[n] : kBankLong[n], false,
                ramRegister(uint8_t(bank * 8 + n)));
    }
    return entries;
}

int gridValueColumn(const RegisterEntry& entry) {
    return entry.column + 1 + int(std::strlen(entry.label));
}

int gridNeighbour(const std::vector<RegisterEntry>& grid, int from, int column, int direction) {
    const int row = grid[size_t(from)].row;
    int best = -1, bestRows = 0, bestDistance = 0;
    for (size_t i = 0; i < grid.size(); ++i) {
        const int rows = (grid[i].row - row) * direction;
        if (rows <= 0) continue;
        const int distance = std::abs(gridValueColumn(grid[i]) - column);
        if (best < 0 || rows < bestRows || (rows == bestRows && distance < bestDistance)) {
            best = int(i);
            bestRows = rows;
            bestDistance = distance;
        }
    }
    return best;
}

// ------------------------------------------------------------ the view

RegisterView::RegisterView(ViewContext& context) : TextGridView(context) {
    setObjectName("MdiRegisterChild");
    setWindowTitle("Registers");
    setBarPolicies(Qt::ScrollBarAlwaysOn, Qt::ScrollBarAlwaysOn);
    device_ = context.machine().selection.kind;
    resize(420, 400);
}

int RegisterView::viewCommand() const {
    return id::RegisterWindow;
}

QRect RegisterView::clearViewGeometry(const QSize& client) const {
    return clearViewTile(ClearViewTile::Registers, client);
}

View* createRegisterView(const ViewSources& sources) {
    return new RegisterView(sources.context);
}

void RegisterView::refreshView() {
    {
        auto guard = context().runControl().pause();
        now_ = registerImage(context().machine().chip);
        before_ = registerImage(std::as_const(context().runControl()).snapshot());
        device_ = context().machine().selection.kind;
    }
    const bool rebuilt = relayout();
    if (!rebuilt) formatValues();
    update();
}

// The layout follows the frame's view mode, the device and, in the list,
// the width of the window; the caret stays on its register where it can.
bool RegisterView::relayout() {
    const bool clear = clearView();
    RegisterLayout wanted = RegisterLayout::Grid;
    if (!clear) {
        const int clientWidth = width() - verticalBar()->sizeHint().width();
        wanted = clientWidth < kLongWidth * charWidth() ? RegisterLayout::ShortList
                                                        : RegisterLayout::LongList;
    }
    const Qt::ScrollBarPolicy bars = clear ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn;
    setBarPolicies(bars, bars);
    if (laidOut_ && wanted == layout_ && deviceOfLayout_ == device_) {
        updateScrollBars();
        return false;
    }
    const bool hadCaret = laidOut_ && !fields_.empty();
    const RegisterRef caretReg = hadCaret ? fieldLine(caretField_).entry.reg : RegisterRef{};
    layout_ = wanted;
    deviceOfLayout_ = device_;
    lines_.clear();
    fields_.clear();
    gridEntries_ = layout_ == RegisterLayout::Grid ? registerLayout(device_, layout_)
                                                   : std::vector<RegisterEntry>{};
    for (const RegisterEntry& e : registerLayout(device_, layout_)) {
        Line line;
        line.entry = e;
        line.label = QString::fromLatin1(e.label);
        line.valueColumn = layout_ == RegisterLayout::Grid ? gridValueColumn(e)
                                                           : e.column + int(line.label.size());
        if (!e.heading) fields_.push_back(int(lines_.size()));
        lines_.push_back(std::move(line));
    }
    laidOut_ = true;
    int field = 0;
    if (hadCaret) {
        for (size_t f = 0; f < fields_.size(); ++f)
            if (fieldLine(int(f)).entry.reg == caretReg) field = int(f);
    }
    caretField_ = field;
    caretDigit_ = std::min(caretDigit_, digitsOf(field) - 1);
    formatValues();
    updateScrollBars();
    return true;
}

void RegisterView::formatValues() {
    char text[8];
    for (Line& line : lines_) {
        if (line.entry.heading) continue;
        const uint16_t value = registerValue(now_, line.entry.reg);
        const int n = line.entry.reg.digits() == 4
                          ? std::snprintf(text, sizeof text, "%02X%02X", value >> 8, value & 0xFF)
                          : std::snprintf(text, sizeof text, "%02X", value & 0xFF);
        if (line.value.size() != n || line.value != QLatin1StringView(text, n))
            line.value = QString::fromLatin1(text, n);
        line.changed = value != registerValue(before_, line.entry.reg);
    }
}

int RegisterView::entryIndex(QStringView label) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].label.startsWith(label)) return int(i);
    return -1;
}

int RegisterView::caretEntry() const {
    return fields_.empty() ? -1 : fields_[size_t(caretField_)];
}

int RegisterView::digitsOf(int field) const {
    return fields_.empty() ? 1 : fieldLine(field).entry.reg.digits();
}

// ------------------------------------------------------------ geometry

void RegisterView::updateScrollBars() {
    if (layout_ == RegisterLayout::Grid) {
        setContentSize(0, 0);
        topRow_ = 0;
        xScroll_ = 0;
        return;
    }
    // The widest line, headings included ("Special Function Registers: " is
    // wider than a short value line).
    int columns = layout_ == RegisterLayout::LongList ? kLongWidth : kShortWidth;
    for (const Line& line : lines_)
        columns = std::max(columns, line.entry.column + int(line.label.size()) + int(line.value.size()) + 1);
    setContentSize(int(lines_.size()), columns * charWidth(), true);
    topRow_ = verticalBar()->value();
    xScroll_ = horizontalBar()->value();
}

void RegisterView::scrolled() {
    if (layout_ == RegisterLayout::Grid) return;
    topRow_ = verticalBar()->value();
    xScroll_ = horizontalBar()->value();
    update();
}

void RegisterView::viewportResized() {
    if (laidOut_) relayout();
}

QPoint RegisterView::digitPoint(int i, int digit) const {
    const Line& line = lines_[size_t(i)];
    const int row = layout_ == RegisterLayout::Grid ? line.entry.row : line.entry.row - topRow_;
    return {(line.valueColumn + digit) * charWidth() + charWidth() / 2 - xScroll_,
            row * lineHeight() + lineHeight() / 2};
}

// ------------------------------------------------------------ painting

void RegisterView::paintView(QPainter& p, const QRect& dirty) {
    const bool grid = layout_ == RegisterLayout::Grid;
    const QRect client = rowArea();
    p.fillRect(dirty.intersected(client), Qt::white);
    if (grid) drawTitle(p, QString::fromLatin1(kClearViewTitle));

    const int firstRow = grid ? 0 : topRow_;
    const int lastRow = firstRow + client.height() / lineHeight() + 1;
    const int xScroll = grid ? 0 : xScroll_;
    const int caretLine = caretEntry();
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.entry.row < firstRow || line.entry.row > lastRow) continue;
        const int row = line.entry.row - firstRow;
        const int labelColumn = grid ? line.entry.column + 1 : line.entry.column;
        // Labels are blue in the grid; in the list the headings are blue and
        // the value labels black.
        const QColor& labelColour = grid || line.entry.heading ? kLabel : kUnchanged;
        drawCells(p, labelColumn, row, line.label, labelColour, xScroll);
        if (line.entry.heading) continue;
        drawCells(p, line.valueColumn, row, line.value, line.changed ? kChanged : kUnchanged,
                  xScroll);
        if (int(i) == caretLine && hasFocus()) {
            // The caret: the digit under it inverted.
            const QRect cell((line.valueColumn + caretDigit_) * charWidth() - xScroll,
                             row * lineHeight() + 2, charWidth(), lineHeight() - 4);
            p.fillRect(cell, line.changed ? kChanged : kUnchanged);
            p.setPen(Qt::white);
            p.drawText(cell, Qt::AlignCenter, line.value.mid(caretDigit_, 1));
        }
    }
}

// ------------------------------------------------------------ caret and keys

void RegisterView::setCaret(int field, int digit) {
    if (fields_.empty()) return;
    caretField_ = std::clamp(field, 0, int(fields_.size()) - 1);
    caretDigit_ = std::clamp(digit, 0, digitsOf(caretField_) - 1);
    ensureCaretVisible();
    update();
}

void RegisterView::ensureCaretVisible() {
    if (layout_ == RegisterLayout::Grid || fields_.empty()) return;
    const Line& line = fieldLine(caretField_);
    const int rows = visibleRows();
    if (line.entry.row < topRow_)
        verticalBar()->setValue(line.entry.row);
    else if (line.entry.row >= topRow_ + rows)
        verticalBar()->setValue(line.entry.row - rows + 1);
    const int x = (line.valueColumn + caretDigit_) * charWidth();
    const int w = rowArea().width();
    if (x < xScroll_)
        horizontalBar()->setValue(x);
    else if (x + charWidth() > xScroll_ + w)
        horizontalBar()->setValue(x + charWidth() - w);
}

// Up and Down: the neighbouring list line, or in the grid the field of the
// next row up or down whose value lies nearest the caret.
void RegisterView::moveVertically(int direction) {
    if (fields_.empty()) return;
    if (layout_ != RegisterLayout::Grid) {
        setCaret(caretField_ + direction, caretDigit_);
        return;
    }
    // The grid has no headings: fields and lines are the same entries.
    const Line& here = fieldLine(caretField_);
    const int column = here.valueColumn + caretDigit_;
    const int best = gridNeighbour(gridEntries_, caretField_, column, direction);
    if (best >= 0)
        setCaret(best, std::min(column - fieldLine(best).valueColumn, digitsOf(best) - 1));
}

void RegisterView::keyPressEvent(QKeyEvent* event) {
    if (fields_.empty()) return TextGridView::keyPressEvent(event);
    const int last = digitsOf(caretField_) - 1;
    switch (event->key()) {
    case Qt::Key_Left:
        if (caretDigit_ > 0)
            setCaret(caretField_, caretDigit_ - 1);
        else if (caretField_ > 0)
            setCaret(caretField_ - 1, digitsOf(caretField_ - 1) - 1);
        return;
    case Qt::Key_Right:
        if (caretDigit_ < last)
            setCaret(caretField_, caretDigit_ + 1);
        else if (caretField_ + 1 < int(fields_.size()))
            setCaret(caretField_ + 1, 0);
        return;
    case Qt::Key_Up: moveVertically(-1); return;
    case Qt::Key_Down: moveVertically(1); return;
    case Qt::Key_Home: setCaret(0, 0); return;
    case Qt::Key_End: setCaret(int(fields_.size()) - 1, 0); return;
    default: break;
    }
    uint8_t nibble = 0;
    const QString text = event->text();
    if (text.size() == 1 && hexDigit(text.front(), nibble) &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        typeDigit(nibble);
        return;
    }
    TextGridView::keyPressEvent(event);
}

// Writes the digit into the register under the caret, moves the caret on and
// refreshes every view (the program window follows an edited PC).
void RegisterView::typeDigit(uint8_t nibble) {
    const RegisterRef reg = fieldLine(caretField_).entry.reg;
    {
        RunController& run = context().runControl();
        ChipState& chip = context().machine().chip;
        run.edit([&] {
            const uint16_t value =
                withNibble(registerValue(registerImage(chip), reg), reg.digits(), caretDigit_, nibble);
            writeRegister(chip, run.snapshot(), reg, value);
        });
    }
    if (caretDigit_ + 1 < reg.digits())
        setCaret(caretField_, caretDigit_ + 1);
    else if (caretField_ + 1 < int(fields_.size()))
        setCaret(caretField_ + 1, 0);
    context().refreshViews();
}

void RegisterView::mousePressEvent(QMouseEvent* event) {
    const bool grid = layout_ == RegisterLayout::Grid;
    const QPoint cell = cellAt(event->position().toPoint(), 0, grid ? 0 : xScroll_);
    const int row = cell.y() + (grid ? 0 : topRow_);
    for (size_t f = 0; f < fields_.size(); ++f) {
        const Line& line = fieldLine(int(f));
        if (line.entry.row != row) continue;
        const int digit = cell.x() - line.valueColumn;
        if (digit >= 0 && digit < line.entry.reg.digits()) {
            setCaret(int(f), digit);
            break;
        }
    }
    TextGridView::mousePressEvent(event);
}


} // namespace quorvel::shell
