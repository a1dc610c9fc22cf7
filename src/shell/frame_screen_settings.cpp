// The frame's side of the screen-settings files: the layout Normal View
// restores as a file holds it, taking a file's layout and view mode, and the
// start addresses of the program and data memory views that simulator.dat
// keeps.
#include "shell/frame.h"
#include "shell/program_view.h"
#include "shell/views/memory_view.h"
#include "shell/views/view_table.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include <algorithm>

namespace quorvel::shell {

namespace {

// A file stores a window handle and a window style per record; only "not 0 =
// open" is read back. These are the values written for an open window.
constexpr uint32_t kFrameHandle = 0x00000100;
constexpr uint32_t kFirstViewHandle = 50000; // the MDI client's first child id
constexpr uint32_t kFrameStyle = 0x16CF0000; // overlapped window, visible, clip children
constexpr uint32_t kViewStyle = 0x56CF0000;  // MDI child: child, visible, clip siblings
constexpr uint32_t kMaximizedStyle = 0x01000000, kMinimizedStyle = 0x20000000;

// A view smaller than this could not be found again, one larger than this
// is no window a screen shows: a file's sizes are kept between the two.
constexpr int kMinViewSide = 60, kMaxSide = 8192;

uint16_t* startField(AppConfig& config, int command) {
    switch (command) {
    case id::ProgramWindow: return &config.programViewStart;
    case id::ExternalMemoryWindow: return &config.externalViewStart;
    case id::InternalMemoryWindow: return &config.internalViewStart;
    default: return nullptr;
    }
}

void keepStart(AppConfig& config, const View* view) {
    uint16_t* field = startField(config, view->viewCommand());
    if (!field) return;
    if (auto* program = qobject_cast<const ProgramView*>(view))
        *field = program->top();
    else if (auto* memory = qobject_cast<const MemoryView*>(view))
        *field = uint16_t(memory->top());
}

// Keeps a view's start address when its window closes.
class ViewStartKeeper final : public QObject {
public:
    ViewStartKeeper(AppConfig& config, View* view) : QObject(view), config_(config), view_(view) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) keepStart(config_, view_);
        return QObject::eventFilter(watched, event);
    }

private:
    AppConfig& config_;
    View* view_;
};

// A frame rectangle from a file that lies wholly off the screen comes back at
// the screen's corner, at most the screen's size.
QRect onScreen(QRect rect) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return rect;
    const QRect area = screen->availableGeometry();
    rect.setSize(rect.size().boundedTo(area.size()).expandedTo(QSize(200, 150)));
    if (!rect.intersects(area)) rect.moveTopLeft(area.topLeft());
    return rect;
}

} // namespace

ScreenSettings Frame::storedScreenSettings() const {
    ScreenSettings settings;
    settings.viewMode = viewMode_;
    settings.ClearViewBitWindow = clearViewBitWindow_ ? 1 : 0;
    const auto record = [](const WindowPlace& place, uint32_t handle, uint32_t style) {
        WindowPlacement p;
        if (place.state == WindowPlace::Closed) return p;
        p.handle = handle;
        p.state = uint8_t(place.state);
        p.x = place.geometry.x();
        p.y = place.geometry.y();
        p.width = place.geometry.width();
        p.height = place.geometry.height();
        p.style = style | (place.state == WindowPlace::Maximised   ? kMaximizedStyle
                           : place.state == WindowPlace::Minimised ? kMinimizedStyle
                                                                   : 0);
        return p;
    };
    settings.layout[0] = record(framePlace_, kFrameHandle, kFrameStyle);
    const auto views = viewTable();
    for (size_t i = 0; i < views.size() && i + 1 < settings.layout.size(); ++i) {
        auto it = viewPlaces_.find(views[i].command);
        if (it != viewPlaces_.end())
            settings.layout[i + 1] = record(it->second, kFirstViewHandle + uint32_t(i), kViewStyle);
    }
    return settings;
}

void Frame::setStoredScreenSettings(const ScreenSettings& settings) {
    clearViewBitWindow_ = settings.ClearViewBitWindow != 0;
    const auto place = [](const WindowPlacement& p, bool frame) {
        WindowPlace result;
        if (p.handle == 0 || p.state == 0 || p.state > 3) return result;
        result.state = WindowPlace::State(p.state);
        QRect rect(p.x, p.y, std::clamp(p.width, frame ? 200 : kMinViewSide, kMaxSide),
                   std::clamp(p.height, frame ? 150 : kMinViewSide, kMaxSide));
        // A view's corner stays where its title bar can still be reached.
        if (!frame)
            rect.moveTopLeft(QPoint(std::clamp(rect.x(), -rect.width() + kMinViewSide, kMaxSide),
                                    std::clamp(rect.y(), 0, kMaxSide)));
        result.geometry = frame ? onScreen(rect) : rect;
        return result;
    };
    framePlace_ = place(settings.layout[0], true);
    viewPlaces_.clear();
    const auto views = viewTable();
    for (size_t i = 0; i < views.size() && i + 1 < settings.layout.size(); ++i)
        viewPlaces_[views[i].command] = place(settings.layout[i + 1], false);
}

ScreenSettings Frame::captureScreenSettings() {
    captureLayout();
    return storedScreenSettings();
}

void Frame::applyScreenSettings(const ScreenSettings& settings) {
    if (viewMode_ == ViewMode::Clear && settings.viewMode == ViewMode::Clear) {
        // Already in Clear View: the arrangement is built again with the
        // file's bit-window choice, and Normal View keeps returning to the
        // layout it had.
        leaveClearView();
        clearViewBitWindow_ = settings.ClearViewBitWindow != 0;
        enterClearView();
        return;
    }
    setStoredScreenSettings(settings);
    // The switch runs from the other mode, so that it ends in the file's.
    viewMode_ = settings.viewMode == ViewMode::Clear ? ViewMode::Normal : ViewMode::Clear;
    toggleViewMode();
}

void Frame::trackViewStart(View* view) {
    uint16_t* field = startField(config_, view->viewCommand());
    if (!field) return;
    if (auto* program = qobject_cast<ProgramView*>(view))
        program->setTop(*field);
    else if (auto* memory = qobject_cast<MemoryView*>(view))
        memory->goToAddress(*field);
    if (QWidget* window = view->parentWidget()) window->installEventFilter(new ViewStartKeeper(config_, view));
}

void Frame::keepViewStarts() {
    for (QMdiSubWindow* window : mdi_->subWindowList())
        if (auto* view = qobject_cast<View*>(window->widget())) keepStart(config_, view);
}

} // namespace quorvel::shell
