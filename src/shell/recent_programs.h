// The File menu's list of the programs loaded last, newest first, kept in the
// user's settings file beside simulator.dat (quorvel.ini; simulator.dat has a
// fixed layout with no room for it). Choosing an entry loads that program
// again; an entry whose file is gone is reported and dropped.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;

namespace quorvel::shell {

class RecentPrograms : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxEntries = 4;

    // `settingsFile` is the INI file that keeps the list; empty, or naming
    // something other than a regular file (a FIFO, a folder): the list lives
    // only while the program runs.
    explicit RecentPrograms(QString settingsFile, QObject* parent = nullptr);

    // Newest first, absolute paths, at most kMaxEntries.
    const QStringList& paths() const { return paths_; }
    // Puts `path` first (moving it up when it is listed already) and saves.
    void add(const QString& path);
    // Drops `path` from the list and saves.
    void remove(const QString& path);

    // Shows the entries in `menu` before `before`, followed by a separator,
    // each as "&1 name" with the full path as its status tip; rebuilt when
    // the menu opens. `open` gets the path of a chosen entry. The entries are
    // enabled exactly when `enabledLike` is (the Load Program command, grayed
    // while a program runs).
    void attach(QMenu* menu, QAction* before, QAction* enabledLike, std::function<void(const QString&)> open);

private:
    void save() const;
    void rebuild(QMenu* menu, QAction* before, QAction* enabledLike);

    QString settingsFile_;
    QStringList paths_;
    std::function<void(const QString&)> open_;
};

} // namespace quorvel::shell
