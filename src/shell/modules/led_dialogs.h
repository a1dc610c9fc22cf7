// The LED module's settings dialogs: "LED Module Setting" (File, External
// Modules Setting, LED) and, from its button, "LED Module - Port Line
// Selection" with "No. of Digits:". Radio buttons, the multiplexer options
// and "No Seven Segment Display" change the settings at once; the two port
// grids are taken on OK. Every change is made with the simulation paused.
#pragma once

class QWidget;

namespace quorvel::shell {

class Frame;

// Runs "LED Module Setting" modally.
void ledSettingCommand(Frame& frame);
// Runs "LED Module - Port Line Selection" modally over `parent`.
void ledPortLineDialog(Frame& frame, QWidget* parent);

} // namespace quorvel::shell
