#include "shell/toolbar_icons.h"

#include "shell/command_table.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStandardPaths>

#include <algorithm>

namespace quorvel::shell {

namespace {

// Toolbar images by number: a freedesktop name, or null for the ones drawn
// below (the windows, breakpoints and step count of the simulator).
const char* const kImageNames[32] = {
    "document-open",        // 0 load program
    "document-edit",        // 1 load text file into the editor
    "document-save-as",     // 2 save memory
    "document-save-all",    // 3 save screen setting
    "document-save",        // 4 save text file
    "edit-cut",             // 5
    "edit-copy",            // 6
    "edit-paste",           // 7
    "edit-find",            // 8
    "insert-text",          // 9 enter program (line assembler)
    "view-grid",            // 10 clear view
    nullptr,                // 11 registers
    nullptr,                // 12 program window
    nullptr,                // 13 SFR bit status
    nullptr,                // 14 memory bit status
    nullptr,                // 15 external data memory
    nullptr,                // 16 internal data memory
    "media-playback-start", // 17 go
    "go-jump",              // 18 go to
    nullptr,                // 19 breakpoint setting
    nullptr,                // 20 breakpoint execution
    "debug-step-into",      // 21 single step
    "debug-step-over",      // 22 step over
    nullptr,                // 23 single-step setting
    "run-build",            // 24 run assembler
    "window-close",         // 25 close all
    "help-about",           // 26 about
    "view-restore",         // 27 normal view
    "media-playback-stop",  // 28 stop execution
    "view-refresh",         // 29 reset CPU
    "media-skip-backward",  // 30 step back
    "media-seek-backward",  // 31 run backwards
};

// Menu-only commands with a standard icon.
struct NamedCommand {
    int command;
    const char* name;
};
const NamedCommand kMenuIcons[] = {
    {id::LoadData, "document-import"},
    {id::SaveTextFileAs, "document-save-as"},
    {id::LoadScreenSetting, "document-open"},
    {id::SaveScreenSettingAs, "document-save-as"},
    {id::LoadModuleSetting, "document-open"},
    {id::SaveModuleSetting, "document-save"},
    {id::Exit, "application-exit"},
    {id::Undo, "edit-undo"},
    {id::Delete, "edit-delete"},
    {id::SelectAll, "edit-select-all"},
    {id::Replace, "edit-find-replace"},
    {id::RunSetting, "configure"},
    {id::FinishSubroutine, "debug-step-out"},
    {id::RunAssembler, "run-build"},
    {id::HelpTopics, "help-contents"},
    {id::NormalView, "view-restore"},
};

// ---------------------------------------------------------------- drawings
// Each drawing works on a 22 x 22 grid; the engine scales it to the size and
// pixel ratio asked for, so edges stay sharp.

using Drawing = void (*)(QPainter&);

const QColor kInk(0x23, 0x26, 0x29);
const QColor kBlue(0x1d, 0x99, 0xf3);
const QColor kRed(0xda, 0x44, 0x53);
const QColor kGreen(0x27, 0xae, 0x60);
const QColor kOrange(0xf6, 0x74, 0x00);
const QColor kPaper(0xfc, 0xfc, 0xfc);

QPen outline(const QColor& colour, double width = 1.0) {
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// A sheet with a folded corner.
void sheet(QPainter& p) {
    QPainterPath page;
    page.moveTo(4.5, 2.5);
    page.lineTo(14.5, 2.5);
    page.lineTo(18.5, 6.5);
    page.lineTo(18.5, 19.5);
    page.lineTo(4.5, 19.5);
    page.closeSubpath();
    p.setPen(outline(kInk));
    p.setBrush(kPaper);
    p.drawPath(page);
}

// A grid of cells `columns` x `rows` starting at `origin`, `size` each; the
// cells whose bit is set in `set` (row by row, first cell bit 0) are filled.
void cells(QPainter& p, QPointF origin, int columns, int rows, double size, unsigned set,
           const QColor& fill) {
    p.setPen(outline(kInk, 0.8));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const unsigned bit = 1u << (r * columns + c);
            p.setBrush((set & bit) ? fill : kPaper);
            p.drawRect(QRectF(origin.x() + c * size, origin.y() + r * size, size, size));
        }
}

// A memory chip: body with pins above and below and a tag colour.
void memoryChip(QPainter& p, const QColor& tag) {
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(4 + i * 3.2, 3, 1.6, 2.5));
        p.drawRect(QRectF(4 + i * 3.2, 16.5, 1.6, 2.5));
    }
    p.setPen(outline(kInk));
    p.setBrush(QColor(0x31, 0x36, 0x3b));
    p.drawRect(QRectF(2.5, 5.5, 17, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(tag);
}

void registers(QPainter& p) {
    // A register file: three rows of byte-wide cells, the accumulator lit.
    p.setPen(outline(kInk));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2.5, 3.5, 17, 15));
    p.setBrush(kBlue);
    p.drawRect(QRectF(2.5, 3.5, 17, 5));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(2.5, 13.5), QPointF(19.5, 13.5));
    p.drawLine(QPointF(11, 3.5), QPointF(11, 18.5));
}

void programWindow(QPainter& p) {
    // A listing with the current line marked by an arrow.
    sheet(p);
    p.setPen(outline(kInk, 1.2));
    for (double y : {7.0, 10.0, 13.0, 16.0}) p.drawLine(QPointF(9, y), QPointF(16, y));
    QPainterPath arrow;
    arrow.moveTo(2, 8);
    arrow.lineTo(7.5, 10.5);
    arrow.lineTo(2, 13);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawPath(arrow);
}

void sfrBits(QPainter& p) {
    // One register's eight bits, a few set.
    p.setPen(outline(kInk));
    p.setBrush(kBlue);
    p.drawRect(QRectF(1.5, 4.5, 19, 4));
    cells(p, QPointF(1.5, 10.5), 4, 2, 4.75, 0b10010110, kOrange);
}

void memoryBits(QPainter& p) {
    // A field of bits in memory.
    cells(p, QPointF(2.5, 2.5), 4, 4, 4.25, 0b1010010110100101, kGreen);
}

void externalMemory(QPainter& p) {
    memoryChip(p, kOrange);
    // An arrow leaving the chip: memory outside the microcontroller.
    p.drawRect(QRectF(5, 9.5, 7, 3));
    QPainterPath head;
    head.moveTo(11.5, 7.5);
    head.lineTo(17, 11);
    head.lineTo(11.5, 14.5);
    head.closeSubpath();
    p.drawPath(head);
}

void internalMemory(QPainter& p) {
    memoryChip(p, kGreen);
    // A lit block inside the chip: memory on the chip itself.
    p.drawRect(QRectF(7, 8.5, 8, 5));
}

void breakpointDot(QPainter& p, QPointF centre, double radius) {
    p.setPen(outline(QColor(0x9a, 0x1c, 0x28)));
    p.setBrush(kRed);
    p.drawEllipse(centre, radius, radius);
}

void breakpointSetting(QPainter& p) {
    // The breakpoint and the lines of its condition.
    breakpointDot(p, QPointF(7, 7), 4.5);
    p.setPen(outline(kInk, 1.6));
    p.drawLine(QPointF(13, 13), QPointF(20, 13));
    p.drawLine(QPointF(3, 17), QPointF(20, 17));
    p.drawLine(QPointF(13, 9), QPointF(20, 9));
}

void breakpointExecution(QPainter& p) {
    // Run until the breakpoint.
    QPainterPath play;
    play.moveTo(2.5, 3);
    play.lineTo(14, 11);
    play.lineTo(2.5, 19);
    play.closeSubpath();
    p.setPen(outline(QColor(0x1e, 0x80, 0x49)));
    p.setBrush(kGreen);
    p.drawPath(play);
    breakpointDot(p, QPointF(16.5, 11), 4);
}

void stepSetting(QPainter& p) {
    // A staircase: how many steps one Single Step takes.
    QPainterPath stairs;
    stairs.moveTo(2.5, 19.5);
    stairs.lineTo(2.5, 15.5);
    stairs.lineTo(8.5, 15.5);
    stairs.lineTo(8.5, 10.5);
    stairs.lineTo(14.5, 10.5);
    stairs.lineTo(14.5, 5.5);
    stairs.lineTo(19.5, 5.5);
    stairs.lineTo(19.5, 19.5);
    stairs.closeSubpath();
    p.setPen(outline(kInk));
    p.setBrush(kOrange);
    p.drawPath(stairs);
}

Drawing drawingOf(int image) {
    switch (image) {
    case 11: return registers;
    case 12: return programWindow;
    case 13: return sfrBits;
    case 14: return memoryBits;
    case 15: return externalMemory;
    case 16: return internalMemory;
    case 19: return breakpointSetting;
    case 20: return breakpointExecution;
    case 23: return stepSetting;
    default: return nullptr;
    }
}

// Paints a drawing at any size and device-pixel ratio; grayed and faded when
// disabled.
class PaintedIcon final : public QIconEngine {
public:
    explicit PaintedIcon(Drawing drawing) : drawing_(drawing) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const double side = std::min(rect.width(), rect.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
        painter->scale(side / 22.0, side / 22.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.35);
        drawing_(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `size` is in device pixels already (the logical size times `scale`).
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, QRect(QPoint(0, 0), pixmap.size()), mode, state);
        }
        if (mode == QIcon::Disabled) pixmap = grayed(pixmap);
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QIconEngine* clone() const override { return new PaintedIcon(drawing_); }
    QString key() const override { return "QuorvelPaintedIcon"; }

private:
    static QPixmap grayed(const QPixmap& pixmap) {
        QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int g = qGray(line[x]);
                line[x] = qRgba(g, g, g, qAlpha(line[x]));
            }
        }
        return QPixmap::fromImage(image);
    }

    Drawing drawing_;
};

// The program's icon drawn by code, used when the SVG image support of Qt is
// not installed: the same chip as quorvel.svg.
void chip(QPainter& p) {
    p.setPen(outline(QColor(0x6b, 0x70, 0x79), 0.4));
    p.setBrush(QColor(0xb8, 0xbc, 0xc4));
    for (int i = 0; i < 6; ++i) {
        const double y = 3.4 + i * 2.75;
        p.drawRect(QRectF(1.4, y, 3.4, 1.4));
        p.drawRect(QRectF(17.2, y, 3.4, 1.4));
    }
    p.setPen(outline(QColor(0x14, 0x16, 0x1c), 0.7));
    p.setBrush(QColor(0x2b, 0x2f, 0x3a));
    p.drawRoundedRect(QRectF(4.5, 1.4, 13, 19.2), 1.4, 1.4);
    p.setBrush(QColor(0x4a, 0x50, 0x5e));
    p.drawChord(QRectF(8.9, -0.7, 4.2, 4.2), 180 * 16, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x48, 0xd6, 0x6a));
    p.drawRect(QRectF(8, 9, 6, 5));
}

} // namespace

void useIconTheme() {
    // Desktop platforms list the XDG icon folders themselves; others (the
    // offscreen platform, a bare X server) list none: add them.
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, "icons", QStandardPaths::LocateDirectory))
        if (!paths.contains(folder)) paths << folder;
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName("breeze");
    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == "hicolor") QIcon::setThemeName("breeze");
}

const char* toolbarIconName(int image) { return image >= 0 && image < 32 ? kImageNames[image] : nullptr; }

QIcon toolbarIcon(int image) {
    if (Drawing drawing = drawingOf(image)) return QIcon(new PaintedIcon(drawing));
    const char* name = toolbarIconName(image);
    return name ? QIcon::fromTheme(QString::fromLatin1(name)) : QIcon();
}

QIcon commandIcon(int command) {
    for (const ToolbarSlot& slot : toolbarSlots())
        if (slot.id == command) return toolbarIcon(slot.image);
    for (const NamedCommand& entry : kMenuIcons)
        if (entry.command == command) return QIcon::fromTheme(QString::fromLatin1(entry.name));
    return {};
}

QIcon applicationIcon() {
    QIcon svg(":/quorvel/quorvel.svg");
    if (!svg.pixmap(16).isNull()) return svg;
    return QIcon(new PaintedIcon(chip));
}

} // namespace quorvel::shell
