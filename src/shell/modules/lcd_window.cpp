#include "shell/modules/lcd_window.h"

#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/modules/lcd_painter.h"
#include "shell/views/view_table.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTimer>

namespace quorvel::shell {

LcdWindow::LcdWindow(ViewContext& context) : context_(context) {
    setObjectName("MdiLCDChild");
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Opening the window cleans the stored lines and options.
    context_.runControl().edit([&] {
        cleanLcdSettings(context_.machine().modules.settings);
        takePicture();
    });
    setWindowTitle(lcdGeometry(picture_.options).title);
    setFixedSize(lcdClientSize(picture_.options));
    cursorTimer_ = new QTimer(this);
    cursorTimer_->setInterval(500);
    connect(cursorTimer_, &QTimer::timeout, this, &LcdWindow::blink);
    cursorTimer_->start();
}

int LcdWindow::viewCommand() const { return id::LcdWindow; }

QSize LcdWindow::sizeHint() const { return lcdClientSize(picture_.options); }

LcdWindow::Seen LcdWindow::seen() const {
    const ModuleState& modules = context_.machine().modules;
    const LcdController& lcd = modules.lcd;
    return {lcd.changeCount, uint8_t(lcd.LcdDisplayFlags & ~kLcdBusy),
            uint8_t(lcd.LcdFunctionFlags & ~kLcdNibblePhase), lcd.addressCounter,
            modules.settings.LcdOptions};
}

void LcdWindow::takePicture() {
    const ModuleState& modules = context_.machine().modules;
    seen_ = seen();
    LcdPicture next = lcdPicture(modules.lcd, modules.settings.LcdOptions);
    if (next == picture_) return;
    picture_ = next;
    update();
}

void LcdWindow::refreshView() { takePicture(); }

void LcdWindow::moduleTick() {
    if (seen() != seen_) takePicture();
}

void LcdWindow::applySettings() {
    takePicture();
    setWindowTitle(lcdGeometry(picture_.options).title);
    if (auto* window = qobject_cast<QMdiSubWindow*>(parentWidget()))
        window->setWindowTitle(windowTitle());
    setFixedSize(lcdClientSize(picture_.options));
    fitWindow();
    update();
}

// The sub-window takes the display's size and keeps it: no resizing, no
// maximise button.
void LcdWindow::fitWindow() {
    auto* window = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!window) return;
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->adjustSize();
    window->setFixedSize(window->size());
}

bool LcdWindow::event(QEvent* event) {
    const bool handled = View::event(event);
    if (event->type() == QEvent::ParentChange) {
        if (auto* window = qobject_cast<QMdiSubWindow*>(parentWidget()))
            window->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    } else if (event->type() == QEvent::Show) {
        fitWindow();
    }
    return handled;
}

void LcdWindow::blink() {
    cursorPhase_ = !cursorPhase_;
    if (picture_.displayOn && picture_.cursor && picture_.blink && picture_.cursorRow >= 0)
        update(QRect(lcdCellOrigin(picture_.cursorRow, picture_.cursorColumn),
                     QSize(kLcdCellWidth, kLcdCellHeight)));
}

void LcdWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintLcd(painter, picture_, cursorPhase_);
}

View* createLcdWindow(const ViewSources& sources) { return new LcdWindow(sources.context); }

} // namespace quorvel::shell
