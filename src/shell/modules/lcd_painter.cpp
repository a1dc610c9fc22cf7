#include "shell/modules/lcd_painter.h"

#include <QPainter>

namespace quorvel::shell {

LcdColours lcdColours(bool backLight) {
    if (backLight) // yellow-green glass lit from behind, dark green dots
        return {QColor(0xE6, 0xE4, 0x3C), QColor(0x1F, 0x2E, 0x0C), QColor(0xD8, 0xD6, 0x38)};
    // Plain reflective glass: grey-blue dots on white.
    return {QColor(0xFF, 0xFF, 0xFF), QColor(0x1C, 0x24, 0x30), QColor(0xEC, 0xEE, 0xF0)};
}

QSize lcdClientSize(uint8_t options) {
    const LcdGeometry& g = lcdGeometry(options);
    return {2 * kLcdMargin + kLcdCellWidth * g.columns, 2 * kLcdMargin + kLcdCellHeight * g.rows};
}

LcdGlyph lcdCharacterDots(const LcdPicture& picture, uint8_t code) {
    if (!lcdUserCharacter(code)) return lcdRomGlyph(code);
    LcdGlyph dots{};
    for (size_t r = 0; r < dots.size(); ++r)
        dots[r] = picture.cgMemory[size_t(code) * 8 + r] & 0x1F;
    return dots;
}

void paintLcdGlyph(QPainter& painter, QPoint origin, const LcdGlyph& dots,
                   const LcdColours& colours) {
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 5; ++c) {
            const bool lit = (dots[size_t(r)] >> (4 - c)) & 1;
            painter.fillRect(origin.x() + kLcdDotLeft + kLcdDotPitch * c,
                             origin.y() + kLcdDotTop + kLcdDotPitch * r, kLcdDotSize, kLcdDotSize,
                             lit ? colours.litDot : colours.unlitDot);
        }
}

void paintLcd(QPainter& painter, const LcdPicture& picture, bool cursorPhase) {
    const LcdGeometry& g = lcdGeometry(picture.options);
    const LcdColours colours = lcdColours(picture.options & kLcdBackLight);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), lcdClientSize(picture.options)), colours.background);
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.columns; ++c) {
            LcdGlyph dots = lcdCharacterDots(picture, picture.cells[size_t(r)][size_t(c)]);
            if (picture.displayOn && picture.cursor && r == picture.cursorRow &&
                c == picture.cursorColumn) {
                if (picture.blink && cursorPhase) dots = lcdRomGlyph(0xFF);
                dots[7] = 0x1F; // the underline in the cursor row
            }
            paintLcdGlyph(painter, lcdCellOrigin(r, c), dots, colours);
        }
    painter.restore();
}

} // namespace quorvel::shell
