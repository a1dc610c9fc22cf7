#include "shell/views/text_grid_view.h"

#include "shell/clear_view_title.h"

#include "shell/view_context.h"

#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quorvel::shell {

QFont textViewFont() {
    // The system's fixed-pitch font, made small enough that a line (font
    // height, leading and 8 pixels) stays within 21 pixels: fourteen lines
    // then fill the 300-pixel Clear View tiles, as the register grid needs.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QFontMetrics metrics(font);
    int pixels = metrics.height();
    while (pixels > 9 && metrics.height() + metrics.leading() + 8 > 21) {
        font.setPixelSize(--pixels);
        metrics = QFontMetrics(font);
    }
    // The views place text on a grid of whole-pixel cells. A font whose
    // characters advance by a fraction of a pixel (Noto Sans Mono at most
    // sizes) would drift off that grid along a run and lose its last
    // character to the cell's edge: a little spacing after each character
    // makes the advance the next whole pixel.
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('M'));
    if (const qreal extra = std::ceil(advance) - advance; extra > 0.001)
        font.setLetterSpacing(QFont::AbsoluteSpacing, extra);
    return font;
}

int textCellWidth(const QFont& font) {
    // Measured along a run: a single character's advance leaves out the
    // letter spacing.
    constexpr int kRun = 16;
    return std::max(1, qRound(QFontMetricsF(font).horizontalAdvance(QString(kRun, QLatin1Char('M'))) / kRun));
}

QFont listFont() { return QFontDatabase::systemFont(QFontDatabase::FixedFont); }

TextGridView::TextGridView(ViewContext& context) : context_(context) { setTextFont(textViewFont()); }

bool TextGridView::clearView() const { return context_.viewMode() == ViewMode::Clear; }

void TextGridView::drawCells(QPainter& painter, double column, int row, const QString& text,
                             const QColor& colour, int xScroll) const {
    painter.setPen(colour);
    const QRect cell(int(std::lround(column * charWidth())) - xScroll, row * lineHeight(),
                     int(text.size()) * charWidth(), lineHeight());
    painter.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter, text);
}

void TextGridView::drawTitle(QPainter& painter, const QString& title) const {
    paintClearViewTitle(painter, QRect(0, 0, width(), lineHeight()), title, hasFocus(), charWidth() / 2);
}

QPoint TextGridView::cellAt(const QPoint& pixel, double firstColumn, int xScroll) const {
    const double x = pixel.x() + xScroll - firstColumn * charWidth();
    return {int(std::floor(x / charWidth())), pixel.y() / lineHeight()};
}

void TextGridView::focusInEvent(QFocusEvent* event) {
    ScrolledView::focusInEvent(event);
    update();
}

void TextGridView::focusOutEvent(QFocusEvent* event) {
    ScrolledView::focusOutEvent(event);
    update();
}

} // namespace quorvel::shell
