#include "shell/editor/assembler_dialog.h"

#include "shell/messages.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvel::shell {

namespace {
// In option bit order.
constexpr const char* kOptionTexts[6] = {
    "&Capture Assembler Output",        "&Pass Current File name to Assembler",
    "&Run Assembler Directly from Toolbar", "Open List File after Assembling",
    "Load Hex File after Assembling",   "Save Current Editor File before Assembling"};
} // namespace

RunAssemblerDialog::RunAssemblerDialog(const QString& path, uint8_t options, Messages& messages,
                                       QWidget* parent)
    : QDialog(parent), messages_(messages) {
    setObjectName("IDM_RUNASSEMBLER");
    setWindowTitle("Run Assembler");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("&Enter Path and File name of Assembler:");
    path_ = new QLineEdit(path);
    path_->setObjectName("path");
    path_->setMinimumWidth(360);
    label->setBuddy(path_);
    auto* browse = new QPushButton("&Browse");
    browse->setObjectName("browse");
    connect(browse, &QPushButton::clicked, this, &RunAssemblerDialog::browse);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse);
    layout->addWidget(label);
    layout->addLayout(pathRow);
    for (int bit = 0; bit < 6; ++bit) {
        options_[size_t(bit)] = new QCheckBox(kOptionTexts[bit]);
        options_[size_t(bit)]->setObjectName(QString("option%1").arg(bit));
        options_[size_t(bit)]->setChecked(options & (1u << bit));
        layout->addWidget(options_[size_t(bit)]);
    }
    auto* buttons = new QHBoxLayout;
    auto* run = new QPushButton("R&un");
    run->setObjectName("run");
    run->setDefault(true);
    auto* cancel = new QPushButton("&Cancel");
    cancel->setObjectName("cancel");
    connect(run, &QPushButton::clicked, this, &RunAssemblerDialog::run);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch();
    buttons->addWidget(run);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

QString RunAssemblerDialog::path() const { return path_->text().trimmed(); }

uint8_t RunAssemblerDialog::options() const {
    uint8_t bits = 0;
    for (int bit = 0; bit < 6; ++bit)
        if (options_[size_t(bit)]->isChecked()) bits |= uint8_t(1u << bit);
    return bits;
}

void RunAssemblerDialog::browse() {
    const QString chosen = messages_.openFileName(this, "Browse", {"All Files (*)"});
    if (chosen.isEmpty()) return;
    if (!QFileInfo(chosen).isExecutable()) {
        messages_.show(this, errorMessage("Error", QString("%1 is not a program.")
                                                       .arg(QFileInfo(chosen).fileName())
                                                       .toStdString()));
        return;
    }
    path_->setText(chosen);
}

void RunAssemblerDialog::run() {
    if (path().isEmpty()) {
        messages_.show(this, errorMessage("Error", "Enter the Assembler filename and press Run button"));
        return;
    }
    accept();
}

} // namespace quorvel::shell
