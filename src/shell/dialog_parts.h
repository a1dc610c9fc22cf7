// Small pieces the dialogs share: named push buttons and the OK/Cancel row.
#pragma once

#include <QBoxLayout>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

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
    return accept;
}

} // namespace quorvel::shell
