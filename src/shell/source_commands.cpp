#include "shell/source_commands.h"

#include "shell/debug_commands.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/program_view.h"
#include "shell/source_debug.h"

#include <QAction>

namespace quorvel::shell {

namespace {

const QStringList kMapFilters = {
    "Source Maps *.cdb, *.lst (*.cdb *.CDB *.lst *.LST)",
    "Programs *.hex, *.ihx (*.hex *.HEX *.Hex *.ihx *.IHX)", "All Files *.* (*)"};

// The debug session's line breakpoints follow the source map's.
void handLineBreaks(Frame& frame) {
    auto guard = frame.runControl().pause();
    frame.runControl().session().setLineBreaks(frame.sourceDebug().lineBreakAddresses());
    frame.runControl().stopConditionsChanged();
}

void repaintProgram(Frame& frame) {
    if (ProgramView* view = frame.programView()) view->reloadCode();
}

void stepBySourceLine(Frame& frame, SourceStep kind) {
    if (!frame.sourceDebug().map() || frame.runControl().running()) return;
    frame.applyRunOutcome(frame.runControl().sourceLineStep(kind));
}

} // namespace

bool loadSourceMapFile(Frame& frame, const QString& path) {
    if (auto error = frame.sourceDebug().load(path)) {
        frame.showMessage(errorMessage("Error", *error));
        return false;
    }
    handLineBreaks(frame);
    debugProgramChanged(frame);
    syncSourceCommands(frame);
    repaintProgram(frame);
    return true;
}

void loadSourceMapCommand(Frame& frame) {
    if (frame.runControl().running()) return;
    const QString path = frame.messages().openFileName(&frame, "Load Source Map", kMapFilters);
    if (!path.isEmpty()) loadSourceMapFile(frame, path);
}

void sourceProgramLoaded(Frame& frame, const QString& path) {
    frame.sourceDebug().programLoaded(path);
    handLineBreaks(frame);
    debugProgramChanged(frame);
    syncSourceCommands(frame);
    repaintProgram(frame);
}

void sourceLinesCommand(Frame& frame) {
    SourceDebug& source = frame.sourceDebug();
    source.showLines = !source.showLines;
    syncSourceCommands(frame);
    repaintProgram(frame);
}

void profileCommand(Frame& frame) {
    frame.runControl().edit([&] {
        CodeProfile& profile = frame.machine().codeProfile;
        profile.enabled() ? profile.disable() : profile.enable();
    });
    syncSourceCommands(frame);
    repaintProgram(frame);
}

void clearProfileCommand(Frame& frame) {
    frame.runControl().edit([&] { frame.machine().codeProfile.clear(); });
    repaintProgram(frame);
}

void stepSourceLineCommand(Frame& frame) { stepBySourceLine(frame, SourceStep::Into); }
void stepOverSourceLineCommand(Frame& frame) { stepBySourceLine(frame, SourceStep::Over); }
void stepOutOfFunctionCommand(Frame& frame) { stepBySourceLine(frame, SourceStep::Out); }


void syncSourceCommands(Frame& frame) {
    const bool running = frame.runControl().running();
    const bool mapped = frame.sourceDebug().map() != nullptr;
    bool profiling;
    {
        auto guard = frame.runControl().pause();
        profiling = frame.machine().codeProfile.enabled();
    }
    auto check = [&frame](int id, bool on) {
        if (QAction* action = frame.menuAction(id)) {
            action->setCheckable(true);
            action->setChecked(on);
        }
    };
    check(id::SourceLines, frame.sourceDebug().linesShown());
    check(id::Profile, profiling);
    frame.setCommandEnabled(id::LoadSourceMap, !running);
    frame.setCommandEnabled(id::SourceLines, mapped);
    frame.setCommandEnabled(id::StepSourceLine, mapped && !running);
    frame.setCommandEnabled(id::StepOverSourceLine, mapped && !running);
    frame.setCommandEnabled(id::StepOutOfFunction, mapped && !running);
}

} // namespace quorvel::shell
