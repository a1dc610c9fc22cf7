// Time travel in the main window: the Run menu's Step Back, Run Backwards,
// Go to Cycle and History Setting, the history bar (a slider over every
// recorded moment, at the foot of the frame), and Last Write from the memory
// windows and the Variables window. The debug session's history does the
// work (debug/history.h); here the windows follow it as after a step, and
// the status line says where on the timeline the machine is and when a run
// or step from a moment in the past discarded the recorded future.
//
// Thread: user-interface thread.
#pragma once

#include "common/user_message.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace quorvel {
class DebugSession;
}

namespace quorvel::shell {

class Frame;
class ProgramDebug;
class ViewContext;

// Builds the history bar and reads the recording settings from the user's
// settings file (recording on, 64 MB, when it keeps none).
void setUpHistoryCommands(Frame& frame);
// Enables the commands and the bar by the history, and follows the present
// on the bar and in the status line.
void syncHistoryCommands(Frame& frame);

// A move along the session's history made as the commands below make one:
// the run controller keeps its present, the history bar follows. (An
// attached debugger's step back and reverse continue.)
Validation travelInHistory(Frame& frame, const std::function<Validation(DebugSession&)>& move);

void stepBackCommand(Frame& frame);
void runBackwardsCommand(Frame& frame);
void goToCycleCommand(Frame& frame);
void historySettingCommand(Frame& frame);

// The last write to `what` ("iram:30", "xdata:1234", a C variable) in the
// recorded history: cycle, PC, source line, old and new value, with the
// offer to go to that moment.
void showLastWrite(const ViewContext& context, ProgramDebug& debug, const QString& what);

} // namespace quorvel::shell
