#include "shell/toolbar_icons.h"

#include <QPainter>
#include <QPixmap>

namespace quorvel::shell {

namespace {

// Each image: a short glyph on a coloured plate. Index = image number.
struct Glyph {
    const char* text;
    QRgb colour;
};

const Glyph kGlyphs[30] = {
    {"LP", 0x1f5fbf},  // 0 load program
    {"LT", 0x1f5fbf},  // 1 load text
    {"SM", 0x2f8f2f},  // 2 save memory
    {"SS", 0x2f8f2f},  // 3 save screen
    {"ST", 0x2f8f2f},  // 4 save text
    {"X", 0x7f7f7f},   // 5 cut
    {"C", 0x7f7f7f},   // 6 copy
    {"P", 0x7f7f7f},   // 7 paste
    {"F", 0x7f7f7f},   // 8 find
    {"EP", 0x8f3f8f},  // 9 enter program
    {"CV", 0x3f3f3f},  // 10 clear view
    {"R", 0x1f7f9f},   // 11 registers
    {"PW", 0x1f7f9f},  // 12 program window
    {"SB", 0x1f7f9f},  // 13 SFR bits
    {"MB", 0x1f7f9f},  // 14 memory bits
    {"XD", 0x1f7f9f},  // 15 external data
    {"ID", 0x1f7f9f},  // 16 internal data
    {"G", 0x1f9f1f},   // 17 go
    {"GT", 0x1f9f1f},  // 18 go to
    {"BS", 0xbf1f1f},  // 19 breakpoint setting
    {"BE", 0xbf1f1f},  // 20 breakpoint execution
    {"S", 0xbf7f00},   // 21 single step
    {"SO", 0xbf7f00},  // 22 step over
    {"#", 0xbf7f00},   // 23 step setting
    {"A", 0x5f3f1f},   // 24 run assembler
    {"CA", 0x3f3f3f},  // 25 close all
    {"?", 0x3f3f7f},   // 26 about
    {"NV", 0x3f3f3f},  // 27 normal view
    {"■", 0xdf0000},   // 28 stop
    {"RS", 0x9f0000},  // 29 reset
};

} // namespace

QIcon toolbarIcon(int image) {
    const Glyph& g = kGlyphs[(image >= 0 && image < 30) ? image : 0];
    QPixmap pixmap(17, 15);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor::fromRgb(g.colour));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0.5, 0.5, 16, 14), 3, 3);
    QFont font = p.font();
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 17, 15), Qt::AlignCenter, QString::fromUtf8(g.text));
    return QIcon(pixmap);
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const double unit = size / 16.0;
        // Pins down both long sides, then the dark body with its notch and
        // a green "51".
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xc0, 0xc0, 0xc0));
        for (int pin = 0; pin < 5; ++pin) {
            const double y = (2.5 + pin * 2.5) * unit;
            p.drawRect(QRectF(1 * unit, y, 2 * unit, 1.2 * unit));
            p.drawRect(QRectF(13 * unit, y, 2 * unit, 1.2 * unit));
        }
        p.setBrush(QColor(0x20, 0x20, 0x28));
        p.drawRoundedRect(QRectF(3 * unit, 1 * unit, 10 * unit, 14 * unit), unit, unit);
        p.setBrush(QColor(0x60, 0x60, 0x68));
        p.drawEllipse(QPointF(8 * unit, 1.5 * unit), 1.5 * unit, 1.2 * unit);
        QFont font = p.font();
        font.setPixelSize(std::max(6, int(5 * unit)));
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(0x40, 0xe0, 0x60));
        p.drawText(QRectF(3 * unit, 3 * unit, 10 * unit, 11 * unit), Qt::AlignCenter, "51");
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace quorvel::shell
