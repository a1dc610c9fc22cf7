#include "shell/modules/port_line_dialog.h"

#include "modules/module_settings.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"

#include <QComboBox>
#include <QFormLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>

namespace quorvel::shell {

PortLineDialog::PortLineDialog(Frame& frame, const char* objectName, const QString& title,
                               Wiring wiring, QWidget* parent)
    : QDialog(parent ? parent : &frame), frame_(frame), wiring_(std::move(wiring)) {
    setObjectName(objectName);
    setWindowTitle(title);
    choices_ = portLineChoices(frame.machine().profile.availablePinMask, wiring_.fixedLevels);

    controlLines_ = new QComboBox;
    controlLines_->setObjectName("controlLine");
    portLines_ = new QComboBox;
    portLines_->setObjectName("portLine");
    for (PinRef line : choices_) portLines_->addItem(QString::fromStdString(pinRefName(line)));
    summary_ = new QPlainTextEdit;
    summary_->setObjectName("summary");
    summary_->setReadOnly(true);
    summary_->setLineWrapMode(QPlainTextEdit::NoWrap);
    summary_->setMinimumHeight(150);

    auto* form = new QFormLayout;
    form->addRow(fieldLabel("Control Line:", controlLines_), controlLines_);
    form->addRow(fieldLabel("Port Line:", portLines_), portLines_);
    form->addRow(fieldLabel("Summary:", summary_), summary_);
    auto* ok = namedButton("OK", "ok");
    auto* cancel = namedButton("Cancel", "cancel");
    ok->setDefault(true);
    extraRows_ = new QVBoxLayout;
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(extraRows_);
    layout->addLayout(form);
    layout->addLayout(buttonRow(ok, cancel));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(controlLines_, &QComboBox::currentIndexChanged, this, &PortLineDialog::showControlLine);
    connect(portLines_, &QComboBox::activated, this, &PortLineDialog::assignPortLine);
    reload();
}

void PortLineDialog::reload() {
    const int selected = std::max(0, controlLines_->currentIndex());
    {
        QSignalBlocker block(controlLines_);
        controlLines_->clear();
        for (const std::string& entry : wiring_.controlLines())
            controlLines_->addItem(QString::fromStdString(entry));
        controlLines_->setCurrentIndex(std::min(selected, controlLines_->count() - 1));
    }
    showControlLine(controlLines_->currentIndex());
}

void PortLineDialog::showControlLine(int entry) {
    if (entry >= 0) {
        const PinRef line = wiring_.line(entry);
        // A stored code the list does not offer (a fixed level where none is
        // offered) selects nothing.
        const auto it = std::find(choices_.begin(), choices_.end(),
                                  wiring_.fixedLevels ? cleanFixedLevelPinRef(line) : line);
        QSignalBlocker block(portLines_);
        portLines_->setCurrentIndex(it == choices_.end() ? -1 : int(it - choices_.begin()));
    }
    showSummary();
}

void PortLineDialog::assignPortLine(int choice) {
    const int entry = controlLines_->currentIndex();
    if (entry < 0 || choice < 0 || choice >= int(choices_.size())) return;
    frame_.runControl().edit([&] { wiring_.assign(entry, choices_[size_t(choice)]); });
    showSummary();
}

// One line per control line, scrolled down by the index of the selected one.
void PortLineDialog::showSummary() {
    QString text;
    for (const std::string& line : wiring_.summary()) text += QString::fromStdString(line) + "\n";
    summary_->setPlainText(text);
    summary_->verticalScrollBar()->setValue(std::max(0, controlLines_->currentIndex()));
}

void PortLineDialog::reject() {
    frame_.runControl().edit([&] { wiring_.restore(); });
    QDialog::reject();
}

} // namespace quorvel::shell
