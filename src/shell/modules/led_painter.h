// Drawing of the LED window: point LEDs (24 x 24) and seven-segment digits
// built from bars (20 x 5 and 5 x 20) and a 5 x 5 dot, each lit or dark, red
// or green, and where every item of the window lies. Everything is drawn
// with vector shapes, so it stays sharp at any device-pixel ratio; a test
// can render a picture into an image.
#pragma once

#include "modules/led_display.h"

#include <QPoint>
#include <QSize>
#include <vector>

class QPainter;

namespace quorvel::shell {

struct LedItem {
    enum Kind : uint8_t { Point, Digit } kind;
    int index; // pin index of a point LED, digit number (0-based) of a digit
    QPoint at; // top left of the LED image or of the digit's bars

    bool operator==(const LedItem&) const = default;
};

// Items left to right from x = 10 in steps of 60 pixels, eight to a row,
// rows 80 pixels apart: first a point LED for every available line with an
// LED, then (60 pixels below the last LED row, if any) `digitCount` digits.
std::vector<LedItem> ledWindowLayout(const ModuleSettings& settings, uint32_t availableMask,
                                     int digitCount);
// The size the items and their labels need, with a margin.
QSize ledWindowExtent(const std::vector<LedItem>& items);

// Everything the window shows: compared as a whole, so the window repaints
// only when something visible changed.
struct LedPicture {
    std::vector<LedItem> items;
    LedEvaluation shown;
    bool pointGreen = false;
    bool digitGreen = false;

    bool operator==(const LedPicture& other) const;
};

// A point LED with its top left at `at`.
void paintPointLed(QPainter& painter, QPoint at, bool green, bool lit);
// A digit with its top left at `at`; bit k of `pattern` lights segment k (a ... g, dp).
void paintDigit(QPainter& painter, QPoint at, SegmentPattern pattern, bool green);
// The whole window: background, items and their labels ("P%1d.%1d" 30
// pixels below a point LED, "Digit%1d" 56 pixels below a digit's top).
void paintLedPicture(QPainter& painter, const LedPicture& picture, QSize area);

} // namespace quorvel::shell
