#include "shell/modules/lcd_setting_dialog.h"

#include "modules/module_settings.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"
#include "shell/modules/lcd_window.h"
#include "shell/modules/port_line_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quorvel::shell {

LcdSettingDialog::LcdSettingDialog(Frame& frame, QWidget* parent)
    : QDialog(parent ? parent : &frame), frame_(frame) {
    setObjectName("IDD_LCD_SETTING");
    setWindowTitle("LCD Module Setting");
    // Opening the dialog cleans the stored lines and options.
    frame_.runControl().edit([&] {
        cleanLcdSettings(frame_.machine().modules.settings);
        openedOptions_ = frame_.machine().modules.settings.LcdOptions;
    });

    size_ = new QComboBox;
    size_->setObjectName("size");
    for (const char* name : kLcdSizeNames) size_->addItem(name);
    size_->setCurrentIndex(lcdSize(openedOptions_));

    auto* bus = new QGroupBox("Data Bus Width");
    eightBits_ = new QRadioButton("8 Bits");
    eightBits_->setObjectName("eightBits");
    fourBits_ = new QRadioButton("4 Bits");
    fourBits_->setObjectName("fourBits");
    (lcdFourBit(openedOptions_) ? fourBits_ : eightBits_)->setChecked(true);
    auto* busLayout = new QHBoxLayout(bus);
    busLayout->addWidget(eightBits_);
    busLayout->addWidget(fourBits_);

    backLight_ = new QCheckBox("Back Light");
    backLight_->setObjectName("backLight");
    backLight_->setChecked(openedOptions_ & kLcdBackLight);

    auto* lines = namedButton("Port Line Selection", "portLineSelection");
    auto* ok = namedButton("OK", "ok");
    auto* cancel = namedButton("Cancel", "cancel");
    ok->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(fieldLabel("Select LCD:", size_), size_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(bus);
    layout->addWidget(backLight_);
    layout->addWidget(lines);
    layout->addLayout(buttonRow(ok, cancel));
    connect(lines, &QPushButton::clicked, this, &LcdSettingDialog::portLineSelection);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

uint8_t LcdSettingDialog::chosenOptions() const {
    // Bits the dialog does not show are kept as they were.
    uint8_t options = openedOptions_ & uint8_t(~(kLcdSizeMask | kLcdBackLight | kLcdFourBit));
    options |= uint8_t(std::max(0, size_->currentIndex()));
    if (backLight_->isChecked()) options |= kLcdBackLight;
    if (fourBits_->isChecked()) options |= kLcdFourBit;
    return options;
}

// The port lines of the bus width chosen here, assigned as they are picked.
void LcdSettingDialog::portLineSelection() {
    ModuleSettings& settings = frame_.machine().modules.settings;
    const uint8_t options = chosenOptions();
    const auto opened = settings.LcdPins;
    PortLineDialog::Wiring wiring;
    wiring.controlLines = [options] { return lcdControlLines(options); };
    wiring.line = [&settings, options](int entry) {
        return settings.LcdPins[size_t(lcdPinOfControlLine(options, entry))];
    };
    wiring.assign = [&settings, options](int entry, PinRef line) {
        settings.LcdPins[size_t(lcdPinOfControlLine(options, entry))] = line;
    };
    wiring.summary = [&settings, options] {
        ModuleSettings shown = settings;
        shown.LcdOptions = options;
        return lcdSummaryLines(shown);
    };
    wiring.restore = [&settings, opened] { settings.LcdPins = opened; };
    PortLineDialog dialog(frame_, "IDD_LCD_PORTLINE", "LCD Module - Port Line Selection",
                          std::move(wiring), this);
    dialog.exec();
}

void LcdSettingDialog::accept() {
    frame_.runControl().edit([&] {
        frame_.machine().modules.settings.LcdOptions = chosenOptions();
        if (auto* window = qobject_cast<LcdWindow*>(frame_.view(id::LcdWindow))) {
            lcdResetFlags(frame_.machine().modules.lcd);
            window->applySettings();
        }
    });
    QDialog::accept();
}

void runLcdSettingDialog(Frame& frame) {
    LcdSettingDialog dialog(frame);
    dialog.exec();
}

} // namespace quorvel::shell
