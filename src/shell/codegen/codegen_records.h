// The settings of the six code-generation dialogs, kept for the rest of the
// run (never written to a file) and separate from the module settings: the
// dialogs and the generators read the module settings but never change them.
#pragma once

#include "codegen/bus_codegen.h"
#include "codegen/keyboard_codegen.h"
#include "codegen/lcd_codegen.h"
#include "codegen/led_codegen.h"
#include "codegen/serial_codegen.h"

#include <QObject>

namespace quorvel::shell {

class Frame;

class CodeGenRecords : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    LcdCodeGenSettings lcd;
    LedCodeGenSettings led;
    KeyboardCodeGenSettings keyboard;
    IicCodeGenSettings iic;
    SpiCodeGenSettings spi;
    SerialCodeGenSettings serial;
    // The LED dialog's clock was set by the user (else it follows the device).
    bool ledClockChosen = false;
};

// The frame's records, made on first use; they live as long as the frame.
CodeGenRecords& codeGenRecords(Frame& frame);

} // namespace quorvel::shell
