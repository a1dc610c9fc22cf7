// Small pieces the dialogs share: named push buttons and the OK/Cancel row.
#pragma once

#include <QHBoxLayout>
#include <QPushButton>

namespace quorvel::shell {

inline QPushButton* namedButton(const char* text, const char* objectName) {
    auto* b = new QPushButton(text);
    b->setObjectName(objectName);
    return b;
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
