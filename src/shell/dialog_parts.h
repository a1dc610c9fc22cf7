// Small pieces the dialogs share: named push buttons and the OK/Cancel row.
#pragma once

#include <QBoxLayout>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace quorvel::shell {

inline QPushButton* namedButton(const char* text, const char* objectName) {
    auto* b = new QPushButton(text);
    b->setObjectName(objectName);
    return b;
}

// A field's label; its "&" letter (Alt+letter) moves the focus to the field.
inline QLabel* fieldLabel(const char* text, QWidget* field) {
    auto* label = new QLabel(text);
    label->setBuddy(field);
    return label;
}

// The buttons right-aligned in one row.
inline QHBoxLayout* buttonRow(QPushButton* ok, QPushButton* cancel) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

// Keeps a dialog at least as wide as its title, so that a window manager
// does not cut it: the title in a bold font a tenth larger than the
// dialog's, and room for an icon and three title-bar buttons.
inline void fitTitle(QDialog& dialog) {
    QFont font = dialog.font();
    font.setBold(true);
    if (font.pointSizeF() > 0) font.setPointSizeF(font.pointSizeF() * 1.1);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(dialog.windowTitle()) + 4 * (metrics.height() + 8);
    dialog.setMinimumWidth(std::max(dialog.minimumWidth(), width));
}

// Adds the right-aligned accept and "Cancel" buttons under `layout`: the
// first (the default button) accepts `dialog`, "Cancel" rejects it. Returns
// the accept button, for dialogs that enable it by their fields.
inline QPushButton* addAcceptRow(QDialog& dialog, QBoxLayout* layout, const char* text = "OK",
                                 const char* objectName = "ok") {
    auto* accept = namedButton(text, objectName);
    auto* cancel = namedButton("Cancel", "cancel");
    accept->setDefault(true);
    layout->addLayout(buttonRow(accept, cancel));
    QObject::connect(accept, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    fitTitle(dialog);
    return accept;
}

} // namespace quorvel::shell
