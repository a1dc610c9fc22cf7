// Small pieces the dialogs share: named push buttons and the OK/Cancel row.
#pragma once

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

} // namespace quorvel::shell
