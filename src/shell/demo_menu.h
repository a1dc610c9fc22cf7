// The Demo menu: eleven demonstration programs and three projects, each a
// program (.HEX), its module settings (.MST) and a window layout (.SST) in
// the DemoPrograms folder. Which entries a device offers is its DemoMask.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace quorvel::shell {

class Frame;

bool isDemoCommand(int command);
// "Demo1" ... "Demo11", "Project1" ... "Project3": the base name of the
// entry's three files.
QString demoName(int command);
// The folder of the demonstration files.
QString demoDirectory(const Frame& frame);

// Enables the entries `mask` offers and grays the others: Demo k by bit k-1,
// the three projects together by any of bits 12 to 14. Entries whose parts
// sit on P0 or P2 stay gray while external memory takes those ports.
void applyDemoMask(Frame& frame, uint16_t mask);

// Loads a demonstration: screen updates on once a second, every window
// closed, the CPU reset, the input lines it needs set (the others "NC"), the
// module settings, the program and the window
// layout read (a missing file gives its message and the rest goes on), the
// run started from 0000H. Demo Program 11 is stepped by hand instead: it
// does not run, and the external data memory is put away until another
// program is loaded.
void loadDemonstration(Frame& frame, int command);

// Demo Program 11 works without external data memory: while it is loaded
// the external data memory is out of reach and its commands are gray. The
// configured memory (and what it holds) comes back when another program is
// loaded; simulator.dat always stores the configured size.
struct SuspendedExternalMemory {
    bool active = false;
    uint16_t xdataLimit = 0;                   // the configured highest address
    std::vector<std::pair<int, bool>> enabled; // menu items and button, as they were
};
void suspendExternalMemory(Frame& frame);
void restoreExternalMemory(Frame& frame);

} // namespace quorvel::shell
