#include "shell/messages.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace quorvel::shell {

void MessageBoxes::show(QWidget* parent, const UserMessage& message) {
    QMessageBox::Icon icon = QMessageBox::Critical;
    if (message.icon == UserMessage::Icon::Warning) icon = QMessageBox::Warning;
    if (message.icon == UserMessage::Icon::Information) icon = QMessageBox::Information;
    QMessageBox box(icon, QString::fromStdString(message.title),
                    QString::fromStdString(message.text), QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBoxes::askRetry(QWidget* parent, const UserMessage& message) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(message.title),
                    QString::fromStdString(message.text), QMessageBox::Retry | QMessageBox::Cancel,
                    parent);
    return box.exec() == QMessageBox::Retry;
}

Messages::Answer MessageBoxes::askYesNoCancel(QWidget* parent, const UserMessage& message) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(message.title),
                    QString::fromStdString(message.text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

QString MessageBoxes::openFileName(QWidget* parent, const QString& title,
                                   const QStringList& filters, bool allowNew) {
    for (;;) {
        QFileDialog dialog(parent, title);
        dialog.setFileMode(allowNew ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters(filters);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        const QString path = dialog.selectedFiles().first();
        if (!allowNew || QFileInfo::exists(path)) return path;
        QMessageBox ask(QMessageBox::Question, title,
                        QString("%1\nThis file does not exist.\nCreate the file?")
                            .arg(QFileInfo(path).fileName()),
                        QMessageBox::Yes | QMessageBox::No, parent);
        if (ask.exec() == QMessageBox::Yes) return path;
    }
}

QString MessageBoxes::saveFileName(QWidget* parent, const QString& title,
                                   const QStringList& filters, const QString& defaultSuffix,
                                   const QString& startFile) {
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    if (!defaultSuffix.isEmpty()) dialog.setDefaultSuffix(defaultSuffix);
    // Without a start file: the user's own folder, never the working folder
    // (which may be the installed one).
    if (startFile.isEmpty()) dialog.setDirectory(QDir::home());
    else dialog.selectFile(startFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

} // namespace quorvel::shell
