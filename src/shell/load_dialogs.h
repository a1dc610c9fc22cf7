// The loading progress dialog (IDM_FILELOAD) and the "File Loading Details"
// dialog (IDM_FILELOADINGDETAILS).
#pragma once

#include "tools/file_loader.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QTimer;

namespace quorvel {
class RunController;
}

namespace quorvel::shell {

// Runs a loader one line or block per timer tick: a 50 ms one-shot timer
// starts the work, each step re-arms a 1 ms timer, Cancel stops between
// steps. The chip is touched only under the run controller's pause guard.
class LoadProgressDialog : public QDialog {
    Q_OBJECT
public:
    LoadProgressDialog(FileLoader& loader, RunController& run, QWidget* parent = nullptr);

protected:
    void reject() override;

private:
    void stepOnce();

    FileLoader& loader_;
    RunController& run_;
    QProgressBar* bar_;
    QTimer* timer_;
};

void showLoadingDetails(QWidget* parent, const LoadOutcome& outcome);

} // namespace quorvel::shell
