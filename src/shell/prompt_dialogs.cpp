#include "shell/prompt_dialogs.h"

#include "common/hex_field.h"
#include "shell/hex_edit.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel::shell {

std::optional<uint16_t> askAddress(QWidget* parent, uint16_t preset) {
    QDialog dialog(parent);
    dialog.setObjectName("IDM_GETADDRESS");
    dialog.setWindowTitle("Address");
    auto* edit = new HexEdit(4);
    edit->setObjectName("address");
    edit->setText(QString::asprintf("%04X", unsigned(preset)));
    edit->selectAll();
    auto* ok = new QPushButton("OK");
    ok->setObjectName("ok");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    cancel->setObjectName("cancel");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("Enter the Starting address."));
    layout->addWidget(edit);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    std::optional<uint16_t> result;
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
        if (auto value = parseHexField(edit->value())) {
            result = *value;
            dialog.accept();
        }
    });
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return result;
}

std::optional<QString> askProgramLine(QWidget* parent, uint16_t address, const QString& text) {
    QDialog dialog(parent);
    dialog.setObjectName("IDM_GETMNEMONIC");
    dialog.setWindowTitle("Edit Program Line");
    auto* edit = new QLineEdit(text);
    edit->setObjectName("line");
    edit->setMaxLength(99);
    edit->setMinimumWidth(280);
    makeUpperCase(edit);
    edit->selectAll();
    auto* store = new QPushButton("&Store");
    store->setObjectName("store");
    store->setDefault(true);
    auto* cancel = new QPushButton("&Cancel");
    cancel->setObjectName("cancel");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("Enter the New Program Line:"));
    auto* line = new QHBoxLayout;
    auto* label = new QLabel(QString::asprintf("%04X:", unsigned(address)));
    label->setObjectName("addressLabel");
    line->addWidget(label);
    line->addWidget(edit);
    layout->addLayout(line);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(store);
    row->addWidget(cancel);
    layout->addLayout(row);
    QObject::connect(store, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return edit->text().toUpper();
}

} // namespace quorvel::shell
