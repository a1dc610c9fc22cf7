#include "shell/messages.h"

#include <QFileDialog>
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

QString MessageBoxes::openFileName(QWidget* parent, const QString& title,
                                   const QStringList& filters) {
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QString MessageBoxes::saveFileName(QWidget* parent, const QString& title,
                                   const QStringList& filters, const QString& defaultSuffix,
                                   const QString& startFile) {
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    if (!defaultSuffix.isEmpty()) dialog.setDefaultSuffix(defaultSuffix);
    if (!startFile.isEmpty()) dialog.selectFile(startFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

} // namespace quorvel::shell
