#include "shell/modules/key_painter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace quorvel::shell {

void paintKeyButton(QPainter& p, const QRect& rect, const QString& caption, bool pressed, bool enabled) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    constexpr qreal kRadius = 5;

    // The well the key sits in.
    QPainterPath well;
    well.addRoundedRect(outer, kRadius, kRadius);
    p.fillPath(well, QColor(64, 66, 72));

    // The cap: raised with a lit top edge, or pushed down and darker.
    const qreal lift = pressed ? 1.0 : 2.5;
    QRectF cap = outer.adjusted(1.5, 1.5, -1.5, -1.5 - lift);
    if (pressed) cap.translate(0, 1.0);
    QLinearGradient face(cap.topLeft(), cap.bottomLeft());
    if (pressed) {
        face.setColorAt(0, QColor(170, 174, 182));
        face.setColorAt(1, QColor(198, 201, 208));
    } else {
        face.setColorAt(0, QColor(250, 250, 252));
        face.setColorAt(1, QColor(212, 215, 222));
    }
    QPainterPath capPath;
    capPath.addRoundedRect(cap, kRadius - 1, kRadius - 1);
    if (!pressed) {
        // The cap's side, seen below its face.
        QPainterPath side;
        side.addRoundedRect(cap.translated(0, lift), kRadius - 1, kRadius - 1);
        p.fillPath(side, QColor(140, 143, 152));
    }
    p.fillPath(capPath, face);
    p.strokePath(capPath, QPen(pressed ? QColor(110, 112, 120) : QColor(160, 163, 172), 1));

    p.setPen(enabled ? QColor(20, 20, 24) : QColor(140, 140, 140));
    p.drawText(cap, Qt::AlignCenter, caption);
    p.restore();
}

} // namespace quorvel::shell
