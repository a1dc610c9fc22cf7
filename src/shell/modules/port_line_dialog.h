// The port-line selection dialog every part shares ("LCD Module - Port Line
// Selection", the LED, keypad, IIC and SPI ones): "Control Line:" lists the
// part's lines, "Port Line:" the lines the device offers (with "+5V" and
// "GND" where a line may be tied to a level), "Summary:" one line per
// control line. Choosing a control line shows its port line; choosing a port
// line assigns it at once, with the simulation paused; Cancel puts back
// every line as it was when the dialog opened.
#pragma once

#include "chip/port_pins.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QPlainTextEdit;
class QVBoxLayout;

namespace quorvel::shell {

class Frame;

class PortLineDialog : public QDialog {
    Q_OBJECT
public:
    // How the dialog reads and changes one part's lines. `assign` and
    // `restore` run with the simulation paused.
    struct Wiring {
        std::function<std::vector<std::string>()> controlLines;
        std::function<PinRef(int entry)> line;
        std::function<void(int entry, PinRef line)> assign;
        std::function<std::vector<std::string>()> summary;
        std::function<void()> restore; // Cancel
        bool fixedLevels = false;      // "+5V" and "GND" offered
    };

    PortLineDialog(Frame& frame, const char* objectName, const QString& title, Wiring wiring,
                   QWidget* parent = nullptr);

    // Rows a part adds above "Control Line:" (the LED's "No. of Digits:").
    QVBoxLayout* extraRows() const { return extraRows_; }
    // Re-reads the control lines and the summary (after an extra row changed
    // what the part has).
    void reload();

    QComboBox* controlLineList() const { return controlLines_; }
    QComboBox* portLineList() const { return portLines_; }
    QPlainTextEdit* summary() const { return summary_; }

protected:
    void reject() override;

private:
    void showControlLine(int entry);
    void assignPortLine(int choice);
    void showSummary();

    Frame& frame_;
    Wiring wiring_;
    std::vector<PinRef> choices_;
    QVBoxLayout* extraRows_;
    QComboBox* controlLines_;
    QComboBox* portLines_;
    QPlainTextEdit* summary_;
};

} // namespace quorvel::shell
