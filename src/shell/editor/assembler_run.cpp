#include "shell/editor/assembler_run.h"

#include "shell/editor/assembler_dialog.h"
#include "shell/editor/editor_view.h"
#include "shell/editor/output_view.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "tools/assembler_messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTimer>

namespace quorvel::shell {

namespace {

std::optional<int64_t> modificationTime(const QString& path) {
    QFileInfo info(path);
    if (!info.exists()) return std::nullopt;
    return info.lastModified().toMSecsSinceEpoch();
}

} // namespace

bool runAssemblerDialog(Frame& frame) {
    AppConfig& config = frame.appConfig();
    RunAssemblerDialog dialog(QString::fromStdString(config.assemblerPath), config.assemblerOptions,
                              frame.messages(), &frame);
    if (dialog.exec() != QDialog::Accepted) return false;
    config.assemblerPath = dialog.path().toStdString();
    config.assemblerOptions = dialog.options();
    return true;
}

void assemble(Frame& frame, EditorView& editor) {
    // The HEX file goes into program memory: never under a running program.
    if (frame.runControl().running() || frame.findChild<AssemblerRun*>()) return;
    const uint8_t options = frame.appConfig().assemblerOptions;
    // An untitled document is first given a name; a failed save stops the
    // run (its message is shown), so a stale file is never assembled.
    if (editor.path().isEmpty()) {
        if (!editor.saveAs()) return;
    } else if (options & kSaveBeforeRun) {
        if (!editor.save()) return;
    }
    const QFileInfo source(editor.path());
    AssemblerRun::Job job;
    job.program = QString::fromStdString(frame.appConfig().assemblerPath);
    job.folder = source.absolutePath();
    const QString name = source.completeBaseName();
    if (options & kPassFileName) job.arguments << name;
    job.listing = QDir(job.folder).filePath(name + ".lst");
    job.hex = QDir(job.folder).filePath(name + ".hex");
    job.options = options;
    // The definitions file goes beside the source unless one is there.
    const QString mod51 = QDir(job.folder).filePath("Mod51");
    if (!QFileInfo::exists(mod51)) QFile::copy(QDir(frame.resourceDir()).filePath("Assembler/Mod51"), mod51);

    auto* run = new AssemblerRun(frame, job);
    run->start();
}

AssemblerRun::AssemblerRun(Frame& frame, Job job)
    : QObject(&frame), frame_(frame), job_(std::move(job)) {
    setObjectName("assemblerRun");
    process_ = new QProcess(this);
    process_->setProgram(job_.program);
    process_->setArguments(job_.arguments);
    process_->setWorkingDirectory(job_.folder);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    timeout_ = new QTimer(this);
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] {
        process_->kill();
        frame_.showMessage(errorMessage(
            "Error", QString("The assembler did not finish within %1 seconds and was stopped.")
                         .arg(kAssemblerTimeoutMs / 1000)
                         .toStdString()));
    });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) finished(false);
    });
    connect(process_, &QProcess::finished, this, [this] { finished(true); });
}

void AssemblerRun::start() {
    listingBefore_ = modificationTime(job_.listing);
    hexBefore_ = modificationTime(job_.hex);
    runStart_ = QDateTime::currentMSecsSinceEpoch();
    frame_.setStatusText(0, "Assembling...");
    timeout_->start(kAssemblerTimeoutMs);
    process_->start();
    // An assembler that asks for the file name reads an empty line.
    process_->closeWriteChannel();
}

void AssemblerRun::finished(bool started) {
    if (done_) return;
    done_ = true;
    timeout_->stop();
    frame_.setStatusText(0, "Ready");
    if (!started) {
        frame_.showMessage(errorMessage(
            "Error", QString("Could not start the assembler %1:\n%2")
                         .arg(job_.program.isEmpty() ? QString("(none set)") : job_.program,
                              process_->errorString())
                         .toStdString()));
    } else {
        const QString output = QString::fromLocal8Bit(process_->readAll());
        if (job_.options & kCaptureOutput) showAssemblerOutput(frame_, output, job_.folder);
        // Only what this run wrote: a listing or HEX file of an earlier run
        // (the assembler failed or stopped before writing) is left alone.
        if ((job_.options & kOpenListing) &&
            writtenDuringRun(listingBefore_, modificationTime(job_.listing), runStart_)) {
            EditorView* listing = findEditor(frame_, job_.listing);
            if (listing && !listing->isModified()) {
                // The listing of the last run is shown again, up to date.
                listing->loadFile(job_.listing);
                frame_.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(listing->parentWidget()));
            } else {
                openEditor(frame_, job_.listing);
            }
        }
        if ((job_.options & kLoadHex) && process_->exitStatus() == QProcess::NormalExit &&
            writtenDuringRun(hexBefore_, modificationTime(job_.hex), runStart_))
            frame_.loadFile(job_.hex, LoadTarget::ProgramMemory);
    }
    emit ended();
    // Out of the frame's children at once: the next run may start.
    setParent(nullptr);
    deleteLater();
}

} // namespace quorvel::shell
