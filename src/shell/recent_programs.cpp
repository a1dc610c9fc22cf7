#include "shell/recent_programs.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include <filesystem>
#include <system_error>

namespace quorvel::shell {

namespace {
const char* const kKey = "RecentPrograms/files";
}

RecentPrograms::RecentPrograms(QString settingsFile, QObject* parent)
    : QObject(parent), settingsFile_(std::move(settingsFile)) {
    if (settingsFile_.isEmpty()) return;
    // Only a regular file (or none yet) is the list's home, as for every
    // settings file: reading a FIFO would wait for a writer for ever. With
    // anything else there the list lives only while the program runs.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(settingsFile_.toStdString(), ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        settingsFile_.clear();
        return;
    }
    QSettings settings(settingsFile_, QSettings::IniFormat);
    for (const QString& path : settings.value(kKey).toStringList())
        if (!path.isEmpty() && !paths_.contains(path) && paths_.size() < kMaxEntries) paths_.append(path);
}

void RecentPrograms::add(const QString& path) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    paths_.removeAll(absolute);
    paths_.prepend(absolute);
    while (paths_.size() > kMaxEntries) paths_.removeLast();
    save();
}

void RecentPrograms::remove(const QString& path) {
    if (paths_.removeAll(path) > 0) save();
}

void RecentPrograms::save() const {
    if (settingsFile_.isEmpty()) return;
    QSettings settings(settingsFile_, QSettings::IniFormat);
    settings.setValue(kKey, paths_);
}

void RecentPrograms::attach(QMenu* menu, QAction* before, QAction* enabledLike,
                            std::function<void(const QString&)> open) {
    open_ = std::move(open);
    connect(menu, &QMenu::aboutToShow, this, [this, menu, before, enabledLike] {
        rebuild(menu, before, enabledLike);
    });
    // The entries follow Load Program while the menu is open too.
    connect(enabledLike, &QAction::enabledChanged, menu, [menu](bool enabled) {
        for (QAction* a : menu->actions())
            if (a->property("recentProgram").isValid()) a->setEnabled(enabled);
    });
}

void RecentPrograms::rebuild(QMenu* menu, QAction* before, QAction* enabledLike) {
    for (QAction* a : menu->actions())
        if (a->property("recentProgram").isValid() || a->property("recentSeparator").toBool()) {
            // Never from the entry's own signal: choosing one is queued.
            delete a;
        }
    if (paths_.isEmpty()) return;
    int n = 1;
    for (const QString& path : paths_) {
        auto* a = new QAction(QString("&%1 %2").arg(n).arg(QFileInfo(path).fileName()), menu);
        a->setObjectName(QString("recentProgram%1").arg(n++));
        a->setProperty("recentProgram", path);
        a->setStatusTip(QDir::toNativeSeparators(path));
        a->setToolTip(QDir::toNativeSeparators(path));
        a->setEnabled(enabledLike->isEnabled());
        // Queued: the menu is closed and the action may be rebuilt before the
        // program loads.
        connect(a, &QAction::triggered, this, [this, path] {
            QMetaObject::invokeMethod(this, [this, path] { open_(path); }, Qt::QueuedConnection);
        });
        menu->insertAction(before, a);
    }
    auto* separator = new QAction(menu);
    separator->setSeparator(true);
    separator->setProperty("recentSeparator", true);
    menu->insertAction(before, separator);
}

} // namespace quorvel::shell
