// The port-line selection of the code-generation dialogs: each module's own
// port-line dialog, run on a private copy that carries the record's wiring.
// OK takes the edited lines into the record; the module settings the
// simulation uses are never touched, so a running program sees no change.
#pragma once

#include "codegen/bus_codegen.h"
#include "codegen/keyboard_codegen.h"
#include "codegen/lcd_codegen.h"
#include "codegen/led_codegen.h"

class QWidget;

namespace quorvel::shell {

class Frame;

// Each returns true when the dialog ended with OK.
bool lcdCodeGenPortLines(Frame& frame, QWidget* parent, LcdCodeGenSettings& record);
bool ledCodeGenPortLines(Frame& frame, QWidget* parent, LedCodeGenSettings& record);
bool keyboardCodeGenPortLines(Frame& frame, QWidget* parent, KeyboardCodeGenSettings& record);
bool iicCodeGenPortLines(Frame& frame, QWidget* parent, IicCodeGenSettings& record);
bool spiCodeGenPortLines(Frame& frame, QWidget* parent, SpiCodeGenSettings& record);

} // namespace quorvel::shell
