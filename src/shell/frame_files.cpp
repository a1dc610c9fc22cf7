// The frame's file and memory commands: loading programs and data.
#include "shell/frame.h"

#include "shell/load_dialogs.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/prompt_dialogs.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace quorvel::shell {

namespace {
const QStringList kLoadFilters = {"Intel Hex Files *.Hex (*.HEX *.hex *.Hex)",
                                  "Binary Files *.Bin (*.BIN *.bin *.Bin)", "All Files *.* (*)"};
}

bool Frame::dispatchFileCommand(int id) {
    switch (id) {
    case id::LoadProgram: {
        QString path = messages_.openFileName(this, "Load Program File", kLoadFilters);
        if (path.isEmpty()) return true;
        if (run_->running()) applyRunOutcome(run_->stop());
        applyRunOutcome(run_->resetCpu());
        loadFile(path, LoadTarget::ProgramMemory);
        return true;
    }
    case id::LoadData: {
        QString path = messages_.openFileName(this, "Load Data File", kLoadFilters);
        if (!path.isEmpty()) loadFile(path, LoadTarget::ExternalDataMemory);
        return true;
    }
    case id::EnterProgram: {
        auto start = askAddress(this, lastAddress);
        if (!start) return true;
        lastAddress = *start;
        openView(id::ProgramWindow);
        if (ProgramView* view = programView()) view->enterProgram(*start);
        return true;
    }
    default: return false;
    }
}

void Frame::loadFile(const QString& path, LoadTarget target) {
    FileLoader loader(target);
    if (auto message = loader.open(path.toStdString())) {
        showMessage(*message);
        return;
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    if (loader.needsStartAddress()) {
        QApplication::restoreOverrideCursor();
        auto start = askAddress(this, lastAddress);
        QApplication::setOverrideCursor(Qt::BusyCursor);
        if (start) {
            lastAddress = *start;
            loader.setStartAddress(*start);
        } else {
            loader.cancel();
        }
    }
    if (!loader.finished()) {
        LoadProgressDialog progress(loader, *run_, this);
        progress.exec();
    }
    QApplication::restoreOverrideCursor();
    const LoadOutcome& outcome = loader.outcome();
    for (const UserMessage& message : outcome.messages) showMessage(message);
    if (outcome.showDetails) showLoadingDetails(this, outcome);
    if (ProgramView* view = programView()) view->reloadCode();
}

} // namespace quorvel::shell
