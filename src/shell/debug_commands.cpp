#include "shell/debug_commands.h"

#include "shell/command_table.h"
#include "shell/frame.h"
#include "shell/history_commands.h"
#include "shell/program_debug.h"
#include "shell/program_view.h"
#include "shell/source_debug.h"
#include "shell/view.h"
#include "shell/view_context.h"
#include "shell/views/memory_view.h"

namespace quorvel::shell {

namespace {

// The watch address space of each memory window's bytes.
struct MemorySpace {
    int command;
    const char* space;
    int digits;
};
constexpr MemorySpace kMemorySpaces[] = {
    {id::InternalMemoryWindow, "iram", 2},
    {id::ExternalMemoryWindow, "xdata", 4},
    {id::EepromWindow, "eeprom", 3},
};

} // namespace

void debugProgramChanged(Frame& frame) {
    std::vector<std::string> warnings;
    {
        auto guard = frame.runControl().pause();
        warnings = frame.programDebug().programChanged(frame.sourceDebug().map(), frame.sourceDebug().mapPath());
        // The windows of the old program's symbols show the new program's.
        for (int command : {id::VariablesWindow, id::CallStackWindow})
            if (View* view = frame.view(command)) view->refreshView();
    }
    if (!warnings.empty())
        frame.setStatusText(0, QString("Symbols: %1 (%2 problems in all)")
                                   .arg(QString::fromStdString(warnings.front()))
                                   .arg(warnings.size()));
}

void resetCpuCommand(Frame& frame) {
    {
        auto guard = frame.runControl().pause();
        frame.programDebug().resetCpu();
    }
    frame.applyRunOutcome(frame.runControl().resetCpu());
}

void clearWatchpointsCommand(Frame& frame) {
    {
        auto guard = frame.runControl().pause();
        frame.programDebug().session().clearWatchpoints();
    }
    frame.setStatusText(0, "Watchpoints cleared");
}

void breakOnWrite(const ViewContext& context, ProgramDebug& debug, const QString& what) {
    Validation refused;
    size_t count = 0;
    {
        auto guard = context.runControl().pause();
        DebugSession& session = debug.session();
        refused = session.watch(what.toStdString());
        count = session.watchpoints().places().size();
    }
    if (refused) {
        context.showMessage(*refused);
        return;
    }
    context.setStatusText(0, QString("Break on write: %1 (%2 watched %3)")
                               .arg(what)
                               .arg(count)
                               .arg(count == 1 ? "byte" : "bytes"));
}

void showWatchStop(Frame& frame) {
    std::optional<QString> text;
    {
        auto guard = frame.runControl().pause();
        text = frame.programDebug().watchStopText();
    }
    if (text) frame.setStatusText(0, *text);
}

void connectDebugView(Frame& frame, View* view) {
    auto* memory = qobject_cast<MemoryView*>(view);
    if (!memory) return;
    for (const MemorySpace& m : kMemorySpaces)
        if (m.command == memory->viewCommand())
            QObject::connect(memory, &MemoryView::breakOnWriteRequested, memory, [&frame, m](uint32_t address) {
                const QString hex = QString::number(address, 16).toUpper().rightJustified(m.digits, '0');
                breakOnWrite(frame.viewContext(), frame.programDebug(), QString("%1:%2").arg(m.space, hex));
            });
    for (const MemorySpace& m : kMemorySpaces)
        if (m.command == memory->viewCommand())
            QObject::connect(memory, &MemoryView::lastWriteRequested, memory, [&frame, m](uint32_t address) {
                const QString hex = QString::number(address, 16).toUpper().rightJustified(m.digits, '0');
                showLastWrite(frame.viewContext(), frame.programDebug(), QString("%1:%2").arg(m.space, hex));
            });
}

void showCodeAddress(Frame& frame, uint16_t address) {
    frame.dispatch(id::ProgramWindow);
    if (ProgramView* program = frame.programView()) {
        program->setTop(address);
        frame.viewContext().lastAddress = address;
    }
}

} // namespace quorvel::shell
