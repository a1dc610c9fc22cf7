#include "shell/command_handlers.h"

#include "shell/codegen/bus_codegen_dialogs.h"
#include "shell/codegen/keyboard_codegen_dialog.h"
#include "shell/codegen/lcd_codegen_dialog.h"
#include "shell/codegen/led_codegen_dialog.h"
#include "shell/codegen/serial_codegen_dialog.h"
#include "shell/command_table.h"
#include "shell/debug_commands.h"
#include "shell/debugger_port.h"
#include "shell/demo_menu.h"
#include "shell/editor/editor_view.h"
#include "shell/frame.h"
#include "shell/history_commands.h"
#include "shell/modules/bus_setting_dialogs.h"
#include "shell/modules/keyboard_dialogs.h"
#include "shell/modules/lcd_setting_dialog.h"
#include "shell/modules/led_dialogs.h"
#include "shell/modules/transfer_list_commands.h"
#include "shell/settings_commands.h"
#include "shell/source_commands.h"
#include "shell/wave_commands.h"

#include <QMdiArea>

namespace quorvel::shell {

namespace {

// A command carried out by a function of its own, beside its window or dialog.
template <void (*Run)(Frame&)>
void plain(Frame& frame, int) {
    Run(frame);
}

} // namespace

// A friend of the frame: the rows reach its private commands.
std::span<const CommandHandler> commandHandlers() {
    using F = Frame;
    constexpr auto view = [](F& f, int id) { f.openView(id); };
    constexpr auto activeView = [](F& f, int id) { f.activeViewCommand(id); };
    constexpr auto demo = [](F& f, int id) { loadDemonstration(f, id); };
    // clang-format off
    static const CommandHandler kHandlers[] = {
        // File
        {id::LoadProgram, [](F& f, int) { f.loadProgramCommand(); }},
        {id::LoadData, [](F& f, int) { f.loadDataCommand(); }},
        {id::LoadSourceMap, plain<loadSourceMapCommand>},
        {id::OpenRecording, [](F& f, int) { f.openRecordingCommand(); }},
        {id::SaveMemory, [](F& f, int) { f.saveMemory(); }},
        {id::SaveSerialReceiver, plain<saveSerialReceiver>},
        {id::SaveSerialTransmitter, plain<saveSerialTransmitter>},
        {id::SaveSpiReceiver, plain<saveSpiReceiver>},
        {id::SaveSpiTransmitter, plain<saveSpiTransmitter>},
        {id::ExportWaveform, plain<exportWaveformCommand>},
        {id::LoadTextFile, plain<loadTextFileCommand>},
        {id::SaveTextFile, activeView},
        {id::SaveTextFileAs, activeView},
        {id::LoadScreenSetting, plain<loadScreenSettingCommand>},
        {id::SaveScreenSetting, plain<saveScreenSettingCommand>},
        {id::SaveScreenSettingAs, plain<saveScreenSettingAsCommand>},
        {id::LedSetting, plain<ledSettingCommand>},
        {id::LcdSetting, plain<runLcdSettingDialog>},
        {id::KeyboardSetting, plain<keyboardSettingCommand>},
        {id::IicSetting, plain<runIicSettingDialog>},
        {id::SpiSetting, plain<runSpiSettingDialog>},
        {id::LoadModuleSetting, plain<loadModuleSettingCommand>},
        {id::SaveModuleSetting, plain<saveModuleSettingCommand>},
        {id::Exit, [](F& f, int) { f.close(); }},
        // Edit and Search: the editor window carries them out.
        {id::Undo, activeView},
        {id::Cut, activeView},
        {id::Copy, activeView},
        {id::Paste, activeView},
        {id::Delete, activeView},
        {id::SelectAll, activeView},
        {id::Find, activeView},
        {id::FindNext, activeView},
        {id::Replace, activeView},
        // Memory
        {id::ProgramFill, [](F& f, int) { f.blockOperation(BlockCommand::FillProgram); }},
        {id::ProgramCopy, [](F& f, int) { f.blockOperation(BlockCommand::MoveProgram); }},
        {id::ProgramClear, [](F& f, int) { f.clearProgramMemory(); }},
        {id::InternalFill, [](F& f, int) { f.blockOperation(BlockCommand::FillInternal); }},
        {id::InternalCopy, [](F& f, int) { f.blockOperation(BlockCommand::CopyInternal); }},
        {id::ExternalFill, [](F& f, int) { f.blockOperation(BlockCommand::FillExternal); }},
        {id::ExternalCopy, [](F& f, int) { f.blockOperation(BlockCommand::CopyExternal); }},
        {id::EnterProgram, [](F& f, int) { f.enterProgramCommand(); }},
        {id::MemorySetting, [](F& f, int) { f.memorySettingDialog(); }},
        // View: the windows of the view table, the layouts, the source lines.
        {id::ClearView, [](F& f, int) { f.toggleViewMode(); }},
        {id::NormalView, [](F& f, int) { f.toggleViewMode(); }},
        {id::RegisterWindow, view},
        {id::ProgramWindow, view},
        {id::InternalMemoryWindow, view},
        {id::ExternalMemoryWindow, view},
        {id::EepromWindow, view},
        {id::SfrBitWindow, view},
        {id::MemoryBitWindow, view},
        {id::SourceLines, plain<sourceLinesCommand>},
        {id::IoWindow, view},
        {id::SerialWindow, view},
        {id::SpiWindow, view},
        {id::LedWindow, view},
        {id::LcdWindow, view},
        {id::KeyboardWindow, view},
        {id::RtcWindow, view},
        {id::IicEepromWindow, view},
        {id::SpiEepromWindow, view},
        {id::LogicAnalyserWindow, view},
        {id::VariablesWindow, view},
        {id::CallStackWindow, view},
        // Run
        {id::Go, [](F& f, int) { f.applyRunOutcome(f.run_->go()); }},
        {id::GoTo, [](F& f, int) { f.goTo(); }},
        {id::ResetCpu, plain<resetCpuCommand>},
        {id::StopExecution, [](F& f, int) { f.applyRunOutcome(f.run_->stop()); }},
        {id::CalculateTime, [](F& f, int) { f.calculateExecutionTime(); }},
        {id::InitializeCycles, [](F& f, int) { f.initializeCycles(); }},
        {id::StepSourceLine, plain<stepSourceLineCommand>},
        {id::StepOverSourceLine, plain<stepOverSourceLineCommand>},
        {id::StepOutOfFunction, plain<stepOutOfFunctionCommand>},
        {id::StepBack, plain<stepBackCommand>},
        {id::RunBackwards, plain<runBackwardsCommand>},
        {id::GoToCycle, plain<goToCycleCommand>},
        {id::HistorySetting, plain<historySettingCommand>},
        {id::Profile, plain<profileCommand>},
        {id::ClearProfile, plain<clearProfileCommand>},
        {id::RecordWaveform, plain<recordWaveformCommand>},
        {id::AllowDebugger, plain<allowDebuggerCommand>},
        {id::RunSetting, [](F& f, int) { f.runSetting(); }},
        // BreakPoint and SingleStep
        {id::BreakpointSetting, [](F& f, int) { f.breakpointSetting(); }},
        {id::BreakpointExecution, [](F& f, int) { f.applyRunOutcome(f.run_->breakpointRun()); }},
        {id::ClearWatchpoints, plain<clearWatchpointsCommand>},
        {id::FinishSubroutine, [](F& f, int) { f.applyRunOutcome(f.run_->finishSubroutine()); }},
        {id::SingleStep, [](F& f, int) { f.applyRunOutcome(f.run_->singleStep()); }},
        {id::StepOver, [](F& f, int) { f.applyRunOutcome(f.run_->stepOver()); }},
        {id::SingleStepSetting, [](F& f, int) { f.singleStepSetting(); }},
        // Command: the editor window runs the assembler (menu, toolbar, F9).
        {id::RunAssembler, activeView},
        {id::RunAssemblerButton, activeView},
        {id::RunAssemblerKey, activeView},
        // Code Generation: each dialog inserts its driver at the editor's caret.
        {id::GenSerial, plain<generateSerialCodeCommand>},
        {id::GenLed, plain<generateLedCodeCommand>},
        {id::GenLcd, plain<generateLcdCodeCommand>},
        {id::GenKeyboard, plain<generateKeyboardCodeCommand>},
        {id::GenSpiEeprom, plain<generateSpiCodeCommand>},
        {id::GenIic, plain<generateIicCodeCommand>},
        // Demo: eleven programs and three projects.
        {id::DemoFirst, demo}, {id::DemoFirst + 1, demo}, {id::DemoFirst + 2, demo},
        {id::DemoFirst + 3, demo}, {id::DemoFirst + 4, demo}, {id::DemoFirst + 5, demo},
        {id::DemoFirst + 6, demo}, {id::DemoFirst + 7, demo}, {id::DemoFirst + 8, demo},
        {id::DemoFirst + 9, demo}, {id::DemoLast, demo},
        {id::ProjectFirst, demo}, {id::ProjectFirst + 1, demo}, {id::ProjectLast, demo},
        // Window
        {id::Cascade, [](F& f, int) { f.mdi_->cascadeSubWindows(); }},
        {id::TileHorizontally, [](F& f, int) { f.tileViews(Qt::Vertical); }},
        {id::TileVertically, [](F& f, int) { f.tileViews(Qt::Horizontal); }},
        {id::ArrangeIcons, [](F& f, int) { f.arrangeMinimisedViews(); }},
        {id::CloseAll, [](F& f, int) { f.closeAll(); }},
        // Help
        {id::HelpTopics, [](F& f, int) { f.showHelp(); }},
        {id::About, [](F& f, int) { f.showAbout(); }},
    };
    // clang-format on
    return kHandlers;
}

const CommandHandler* findCommandHandler(int id) {
    for (const CommandHandler& handler : commandHandlers())
        if (handler.id == id) return &handler;
    return nullptr;
}

} // namespace quorvel::shell
