#include "shell/frame.h"

#include "shell/device_dialogs.h"
#include "shell/messages.h"

#include <QApplication>
#include <QMdiArea>
#include <QStatusBar>

namespace quorvel::shell {

Frame::Frame(Messages& messages, QWidget* parent) : QMainWindow(parent), messages_(messages) {
    setObjectName("MdiFrame");
    setWindowTitle(kAppTitle);
    mdi_ = new QMdiArea;
    mdi_->setObjectName("MdiClient");
    setCentralWidget(mdi_);
    resize(1000, 700);
}

bool Frame::startUp() {
    DeviceDialog dialog(machine_.selection, messages_, this);
    if (dialog.exec() != QDialog::Accepted) return false;

    statusBar()->showMessage("Initializing...  Please Wait.");
    QApplication::processEvents();
    configureMachine(machine_, dialog.selection());
    setWindowTitle(QString::fromStdString(machine_.profile.caption));
    statusBar()->showMessage("Ready");
    return true;
}

} // namespace quorvel::shell
