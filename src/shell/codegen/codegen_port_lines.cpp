#include "shell/codegen/codegen_port_lines.h"

#include "shell/dialog_parts.h"
#include "shell/frame.h"
#include "shell/modules/port_line_dialog.h"

#include <QComboBox>
#include <QFormLayout>

namespace quorvel::shell {

namespace {

// The module settings as they are now, read with the simulation paused.
ModuleSettings moduleSnapshot(Frame& frame) {
    auto guard = frame.runControl().pause();
    return frame.machine().modules.settings;
}

} // namespace

bool lcdCodeGenPortLines(Frame& frame, QWidget* parent, LcdCodeGenSettings& record) {
    ModuleSettings copy = lcdPortLineCopy(record, moduleSnapshot(frame));
    const ModuleSettings opened = copy;
    const uint8_t options = copy.LcdOptions;
    PortLineDialog::Wiring wiring{
        [options] { return lcdControlLines(options); },
        [&copy, options](int entry) { return copy.LcdPins[size_t(lcdPinOfControlLine(options, entry))]; },
        [&copy, options](int entry, PinRef line) {
            copy.LcdPins[size_t(lcdPinOfControlLine(options, entry))] = line;
        },
        [&copy] { return lcdSummaryLines(copy); },
        [&copy, &opened] { copy = opened; },
        false,
    };
    PortLineDialog dialog(frame, "IDD_LCD_PORTLINE", "LCD Module - Port Line Selection", std::move(wiring),
                          parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    acceptLcdPortLines(record, copy);
    return true;
}

bool ledCodeGenPortLines(Frame& frame, QWidget* parent, LedCodeGenSettings& record) {
    const uint32_t available = frame.machine().profile.availablePinMask;
    ModuleSettings copy = ledPortLineCopy(record, moduleSnapshot(frame));
    clampLedDigitCount(copy, available);
    const ModuleSettings opened = copy;
    PortLineDialog::Wiring wiring{
        [&copy] { return ledControlLines(copy); },
        [&copy](int entry) { return copy.LedLines[size_t(entry)]; },
        [&copy](int entry, PinRef line) { copy.LedLines[size_t(entry)] = line; },
        [&copy] { return ledSummaryLines(copy); },
        [&copy, &opened] { copy = opened; },
        true,
    };
    PortLineDialog dialog(frame, "IDM_LEDMODULESETTING1", "LED Module - Port Line Selection",
                          std::move(wiring), parent);
    auto* digits = new QComboBox;
    digits->setObjectName("digits");
    const int most = ledMaxDigits(copy.LedOptions, available);
    for (int n = 1; n <= most; ++n) digits->addItem(QString::asprintf("%2d", n));
    digits->setCurrentIndex(std::clamp(int(copy.LedDigitCount), 1, most) - 1);
    auto* row = new QFormLayout;
    row->addRow(fieldLabel("No. of Digits:", digits), digits);
    dialog.extraRows()->addLayout(row);
    QObject::connect(digits, &QComboBox::activated, &dialog, [&copy, &dialog](int index) {
        copy.LedDigitCount = uint8_t(index + 1);
        dialog.reload();
    });
    if (dialog.exec() != QDialog::Accepted) return false;
    acceptLedPortLines(record, copy);
    return true;
}

bool keyboardCodeGenPortLines(Frame& frame, QWidget* parent, KeyboardCodeGenSettings& record) {
    ModuleSettings copy = keyboardPortLineCopy(record, moduleSnapshot(frame));
    const ModuleSettings opened = copy;
    PortLineDialog::Wiring wiring{
        [&copy] { return keypadControlLines(keypadType(copy)); },
        [&copy](int entry) { return copy.KeypadLines[size_t(entry)]; },
        [&copy](int entry, PinRef line) { copy.KeypadLines[size_t(entry)] = line; },
        [&copy] { return keypadSummaryLines(copy); },
        [&copy, &opened] { copy = opened; },
        false,
    };
    PortLineDialog dialog(frame, "IDM_KEYPADPORTLINES", "Matrix Keypad - Port Line Selection",
                          std::move(wiring), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    acceptKeyboardPortLines(record, copy);
    return true;
}

bool iicCodeGenPortLines(Frame& frame, QWidget* parent, IicCodeGenSettings& record) {
    IicSettings copy = iicPortLineCopy(record, moduleSnapshot(frame).iic);
    const IicSettings opened = copy;
    PortLineDialog::Wiring wiring{
        [] { return std::vector<std::string>{"SCL ", "SDA "}; },
        [&copy](int entry) { return entry == 0 ? copy.IicScl : copy.IicSda; },
        [&copy](int entry, PinRef line) { (entry == 0 ? copy.IicScl : copy.IicSda) = line; },
        [&copy] { return iicSummaryLines(copy); },
        [&copy, &opened] { copy = opened; },
        false,
    };
    PortLineDialog dialog(frame, "IDM_IICBUSSETTING", "IIC Bus Setting", std::move(wiring), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    acceptIicPortLines(record, copy);
    return true;
}

bool spiCodeGenPortLines(Frame& frame, QWidget* parent, SpiCodeGenSettings& record) {
    SpiCodeGenSettings copy = record;
    PortLineDialog::Wiring wiring{
        [&copy] { return spiCodeGenControlLines(copy); },
        [&copy](int entry) { return spiCodeGenLine(copy, entry); },
        [&copy](int entry, PinRef line) { setSpiCodeGenLine(copy, entry, line); },
        [&copy] { return spiCodeGenSummaryLines(copy); },
        [&copy, &record] { copy = record; },
        false,
    };
    PortLineDialog dialog(frame, "IDM_SPIBUSSETTING", "SPI Bus Setting", std::move(wiring), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    record = copy;
    return true;
}

} // namespace quorvel::shell
