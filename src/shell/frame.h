// The application's main window. It owns the one simulated machine, runs the
// device dialog at start-up and shows the selected device in its caption.
#pragma once

#include "core/machine.h"

#include <QMainWindow>

class QMdiArea;

namespace quorvel::shell {

class Messages;

class Frame : public QMainWindow {
    Q_OBJECT
public:
    explicit Frame(Messages& messages, QWidget* parent = nullptr);

    // Runs the device dialog, then applies the device, resets and allocates
    // the machine. Returns false when the user chose "&Exit".
    bool startUp();

    const Machine& machine() const { return machine_; }

private:
    Messages& messages_;
    Machine machine_;
    QMdiArea* mdi_;
};

} // namespace quorvel::shell
