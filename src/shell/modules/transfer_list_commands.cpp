#include "shell/modules/transfer_list_commands.h"

#include "shell/frame.h"
#include "shell/messages.h"

#include <QApplication>
#include <QFile>

namespace quorvel::shell {

QStringList transferListNameFilters() {
    QStringList filters;
    for (const FileFilter& filter : kTransferListFilters)
        filters << QString("%1 (%2)").arg(QString::fromLatin1(filter.name),
                                          QString::fromLatin1(filter.patterns));
    return filters;
}

void saveTransferList(Frame& frame, TransferList list) {
    const TransferListTexts& texts = transferListTexts(list);
    TransferListSnapshot snapshot;
    QString remembered;
    {
        auto guard = frame.runControl().pause();
        snapshot = snapshotTransferList(frame.machine().chip, list);
        remembered = QString::fromStdString(frame.machine().modules.serialHost.saveFileNames[size_t(list)]);
    }
    if (snapshot.empty) {
        frame.showMessage(*snapshot.empty);
        return;
    }
    const QString path = frame.messages().saveFileName(
        &frame, QString::fromLatin1(texts.dialogTitle), transferListNameFilters(),
        QString::fromLatin1(kTransferListExtension), remembered);
    if (path.isEmpty()) return;
    frame.runControl().edit(
        [&] { frame.machine().modules.serialHost.saveFileNames[size_t(list)] = path.toStdString(); });

    frame.setStatusText(0, QString::fromLatin1(texts.savingStatus));
    QApplication::setOverrideCursor(Qt::BusyCursor);
    for (;;) {
        const SaveResult result = saveTextFile(QFile::encodeName(path).toStdString(), snapshot.text);
        if (result.outcome == SaveOutcome::Saved) break;
        QApplication::restoreOverrideCursor();
        if (result.outcome == SaveOutcome::WriteProtected) {
            if (frame.messages().askRetry(&frame, *result.message)) {
                QApplication::setOverrideCursor(Qt::BusyCursor);
                continue;
            }
        } else {
            frame.showMessage(*result.message);
        }
        frame.setStatusText(0, "Ready");
        return;
    }
    QApplication::restoreOverrideCursor();
    frame.setStatusText(0, "Ready");
}

void saveSerialReceiver(Frame& frame) { saveTransferList(frame, TransferList::SerialReceiver); }
void saveSerialTransmitter(Frame& frame) { saveTransferList(frame, TransferList::SerialTransmitter); }
void saveSpiReceiver(Frame& frame) { saveTransferList(frame, TransferList::SpiReceiver); }
void saveSpiTransmitter(Frame& frame) { saveTransferList(frame, TransferList::SpiTransmitter); }

} // namespace quorvel::shell
