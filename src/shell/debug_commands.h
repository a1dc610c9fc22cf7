// The frame's side of C debugging: the session follows each new program and
// source map and Reset CPU, "Break on Write" from the memory windows and the
// Variables window adds a watchpoint, Clear Watchpoints drops them all, a
// run that a watchpoint stopped says what was written, and the Call Stack
// window shows a frame's code in the program window.
#pragma once

#include <QString>
#include <cstdint>

namespace quorvel::shell {

class Frame;
class ProgramDebug;
class View;
class ViewContext;

// The loaded program or its source map changed (after SourceDebug took it).
void debugProgramChanged(Frame& frame);
// Reset CPU, with the call stack emptied.
void resetCpuCommand(Frame& frame);
void clearWatchpointsCommand(Frame& frame);
// A watchpoint on `what` ("iram:30", "xdata:1234", a C variable): the
// status line says it is set, a message why it cannot be.
void breakOnWrite(const ViewContext& context, ProgramDebug& debug, const QString& what);
// A run ended on a watchpoint: the status line says what was written.
void showWatchStop(Frame& frame);
// A new view: a memory window's Break on Write reaches the session.
void connectDebugView(Frame& frame, View* view);
// Shows `address` at the top of the program window, opening it.
void showCodeAddress(Frame& frame, uint16_t address);

} // namespace quorvel::shell
