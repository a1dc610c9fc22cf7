// Shared by the shell's Qt Test programs: named child widgets, answers to
// the modal dialogs a command opens, a started frame, and the ink in a
// character cell of a painted view.
#pragma once

#include "settings/module_settings_file.h"
#include "shell/command_table.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/view.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QImage>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <functional>
#include <initializer_list>

namespace shelltest {

// The child called `name`; a missing widget ends the test program.
template <typename T> T* child(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(name);
    if (!widget) qFatal("no widget %s", name);
    return widget;
}

// The MDI window that holds the view of `command`, null when it is closed.
inline QMdiSubWindow* windowOf(quorvel::shell::Frame& frame, int command) {
    quorvel::shell::View* view = frame.view(command);
    return view ? qobject_cast<QMdiSubWindow*>(view->parentWidget()) : nullptr;
}

// Runs `action` on the next modal dialog that opens.
inline void onNextModal(std::function<void(QDialog*)> action) {
    QTimer::singleShot(0, [action] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) qFatal("no modal dialog");
        action(dialog);
    });
}

// Answers modal dialogs as they open while it lives: `handler` gets each new
// modal dialog and returns true when it dealt with it.
class ModalAnswerer : public QObject {
  public:
    explicit ModalAnswerer(std::function<bool(QDialog*)> handler) : handler_(std::move(handler)) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            // Dialogs on the stack may reuse an address: mark the ones handled.
            if (dialog && !dialog->property("answered").toBool() && handler_(dialog))
                dialog->setProperty("answered", true);
        });
        timer_.start();
    }

  private:
    std::function<bool(QDialog*)> handler_;
    QTimer timer_;
};

// Accepts the "File Loading Details" box of every load while it lives.
struct LoadDetailsAnswerer : ModalAnswerer {
    LoadDetailsAnswerer()
        : ModalAnswerer([](QDialog* dialog) {
              if (dialog->objectName() != "IDM_FILELOADINGDETAILS") return false;
              dialog->accept();
              return true;
          }) {}
};

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A shown 1000x700 frame on recorded messages, started on `device` with
// external data memory size button `dataSize` (0 none, 1 = 2K ... 6 = 64K),
// reading and writing `configFile` as simulator.dat when one is given, with
// its resources in `resourceDir` when one is given.
// A start-up that fails ends the test program.
struct StartedFrame {
    quorvel::shell::RecordedMessages messages;
    quorvel::shell::Frame frame;

    explicit StartedFrame(const char* device = "Atmel 89C52", int dataSize = 0, const QString& configFile = {},
                          const QString& resourceDir = {})
        : frame(messages, configFile, resourceDir) {
        frame.resize(1000, 700);
        frame.show();
        ModalAnswerer answer([&](QDialog* dialog) {
            if (dialog->objectName() == "IDM_SELECTDEVICEMEMORY1") {
                child<QRadioButton>(dialog, QString("size%1").arg(dataSize).toLatin1())
                    ->setChecked(true);
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
                return true;
            }
            if (dialog->objectName() != "IDM_SELECTDEVICE") return false;
            auto* combo = child<QComboBox>(dialog, "device");
            combo->setCurrentIndex(combo->findText(device));
            // The data memory dialog opens from a timer of its own, so that this
            // answerer (whose timer does not fire inside its own handler) sees it.
            QTimer::singleShot(0, dialog, [dialog, dataSize] {
                if (dataSize) child<QPushButton>(dialog, "dataMemory")->click();
                child<QPushButton>(dialog, "ok")->click();
            });
            return true;
        });
        if (!frame.startUp() || chip().hasXdata() != (dataSize != 0))
            qFatal("no start on %s with data memory size %d", device, dataSize);
    }
    quorvel::ChipState& chip() { return frame.machine().chip; }

    // Opens the window of `command`, sized `size` when given, focused.
    template <typename V> V* open(int command, QSize size = {}) {
        frame.dispatch(command);
        auto* view = qobject_cast<V*>(frame.view(command));
        if (!view) qFatal("window %d did not open", command);
        if (size.isValid()) view->parentWidget()->resize(size);
        view->setFocus();
        QCoreApplication::processEvents();
        return view;
    }

    // File > Load Program on `path`, accepting the loading details box.
    void loadProgram(const QString& path) {
        LoadDetailsAnswerer details;
        messages.fileAnswers.push_back(path);
        frame.dispatch(quorvel::shell::id::LoadProgram);
    }
    // DemoN.HEX (and DemoN.MST with `withModules`) from the built
    // demonstration folder; a load that fails ends the test program.
    void loadDemo(const char* name, bool withModules = true) {
        const QString base = QString(QUORVEL_DEMO_DIR) + "/" + name;
        loadProgram(base + ".HEX");
        quorvel::Machine& m = frame.machine();
        if (m.chip.readCode(0) == 0xFF && m.chip.readCode(1) == 0xFF) qFatal("%s.HEX did not load", name);
        if (withModules && quorvel::ReadModuleSettings((base + ".MST").toStdString(), m.modules.settings,
                                                       m.profile.availablePinMask))
            qFatal("%s.MST did not load", name);
    }

    void writeCode(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t byte : bytes)
            chip().writeCode(address++, byte);
    }
};

// Saves a picture of `widget` as `file` in QUORVEL_SCREENSHOT_DIR when that
// is set; true when nothing was asked or the picture was saved.
inline bool saveScreenshot(QWidget* widget, const QString& file) {
    const QString dir = qEnvironmentVariable("QUORVEL_SCREENSHOT_DIR");
    QCoreApplication::processEvents();
    return dir.isEmpty() || widget->grab().save(dir + "/" + file);
}

// Turns the wheel `notches` notches (up when positive) with the pointer at
// `at` of `view`, over the widget there as the desktop sends it.
inline void turnWheel(QWidget* view, QPoint at, int notches) {
    QWidget* under = view->childAt(at);
    QWidget* target = under ? under : view;
    QWheelEvent wheel(target->mapFrom(view, QPointF(at)), view->mapToGlobal(QPointF(at)), {},
                      QPoint(0, 120 * notches), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &wheel);
}

// Pixels of `image` in the character cell (`cell` big) centred on `centre`
// that are red, or with `black` set, black.
inline int inkCount(const QImage& image, QPoint centre, QSize cell, bool black = false) {
    int n = 0;
    for (int y = centre.y() - cell.height() / 2; y < centre.y() + cell.height() / 2; ++y)
        for (int x = centre.x() - cell.width() / 2; x <= centre.x() + cell.width() / 2; ++x) {
            const QColor c = image.pixelColor(x, y);
            n += black ? c.red() < 60 && c.green() < 60 && c.blue() < 60
                       : c.red() > 180 && c.green() < 90 && c.blue() < 90;
        }
    return n;
}

} // namespace shelltest
