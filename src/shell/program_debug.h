// The C debugging of the loaded program in the main window: the window's one
// debug session on its machine (which feeds the session's call stack and
// watchpoints as the program runs), given the symbols of each program's
// source map; the stack frame whose locals the Variables window shows; and
// the text of a watchpoint's stop.
//
// Thread: user-interface thread, with the run paused wherever the machine is
// read or the session changed.
#pragma once

#include "debug/debug_session.h"

#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::shell {

class ProgramDebug {
public:
    explicit ProgramDebug(Machine& machine) : session_(machine) {}

    DebugSession& session() { return session_; }
    const DebugSession& session() const { return session_; }

    // A program or a source map was loaded: the session takes the map (none:
    // no program symbols) and the symbols of the file it was read from, and
    // forgets the old program's call stack, watchpoints and frame choice.
    // Returns the problems found in the symbol records.
    std::vector<std::string> programChanged(const SourceMap* map, const QString& mapPath);
    // Reset CPU: the program starts again with no call open.
    void resetCpu();

    // The stack frame whose locals the Variables window lists (0: the
    // function at the program counter). A stack that changed since the
    // choice (a step, a run) returns it to 0.
    size_t selectedFrame();
    void selectFrame(size_t frame);

    // "Watchpoint iram:30 written at 0123H: 05 -> 06" for the last
    // watchpoint stop, with the variable named when one was watched;
    // nothing when there was none.
    std::optional<QString> watchStopText() const;

private:
    std::vector<uint16_t> stackPcs() const;

    DebugSession session_;
    size_t selected_ = 0;
    std::vector<uint16_t> selectedIn_; // the stack the choice was made in
};

} // namespace quorvel::shell
