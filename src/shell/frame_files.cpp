// The frame's file and memory commands: loading programs and data.
#include "shell/frame.h"

#include "debug/recording_file.h"
#include "shell/demo_menu.h"
#include "shell/history_commands.h"
#include "shell/load_dialogs.h"
#include "shell/memory_dialogs.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/prompt_dialogs.h"
#include "shell/recent_programs.h"
#include "shell/settings_commands.h"
#include "shell/source_commands.h"
#include "shell/wave_capture.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace quorvel::shell {

namespace {
const QStringList kRecordingFilters = {"Recordings *.qrec (*.qrec *.QREC)", "All Files *.* (*)"};
const QStringList kLoadFilters = {"Intel Hex Files *.Hex (*.HEX *.hex *.Hex)",
                                  "Binary Files *.Bin (*.BIN *.bin *.Bin)", "All Files *.* (*)"};

// The one program file of a drop: a local file named *.hex or *.bin in any
// case; empty for anything else (several files, folders, links to the web).
QString droppedProgram(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().front();
    if (!url.isLocalFile()) return {};
    const QFileInfo file(url.toLocalFile());
    const QString suffix = file.suffix().toLower();
    return file.isFile() && (suffix == "hex" || suffix == "bin") ? file.absoluteFilePath() : QString();
}
} // namespace

void Frame::loadProgramCommand() {
    QString path = messages_.openFileName(this, "Load Program File", kLoadFilters);
    if (!path.isEmpty()) loadProgram(path);
}

void Frame::loadDataCommand() {
    QString path = messages_.openFileName(this, "Load Data File", kLoadFilters);
    if (!path.isEmpty()) loadFile(path, LoadTarget::ExternalDataMemory);
}

void Frame::openRecordingCommand() {
    const QString path = messages_.openFileName(this, "Open Recording", kRecordingFilters);
    if (!path.isEmpty()) openRecording(path);
}

bool Frame::openRecording(const QString& path, std::optional<uint64_t> cycle) {
    const auto refuse = [&](const std::string& why) {
        showMessage(errorMessage("Open Recording", "The recording cannot be opened:\n" + why));
        return false;
    };
    // Read and checked whole before anything of the session changes.
    Recording recording;
    if (auto failure = loadRecordingFile(std::filesystem::path(path.toStdU16String()), recording))
        return refuse(*failure);
    if (run_->running()) applyRunOutcome(run_->stop());
    const DeviceKind device = machine_.selection.kind;
    ModuleSettings settings;
    std::optional<std::string> failure;
    {
        auto guard = run_->pause();
        settings = machine_.modules.settings;
        // The logic analyser's recording does not take the replay's lines.
        WaveRecorder* const wave = machine_.wave;
        machine_.wave = nullptr;
        failure = quorvel::openRecording(run_->session(), std::move(recording));
        machine_.wave = wave;
    }
    if (failure) return refuse(path.toStdString() + ": " + *failure);
    // The logic analyser's trace was of the machine left behind.
    wave_->clear();
    // The external data memory a demonstration put away belonged to the
    // machine left behind: its commands come back, the recorded memory stays.
    if (suspendedXdata.active) {
        for (const auto& [command, enabled] : suspendedXdata.enabled) setCommandEnabled(command, enabled);
        suspendedXdata = {};
    }
    // The recorded program's source lines and symbols, when they lie beside
    // the recording (a run.cdb or run.lst beside run.qrec); then the machine
    // again as the history has it at its end (the new symbols start an empty
    // call stack).
    sourceProgramLoaded(*this, path);
    Validation refused;
    {
        auto guard = run_->pause();
        WaveRecorder* const wave = machine_.wave;
        machine_.wave = nullptr;
        History& history = *run_->session().history();
        refused = history.goTo(machine_, history.end());
        if (!refused && cycle) refused = run_->session().goToCycle(*cycle);
        machine_.wave = wave;
        run_->setCurrentAddress(machine_.chip.pc);
        run_->takeSnapshots();
        run_->notePresent();
    }
    if (refused) showMessage(errorMessage("Open Recording", refused->text));
    if (machine_.selection.kind != device) {
        setWindowTitle(QString::fromStdString(machine_.profile.caption));
        applyDeviceToCommands();
    }
    followModuleSettings(*this, settings, false);
    if (ProgramView* view = programView()) view->reloadCode();
    refreshViews();
    syncHistoryCommands(*this);
    setStatusText(0, QString("Opened the recording %1 at cycle %2")
                         .arg(QFileInfo(path).fileName())
                         .arg(machine_.chip.cycleCount()));
    return true;
}

void Frame::enterProgramCommand() {
    auto start = askAddress(this, viewContext_.lastAddress);
    if (!start) return;
    viewContext_.lastAddress = *start;
    openView(id::ProgramWindow);
    if (ProgramView* view = programView()) view->enterProgram(*start);
}

bool Frame::loadProgram(const QString& path, bool details) {
    const bool loaded = loadFile(path, LoadTarget::ProgramMemory, details);
    if (loaded) recent_->add(path);
    return loaded;
}

void Frame::openRecentProgram(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        recent_->remove(path);
        showMessage(errorMessage("Error", "The program file " + path.toStdString() +
                                                     " no longer exists.\nIt has been removed from "
                                                     "the list of recent programs."));
        return;
    }
    // The entries are grayed with Load Program while a program runs.
    if (QAction* load = menuAction(id::LoadProgram); load && !load->isEnabled()) return;
    loadProgram(path);
}

void Frame::dragEnterEvent(QDragEnterEvent* event) {
    // Like Load Program: not while a program runs.
    QAction* load = menuAction(id::LoadProgram);
    if (load && load->isEnabled() && !droppedProgram(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Frame::dropEvent(QDropEvent* event) {
    const QString path = droppedProgram(event->mimeData());
    QAction* load = menuAction(id::LoadProgram);
    if (path.isEmpty() || !load || !load->isEnabled()) return;
    event->acceptProposedAction();
    // After the drag has ended: the load may ask for an address and shows
    // its progress in modal dialogs.
    QMetaObject::invokeMethod(this, [this, path] { loadProgram(path); }, Qt::QueuedConnection);
}

bool Frame::loadFile(const QString& path, LoadTarget target, bool details) {
    // Another program brings back the external data memory a demonstration
    // put away.
    if (target == LoadTarget::ProgramMemory) restoreExternalMemory(*this);
    FileLoader loader(target);
    if (auto message = loader.open(path.toStdString())) {
        showMessage(*message);
        return false;
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    if (loader.needsStartAddress()) {
        QApplication::restoreOverrideCursor();
        auto start = askAddress(this, viewContext_.lastAddress);
        QApplication::setOverrideCursor(Qt::BusyCursor);
        if (!start) {
            // The user chose not to load: nothing to report.
            QApplication::restoreOverrideCursor();
            return false;
        }
        viewContext_.lastAddress = *start;
        loader.setStartAddress(*start);
    }
    // A new program, by whatever route (Load Program, a recent entry, a drop,
    // Run Assembler, a demonstration), starts from a reset CPU with its
    // machine cycles and profile counts at 0.
    if (target == LoadTarget::ProgramMemory) {
        if (run_->running()) applyRunOutcome(run_->stop());
        applyRunOutcome(run_->resetCpu());
        auto guard = run_->pause();
        machine_.codeProfile.clear();
    }
    if (!loader.finished()) {
        LoadProgressDialog progress(loader, *run_, this);
        progress.exec();
    }
    QApplication::restoreOverrideCursor();
    // A new program starts a new history; data loaded is an edit it logged.
    if (target == LoadTarget::ProgramMemory) run_->restartHistory();
    const LoadOutcome& outcome = loader.outcome();
    for (const UserMessage& message : outcome.messages) showMessage(message);
    if (outcome.showDetails && details) showLoadingDetails(this, outcome);
    if (ProgramView* view = programView()) view->reloadCode();
    const bool loaded = outcome.result != LoadResult::Stopped;
    // A new program brings its own source lines, if any lie beside it.
    if (target == LoadTarget::ProgramMemory && loaded) sourceProgramLoaded(*this, path);
    return loaded;
}

void Frame::saveMemory() {
    SaveMemoryDialog dialog(saveSettings, this);
    if (dialog.exec() != QDialog::Accepted) return;
    saveSettings = dialog.settings();
    {
        auto guard = run_->pause();
        if (auto message = checkSaveRange(saveSettings, machine_.chip)) {
            showMessage(*message);
            return;
        }
    }
    const bool hex = saveSettings.format == SaveFormat::IntelHex;
    QStringList filters = hex ? QStringList{"Hex Files *.Hex (*.hex *.HEX *.Hex)", "All Files *.* (*)"}
                              : QStringList{"Binary Files *.Bin (*.BIN *.bin *.Bin)", "All Files *.* (*)"};
    QString path = messages_.saveFileName(this, "Save Memory", filters, hex ? "hex" : "bin", saveStart());
    if (path.isEmpty()) return;

    MemorySaver saver;
    for (;;) {
        auto error = saver.begin(path.toStdString(), saveSettings);
        if (!error) break;
        if (!error->retry) {
            showMessage(error->message);
            return;
        }
        // "Disk is Write Protected": Retry tries again, Cancel stops.
        if (!messages_.askRetry(this, error->message)) return;
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    SaveProgressDialog progress(saver, *run_, this);
    progress.exec();
    QApplication::restoreOverrideCursor();
    if (saver.finished()) showMessage(saver.outcome());
}

void Frame::blockOperation(BlockCommand command) {
    BlockDialog dialog(command, blockValues.open(command), messages_, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const bool internal = command == BlockCommand::FillInternal || command == BlockCommand::CopyInternal;
    if (!accepted) {
        if (command == BlockCommand::CopyInternal) refreshViews();
        return;
    }
    const bool copy = command == BlockCommand::CopyExternal || command == BlockCommand::CopyInternal ||
                      command == BlockCommand::MoveProgram;
    const MemorySpace space = internal ? MemorySpace::InternalData
                              : (command == BlockCommand::FillProgram || command == BlockCommand::MoveProgram)
                                  ? MemorySpace::Program
                                  : MemorySpace::ExternalData;
    BlockResult result;
    {
        if (!internal) QApplication::setOverrideCursor(Qt::WaitCursor);
        // Logged in the history as the memory it leaves.
        run_->edit([&] {
            result = copy ? copyMemory(machine_.chip, space, machine_.profile.ramSize, dialog.values())
                          : fillMemory(machine_.chip, space, machine_.profile.ramSize, dialog.values());
        });
        if (!internal) QApplication::restoreOverrideCursor();
    }
    blockValues.accepted(command, dialog.values(), result.done);
    showMessage(result.message);
    if (result.refreshViews || command == BlockCommand::CopyInternal) {
        if (internal) run_->takeSnapshots();
        refreshViews();
    }
}

void Frame::memorySettingDialog() {
    MemorySettingDialog dialog(memorySetting, machine_.selection, messages_, this);
    if (dialog.exec() == QDialog::Accepted) {
        memorySetting = dialog.setting();
        run_->edit([&] { applyOverlap(machine_.chip, memorySetting); });
    }
    if (ProgramView* view = programView()) view->reloadCode();
}

} // namespace quorvel::shell
