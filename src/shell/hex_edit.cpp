#include "shell/hex_edit.h"

namespace quorvel::shell {

void makeUpperCase(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        QString upper = text.toUpper();
        if (upper == text) return;
        int cursor = edit->cursorPosition();
        edit->setText(upper);
        edit->setCursorPosition(cursor);
    });
}

HexEdit::HexEdit(int maxLength, QWidget* parent) : QLineEdit(parent) {
    setMaxLength(maxLength);
    makeUpperCase(this);
}

} // namespace quorvel::shell
