// Shared by the shell's Qt Test programs: named child widgets, and answers
// to the modal dialogs a command opens.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace shelltest {

// The child called `name`; a missing widget ends the test program.
template <typename T> T* child(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(name);
    if (!widget) qFatal("no widget %s", name);
    return widget;
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

} // namespace shelltest
