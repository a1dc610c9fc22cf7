#include "shell/messages.h"

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

} // namespace quorvel::shell
