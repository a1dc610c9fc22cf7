#include "shell/modules/led_painter.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace quorvel::shell {

namespace {

constexpr int kLeft = 10, kTop = 10;
constexpr int kStep = 60;      // from one item to the next
constexpr int kLastX = 430;    // the row's last item; the next row starts 80 pixels lower
constexpr int kRowStep = 80;
constexpr int kDigitsBelowLeds = 60;
constexpr int kPointLabel = 30; // the line name lies this far below an LED's top
constexpr int kDigitLabel = 56; // "Digit%1d" lies this far below a digit's top

const QColor kBackground(24, 24, 28);
const QColor kLabel(205, 205, 205);

struct Shades {
    QColor lit, litCore, dark, darkEdge;
};
const Shades kRed{QColor(255, 36, 24), QColor(255, 190, 160), QColor(86, 22, 22), QColor(58, 14, 14)};
const Shades kGreen{QColor(40, 235, 70), QColor(200, 255, 200), QColor(20, 78, 32), QColor(12, 52, 20)};

// A bar of the digit: a long hexagon with pointed ends, as display segments are.
QPainterPath barPath(QRectF r) {
    QPainterPath path;
    if (r.width() >= r.height()) {
        const qreal h = r.height() / 2;
        path.moveTo(r.left(), r.top() + h);
        path.lineTo(r.left() + h, r.top());
        path.lineTo(r.right() - h, r.top());
        path.lineTo(r.right(), r.top() + h);
        path.lineTo(r.right() - h, r.bottom());
        path.lineTo(r.left() + h, r.bottom());
    } else {
        const qreal w = r.width() / 2;
        path.moveTo(r.left() + w, r.top());
        path.lineTo(r.right(), r.top() + w);
        path.lineTo(r.right(), r.bottom() - w);
        path.lineTo(r.left() + w, r.bottom());
        path.lineTo(r.left(), r.bottom() - w);
        path.lineTo(r.left(), r.top() + w);
    }
    path.closeSubpath();
    return path;
}

void paintElement(QPainter& p, const QPainterPath& path, const Shades& shades, bool lit) {
    if (lit) {
        // A soft glow around the lit element, then the element itself.
        QColor glow = shades.lit;
        glow.setAlpha(70);
        p.strokePath(path, QPen(glow, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.fillPath(path, shades.lit);
    } else {
        p.fillPath(path, shades.dark);
        p.strokePath(path, QPen(shades.darkEdge, 0.8));
    }
}

// Segment k's rectangle, relative to the digit's top left.
QRectF segmentRect(int k) {
    switch (k) {
    case 0: return {4, 0, 20, 5};   // a
    case 1: return {23, 4, 5, 20};  // b
    case 2: return {23, 27, 5, 20}; // c
    case 3: return {4, 46, 20, 5};  // d
    case 4: return {0, 27, 5, 20};  // e
    case 5: return {0, 4, 5, 20};   // f
    case 6: return {4, 23, 20, 5};  // g
    default: return {30, 46, 5, 5}; // dp
    }
}

} // namespace

std::vector<LedItem> ledWindowLayout(const ModuleSettings& settings, uint32_t availableMask,
                                     int digitCount) {
    std::vector<LedItem> items;
    int x = kLeft, y = kTop, rowY = kTop;
    auto advance = [&] {
        rowY = y;
        if (x == kLastX) {
            x = kLeft;
            y += kRowStep;
        } else {
            x += kStep;
        }
    };
    const uint32_t leds = portMaskWord(settings.LedConnected) & availableMask;
    for (int i = 0; i < 32; ++i) {
        if (!((leds >> i) & 1u)) continue;
        items.push_back({LedItem::Point, i, QPoint(x, y)});
        advance();
    }
    if (!items.empty()) {
        x = kLeft;
        y = rowY + kDigitsBelowLeds;
    }
    for (int d = 0; d < digitCount; ++d) {
        items.push_back({LedItem::Digit, d, QPoint(x, y)});
        advance();
    }
    return items;
}

QSize ledWindowExtent(const std::vector<LedItem>& items) {
    int right = 0, bottom = 0;
    for (const LedItem& item : items) {
        right = std::max(right, item.at.x() + kStep);
        bottom = std::max(bottom, item.at.y() + (item.kind == LedItem::Point ? 50 : 74));
    }
    return {right, bottom + kTop};
}

bool LedPicture::operator==(const LedPicture& o) const {
    return items == o.items && shown.pointConnected == o.shown.pointConnected &&
           shown.pointLit == o.shown.pointLit && shown.digitCount == o.shown.digitCount &&
           shown.digits == o.shown.digits && pointGreen == o.pointGreen &&
           digitGreen == o.digitGreen;
}

void paintPointLed(QPainter& p, QPoint at, bool green, bool lit) {
    const Shades& s = green ? kGreen : kRed;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(at, QSizeF(24, 24));
    // The metal rim, then the dome inside it.
    QLinearGradient rim(box.topLeft(), box.bottomRight());
    rim.setColorAt(0, QColor(190, 190, 196));
    rim.setColorAt(1, QColor(70, 70, 76));
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
    const QRectF dome = box.adjusted(3, 3, -3, -3);
    QRadialGradient light(dome.center() - QPointF(2, 2), dome.width() * 0.65);
    if (lit) {
        light.setColorAt(0, s.litCore);
        light.setColorAt(0.45, s.lit);
        light.setColorAt(1, s.lit.darker(150));
    } else {
        light.setColorAt(0, s.dark.lighter(160));
        light.setColorAt(1, s.darkEdge);
    }
    p.setBrush(light);
    p.drawEllipse(dome);
    // A small reflection on the dome.
    p.setBrush(QColor(255, 255, 255, lit ? 150 : 60));
    p.drawEllipse(QRectF(dome.left() + 3.5, dome.top() + 3, 5, 3.5));
    p.restore();
}

void paintDigit(QPainter& p, QPoint at, SegmentPattern pattern, bool green) {
    const Shades& s = green ? kGreen : kRed;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(at);
    // Dark elements first, so the glow of a lit one lies over its neighbours.
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k < 8; ++k) {
            const bool lit = (pattern >> k) & 1u;
            if (lit != (pass == 1)) continue;
            QPainterPath path;
            if (k == 7) path.addEllipse(segmentRect(k));
            else path = barPath(segmentRect(k));
            paintElement(p, path, s, lit);
        }
    p.restore();
}

void paintLedPicture(QPainter& p, const LedPicture& picture, QSize area) {
    p.fillRect(QRect(QPoint(0, 0), area), kBackground);
    p.setPen(kLabel);
    for (const LedItem& item : picture.items) {
        if (item.kind == LedItem::Point) {
            paintPointLed(p, item.at, picture.pointGreen, (picture.shown.pointLit >> item.index) & 1u);
            p.setPen(kLabel);
            p.drawText(QRect(item.at.x() - 13, item.at.y() + kPointLabel, 50, 16), Qt::AlignHCenter | Qt::AlignTop,
                       QString::asprintf("P%1d.%1d", item.index / 8, item.index % 8));
        } else {
            paintDigit(p, item.at, picture.shown.digits[size_t(item.index)], picture.digitGreen);
            p.setPen(kLabel);
            p.drawText(QRect(item.at.x() - 12, item.at.y() + kDigitLabel, 60, 16), Qt::AlignHCenter | Qt::AlignTop,
                       QString::asprintf("Digit%1d", item.index + 1));
        }
    }
}

} // namespace quorvel::shell
