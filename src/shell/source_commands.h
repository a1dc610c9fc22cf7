// The commands of source-level debugging and the execution profile: Load
// Source Map, the Source Lines and Profile switches, Clear Profile, the two
// steps by source line and the line breakpoints of the program window. The
// frame runs them through the module command table; `syncSourceCommands`
// checks and enables their menu items after every change.
#pragma once

#include "tools/source_map.h"

#include <QString>

namespace quorvel::shell {

class Frame;

void loadSourceMapCommand(Frame& frame);
void sourceLinesCommand(Frame& frame);
void profileCommand(Frame& frame);
void clearProfileCommand(Frame& frame);
void stepSourceLineCommand(Frame& frame);
void stepOverSourceLineCommand(Frame& frame);
void stepOutOfFunctionCommand(Frame& frame);

// Loads the map `path` names by hand; shows the message on failure.
bool loadSourceMapFile(Frame& frame, const QString& path);
// A program was loaded from `path`: its own map, if one lies beside it.
void sourceProgramLoaded(Frame& frame, const QString& path);

// The switches' check marks and the commands' enabled state, for the
// current map, profile and run state.
void syncSourceCommands(Frame& frame);

} // namespace quorvel::shell
