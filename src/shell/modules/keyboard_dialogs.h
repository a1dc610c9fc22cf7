// The keyboard module's settings dialogs: "Keyboard Module Setting" (File,
// External Modules Setting, Keyboard) with its three port grids (taken on OK)
// and the keypad type (at once), and the two "Matrix Keypad - Port Line
// Selection" dialogs it opens: the keypad's row and column lines, and the key
// names. Every change is made with the simulation paused; an open keyboard
// window is built again on OK when the keys it shows changed.
#pragma once

class QWidget;

namespace quorvel::shell {

class Frame;

void keyboardSettingCommand(Frame& frame);
void keypadPortLineDialog(Frame& frame, QWidget* parent);
void keyNameDialog(Frame& frame, QWidget* parent);

} // namespace quorvel::shell
