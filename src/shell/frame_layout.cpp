// The Clear View switch: a fixed arrangement of the main views as captionless
// tiles, and the way back to the window layout the user had before.
#include "shell/frame.h"
#include "shell/program_view.h"
#include "shell/views/view_table.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolBar>

#include <algorithm>

namespace quorvel::shell {

namespace {

// Commands with no use in the fixed arrangement: the window arrangement, the
// editor's files, the module windows and settings, and the layout files.
constexpr int kGrayedInClearView[] = {
    id::Cascade, id::TileHorizontally, id::TileVertically, id::ArrangeIcons, id::CloseAll,
    id::LoadTextFile, id::SaveTextFile, id::SaveTextFileAs, id::StopExecution, id::LedSetting,
    id::LcdSetting, id::KeyboardSetting, id::IicSetting, id::SpiSetting, id::LedWindow,
    id::LcdWindow, id::KeyboardWindow, id::RtcWindow, id::IicEepromWindow, id::SpiEepromWindow,
    id::LoadScreenSetting, id::SaveScreenSetting, id::SaveScreenSettingAs, id::LoadModuleSetting,
    id::SaveModuleSetting};
// Toolbar buttons disabled in the fixed arrangement.
constexpr int kButtonsOffInClearView[] = {id::CloseAll, id::LoadTextFile, id::SaveTextFile,
                                          id::Paste, id::StopExecution};

} // namespace

void Frame::toggleViewMode() {
    if (viewMode_ == ViewMode::Normal)
        enterClearView();
    else
        leaveClearView();
}

void Frame::enterClearView() {
    viewMode_ = ViewMode::Clear;
    captureLayout();
    // The tiles fill the MDI area exactly: no scroll bars come and go.
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    showMaximized();
    closeAll();
    openView(id::RegisterWindow);
    openView(id::ProgramWindow);
    // With external data memory its window takes the lower right tile and
    // the bit status view shown is the one opened last; without it both bit
    // status views are shown.
    if (machine_.chip.hasXdata()) {
        openView(id::ExternalMemoryWindow);
        openView(clearViewBitWindow_ ? id::MemoryBitWindow : id::SfrBitWindow);
    } else {
        openView(id::SfrBitWindow);
        openView(id::MemoryBitWindow);
    }
    openView(id::InternalMemoryWindow);
    swapViewModeCommand(id::ClearView, id::NormalView);

    if (QAction* button = toolbarAction(id::NormalView)) button->setEnabled(true);
    for (int command : kButtonsOffInClearView)
        if (QAction* button = toolbarAction(command)) button->setEnabled(false);
    for (int command : kGrayedInClearView)
        if (QAction* item = menuAction(command)) item->setEnabled(false);
    if (QMdiSubWindow* program = views_[id::ProgramWindow]) {
        mdi_->setActiveSubWindow(program);
        program->widget()->setFocus();
    }
}

void Frame::placeClearViewTiles() {
    if (viewMode_ != ViewMode::Clear) return;
    const QSize client = mdi_->viewport()->size();
    for (const auto& [command, window] : views_) {
        if (!window) continue;
        const QRect tile = qobject_cast<View*>(window->widget())->clearViewGeometry(client);
        if (!tile.isEmpty()) window->setGeometry(tile);
    }
}

void Frame::leaveClearView() {
    viewMode_ = ViewMode::Normal;
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    closeAll();
    restoreLayout();
    swapViewModeCommand(id::NormalView, id::ClearView);
    if (QAction* button = toolbarAction(id::ClearView)) button->setEnabled(true);
    for (int command : kGrayedInClearView)
        if (command != id::StopExecution) enableAvailable(command, true);
    enableAvailable(id::CloseAll, !mdi_->subWindowList().isEmpty());
    setCommandEnabled(id::StopExecution, false);
}

// Enables a command unless this build does not have what it opens.
void Frame::enableAvailable(int command, bool enabled) {
    if (enabled && unavailableCommand(command)) return;
    if (QAction* item = menuAction(command)) item->setEnabled(enabled);
    if (QAction* button = toolbarAction(command)) button->setEnabled(enabled);
}

// Puts `to` where `from` stands in every menu and in the toolbar.
void Frame::swapViewModeCommand(int from, int to) {
    QAction* oldItem = menuAction(from);
    QAction* newItem = menuAction(to);
    for (QMenu* menu : findChildren<QMenu*>()) {
        if (!menu->actions().contains(oldItem)) continue;
        menu->insertAction(oldItem, newItem);
        menu->removeAction(oldItem);
    }
    newItem->setEnabled(true);
    QAction* oldButton = toolbarAction(from);
    QAction* newButton = toolbarAction(to);
    if (toolbar_->actions().contains(oldButton)) {
        toolbar_->insertAction(oldButton, newButton);
        toolbar_->removeAction(oldButton);
    }
}

void Frame::captureLayout() {
    const auto placeOf = [](const QWidget* window) {
        WindowPlace place;
        place.state = window->isMaximized()   ? WindowPlace::Maximised
                      : window->isMinimized() ? WindowPlace::Minimised
                                              : WindowPlace::Normal;
        place.geometry = window->isMaximized() || window->isMinimized() ? window->normalGeometry()
                                                                       : window->geometry();
        return place;
    };
    framePlace_ = placeOf(this);
    viewPlaces_.clear();
    for (const ViewEntry& entry : viewTable()) {
        auto it = views_.find(entry.command);
        viewPlaces_[entry.command] =
            it != views_.end() && it->second ? placeOf(it->second) : WindowPlace{};
    }
}

void Frame::restoreLayout() {
    if (framePlace_.state == WindowPlace::Normal) {
        showNormal();
        setGeometry(framePlace_.geometry);
    } else if (framePlace_.state != WindowPlace::Closed) {
        showMaximized();
    }
    for (const ViewEntry& entry : viewTable()) {
        const WindowPlace& place = viewPlaces_[entry.command];
        auto it = views_.find(entry.command);
        const bool open = it != views_.end() && it->second;
        if (place.state == WindowPlace::Closed) {
            if (open) it->second->close();
            continue;
        }
        if (!open) openView(entry.command);
        QMdiSubWindow* window = views_[entry.command];
        if (!window) continue;
        switch (place.state) {
        case WindowPlace::Normal: window->setGeometry(place.geometry); break;
        case WindowPlace::Maximised: window->showMaximized(); break;
        case WindowPlace::Minimised: window->showMinimized(); break;
        case WindowPlace::Closed: break;
        }
    }
    enableAvailable(id::CloseAll, !mdi_->subWindowList().isEmpty());
}

} // namespace quorvel::shell
