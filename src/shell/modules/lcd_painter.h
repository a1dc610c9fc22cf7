// Draws the LCD module's glass: one 25 x 37 cell per character at
// x = 10 + 25 * column, y = 10 + 37 * row, each a grid of 5 x 8 dots, lit and
// unlit, on a yellow back-lit or a white plain background. The cursor is the
// eighth dot row of its cell lit; with blink the cell alternates with the full
// block. Everything is filled rectangles, so it stays sharp at any
// device-pixel ratio.
#pragma once

#include "modules/lcd_controller.h"
#include "shell/modules/lcd_font.h"

#include <QColor>
#include <QPoint>
#include <QSize>

class QPainter;

namespace quorvel::shell {

struct LcdColours {
    QColor background, litDot, unlitDot;
};
// The glass with back light (yellow) or without (white).
LcdColours lcdColours(bool backLight);

constexpr int kLcdCellWidth = 25, kLcdCellHeight = 37, kLcdMargin = 10;
// Dot geometry inside a cell: 3 x 3 pixel dots on a 4 pixel pitch.
constexpr int kLcdDotLeft = 3, kLcdDotTop = 2, kLcdDotPitch = 4, kLcdDotSize = 3;

// Top-left corner of the cell in `row`, `column`.
constexpr QPoint lcdCellOrigin(int row, int column) {
    return {kLcdMargin + kLcdCellWidth * column, kLcdMargin + kLcdCellHeight * row};
}
// The centre of dot (`dotRow`, `dotColumn`) of a cell, for tests that look.
constexpr QPoint lcdDotCentre(int row, int column, int dotRow, int dotColumn) {
    return lcdCellOrigin(row, column) +
           QPoint(kLcdDotLeft + kLcdDotPitch * dotColumn + kLcdDotSize / 2,
                  kLcdDotTop + kLcdDotPitch * dotRow + kLcdDotSize / 2);
}
// The window's client size for a display size: the cells with equal margins.
QSize lcdClientSize(uint8_t lcdOptions);

// The dots of the character with shown code `code` (`lcdShownCode`):
// user-defined characters from the picture's character-generator memory,
// the others from the ROM.
LcdGlyph lcdCharacterDots(const LcdPicture& picture, uint8_t code);

// One cell's dots at `origin`.
void paintLcdGlyph(QPainter& painter, QPoint origin, const LcdGlyph& dots,
                   const LcdColours& colours);
// The whole display: background, every cell, and the cursor while
// `cursorPhase` (the 500 ms blink phase: true = block shown) says so.
void paintLcd(QPainter& painter, const LcdPicture& picture, bool cursorPhase);

} // namespace quorvel::shell
