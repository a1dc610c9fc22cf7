#include "shell/command_table.h"

#include <QString>
#include <array>

namespace quorvel::shell {

namespace {

// clang-format off
const CommandInfo kCommands[] = {
    {id::LoadProgram, "&Load Program\tCtrl+O", "Load a program file (Intel HEX or binary) into program memory\nLoad Program"},
    {id::LoadData, "Load &Data\tCtrl+D", "Load a file into external data memory\nLoad Data"},
    {id::OpenRecording, "Open &Recording...", "Open a recorded run (.qrec): its program, board and history, at its last moment\nOpen Recording"},
    {id::LoadSourceMap, "Load Source &Map...", "Load the source lines of the program from a listing or SDCC debug file\nLoad Source Map"},
    {id::SourceLines, "So&urce Lines", "Show the source lines beside the disassembly in the program window\nSource Lines"},
    {id::Profile, "&Profile", "Count the executions and machine cycles of each instruction\nProfile"},
    {id::ClearProfile, "Clear Pro&file", "Set the profile counters to 0\nClear Profile"},
    {id::StepSourceLine, "Step Source &Line\tShift+F7", "Execute up to the next source line, entering functions\nStep Source Line"},
    {id::StepOverSourceLine, "Step O&ver Source Line\tShift+F8", "Execute up to the next source line, running calls at full speed\nStep Over Source Line"},
    {id::StepOutOfFunction, "Step Ou&t of Function\tShift+F6", "Execute until the function returns to its caller\nStep Out of Function"},
    {id::SaveMemory, "&Save Memory", "Save a memory range as an Intel HEX or binary file\nSave Memory"},
    {id::SaveSerialReceiver, "Serial Port Receiver", "Save the list of bytes received by the serial port\n"},
    {id::SaveSerialTransmitter, "Serial Port Transmitter", "Save the list of bytes transmitted by the serial port\n"},
    {id::SaveSpiReceiver, "SPI Receiver", "Save the list of bytes received by the SPI\n"},
    {id::SaveSpiTransmitter, "SPI Transmitter", "Save the list of bytes transmitted by the SPI\n"},
    {id::LoadTextFile, "Load &Text File", "Open an assembler source or text file in the editor\nLoad Text File"},
    {id::SaveTextFile, "Save Text File\tCtrl+S", "Save the text in the editor\nSave Text File"},
    {id::SaveTextFileAs, "Save Text File As...", "Save the text in the editor under a new name\n"},
    {id::LoadScreenSetting, "L&oad Screen Setting\tCtrl+L", "Load a screen setting file\nLoad Screen Setting"},
    {id::SaveScreenSetting, "S&ave Screen Setting", "Save the window layout to the screen setting file\nSave Screen Setting"},
    {id::SaveScreenSettingAs, "Sa&ve Screen Setting As...", "Save the window layout to a new screen setting file\n"},
    {id::LedSetting, "&LED", "Wire the LEDs and seven segment displays\n"},
    {id::LcdSetting, "L&CD", "Wire and configure the LCD module\n"},
    {id::KeyboardSetting, "&Keyboard", "Wire the keys and the matrix keyboard\n"},
    {id::IicSetting, "&IIC Bus", "Wire the IIC bus EEPROM and real time clock\n"},
    {id::SpiSetting, "&SPI Bus", "Wire the SPI bus EEPROM\n"},
    {id::LoadModuleSetting, "Load Module Setting", "Load the external module settings from a file\n"},
    {id::SaveModuleSetting, "Save Module Setting", "Save the external module settings to a file\n"},
    {id::Exit, "E&xit\tAlt+X", "Quit the simulator\nExit"},
    {id::Undo, "&Undo\tCtrl+Z", "Undo the last edit\nUndo"},
    {id::Cut, "Cu&t\tCtrl+X", "Cut the selection to the clipboard\nCut"},
    {id::Copy, "&Copy\tCtrl+C", "Copy the selection to the clipboard\nCopy"},
    {id::Paste, "&Paste\tCtrl+V", "Insert the clipboard text\nPaste"},
    {id::Delete, "De&lete\tDel", "Delete the selection\nDelete"},
    {id::SelectAll, "&Select All", "Select the whole text\nSelect All"},
    {id::Find, "&Find...\tCtrl+F", "Find a text\nFind"},
    {id::FindNext, "Find &Next\tF3", "Find the next occurrence\nFind Next"},
    {id::Replace, "&Replace...\tCtrl+R", "Replace a text\nReplace"},
    {id::ExternalFill, "&Fill", "Fill a range of external data memory\n"},
    {id::ExternalCopy, "&Copy", "Copy or move a range of external data memory\n"},
    {id::InternalFill, "&Fill", "Fill a range of internal data memory\n"},
    {id::InternalCopy, "&Copy", "Copy or move a range of internal data memory\n"},
    {id::ProgramClear, "&Clear", "Clear the whole program memory to FFH\n"},
    {id::ProgramFill, "&Fill", "Fill a range of program memory\n"},
    {id::ProgramCopy, "&Copy", "Copy or move a range of program memory\n"},
    {id::EnterProgram, "Enter &Program", "Enter instructions into program memory\nEnter Program"},
    {id::MemorySetting, "&Setting", "Overlap and start-up memory settings\n"},
    {id::ClearView, "&Clear View", "Arrange the main windows in a fixed layout\nClear View"},
    {id::NormalView, "&Normal View", "Return to the normal window layout\nNormal View"},
    {id::RegisterWindow, "&Register Window", "Show the registers\nRegisters"},
    {id::ProgramWindow, "&Program Window", "Show the program memory disassembly\nProgram"},
    {id::InternalMemoryWindow, "&Internal Data Memory Window", "Show internal data memory\nInternal Data Memory"},
    {id::EepromWindow, "On-Chip &EEPROM Window", "Show the on-chip EEPROM\n"},
    {id::ExternalMemoryWindow, "External &Data Memory Window", "Show external data memory\nExternal Data Memory"},
    {id::SfrBitWindow, "SFR &Bit Status Window", "Show the bits of the SFRs\nSFR Bit Status"},
    {id::MemoryBitWindow, "&Memory Bit Status Window", "Show the bit-addressable memory\nMemory Bit Status"},
    {id::SpiWindow, "&Serial Peripheral Interface Window", "Show the SPI transfers\n"},
    {id::SerialWindow, "Serial Port &Window", "Show the serial port and its host\n"},
    {id::IoWindow, "I/&O Window", "Set input levels and watch the port outputs\n"},
    {id::LedWindow, "&LED", "Show the LEDs and seven segment displays\n"},
    {id::LcdWindow, "L&CD", "Show the LCD module\n"},
    {id::KeyboardWindow, "&Keyboard", "Show the keys and the matrix keyboard\n"},
    {id::RtcWindow, "&RTC", "Show the IIC real time clock\n"},
    {id::IicEepromWindow, "&EEPROM", "Show the IIC EEPROM\n"},
    {id::SpiEepromWindow, "EEPROM", "Show the SPI EEPROM\n"},
    {id::LogicAnalyserWindow, "Lo&gic Analyser", "Show the port lines over time\nLogic Analyser"},
    {id::RecordWaveform, "Record &Waveform", "Record the port lines while the program runs\n"},
    {id::AllowDebugger, "Allow &Debugger to Attach",
     "Let an editor's debugger attach over the Debug Adapter Protocol on a port of 127.0.0.1\n"},
    {id::ExportWaveform, "Export &Waveform...", "Save the recorded port lines as a value change dump (VCD)\n"},
    {id::VariablesWindow, "&Variables Window\tCtrl+Shift+V", "Show the C variables of the program and of the chosen call\nVariables"},
    {id::CallStackWindow, "Call Stac&k Window\tCtrl+Shift+K", "Show the calls the program is in\nCall Stack"},
    {id::ClearWatchpoints, "Clear &Watchpoints", "Remove every watchpoint set by Break on Write\nClear Watchpoints"},
    {id::StepBack, "Step &Back\tCtrl+F7", "Go back one instruction in the recorded history\nStep Back"},
    {id::RunBackwards, "Run Bac&kwards\tCtrl+F5", "Go back to the last moment a breakpoint or watchpoint held\nRun Backwards"},
    {id::GoToCycle, "Go to C&ycle...\tCtrl+G", "Go to a machine cycle of the recorded history\nGo to Cycle"},
    {id::HistorySetting, "&History Setting...", "Turn the recording of the history on or off and set its budget\n"},
    {id::Go, "&Go", "Execute program from current PC value\nExecute(PC)"},
    {id::GoTo, "Go&To", "Execute program from a given address\nExecute from Address"},
    {id::RunSetting, "&Setting", "Start address and screen update settings\n"},
    {id::ResetCpu, "&Reset CPU", "Reset the microcontroller\nReset CPU"},
    {id::StopExecution, "Stop &Execution\tEsc", "Stop the running program\nStop Execution"},
    {id::CalculateTime, "&Calculate Execution Time", "Measure the execution time of a program part\n"},
    {id::InitializeCycles, "Initialize Machine &Cycle", "Set the machine cycle counter to 0\n"},
    {id::BreakpointSetting, "&Setting", "Set the breakpoint condition\nBreakpoint Setting"},
    {id::BreakpointExecution, "&Execution", "Execute until the breakpoint condition holds\nBreakpoint Execution"},
    {id::FinishSubroutine, "&Finish Subroutine\tF6", "Execute until the current subroutine returns\nFinish Subroutine"},
    {id::SingleStep, "SingleS&tep\tF7", "Execute one instruction\nSingle Step"},
    {id::StepOver, "Step&Over\tF8", "Execute one instruction, running calls at full speed\nStep Over"},
    {id::SingleStepSetting, "&Setting", "Number of steps for a single step\nSingle Step Setting"},
    {id::RunAssembler, "Run &Assembler", "Assemble the text in the editor and load the program\n"},
    {id::RunAssemblerButton, "", "Assemble the text in the editor and load the program\nRun Assembler"},
    {id::GenSerial, "Serial Port", "Generate serial port routines\n"},
    {id::GenLed, "LED - 7 Segment Display", "Generate display routines\n"},
    {id::GenLcd, "LCD", "Generate LCD routines\n"},
    {id::GenKeyboard, "Matrix Keyboard", "Generate keyboard routines\n"},
    {id::GenSpiEeprom, "SPI-EEPROM", "Generate SPI EEPROM routines\n"},
    {id::GenIic, "IIC Bus", "Generate IIC bus routines\n"},
    {id::Cascade, "&Cascade", "Arrange the windows overlapped\n"},
    {id::TileHorizontally, "Tile &Horizontally", "Arrange the windows one above the other\n"},
    {id::TileVertically, "Tile &Vertically", "Arrange the windows side by side\n"},
    {id::ArrangeIcons, "&Arrange Icons", "Arrange the minimised windows\n"},
    {id::CloseAll, "&Close All", "Close every window\nClose All"},
    {id::HelpTopics, "&Help Topics\tF1", "Show the help topics\n"},
    {id::About, "&About Quorvel Simulator", "Program information and version\nAbout"},
};

const char* const kDemoTexts[] = {
    "Demo Program 1 : Flash a Point LED",
    "Demo Program 2 : Interfacing Two Digits of Seven Segment Display",
    "Demo Program 3 : Display a Message in a 4 line X 20 characters LCM",
    "Demo Program 4 : Interfacing a Momentary Switch and a Toggle switch and LEDs",
    "Demo Program 5 : Interfacing 4 X 3 Key Matrix Keyboard and Seven Segment Display",
    "Demo Program 6 : Interfacing IIC RTC and Seven Segment Displays",
    "Demo Program 7 : Serial Port Demonstration",
    "Demo Program 8 : Serial Peripheral Interface Demonstration",
    "Demo Program 9 : Counting Pulses at Interrupt INT0",
    "Demo Program 10 : Counting External Event Using Timer 0 in Counter Mode",
    "Demo Program 11 : Filling a Block of Data in Internal Data Memory",
    "Project 1 : 8 Channel Sequential Controller with LED Displays",
    "Project 2 : 8 Channel Sequential Controller - LCD Display",
    "Project 3 : Programmable Timer with 2X16 LCD Display",
};

using E = MenuEntry;
using EK = MenuEntry::Kind;
constexpr E cmd(int i) { return {EK::Command, i, nullptr, {}}; }
constexpr E sep() { return {EK::Separator, 0, nullptr, {}}; }
constexpr E popup(const char* title, std::span<const E> children) { return {EK::Popup, 0, title, children}; }

const E kSaveBuffer[] = {cmd(id::SaveSerialReceiver), cmd(id::SaveSerialTransmitter),
                         cmd(id::SaveSpiReceiver), cmd(id::SaveSpiTransmitter)};
const E kModuleSettings[] = {cmd(id::LedSetting), cmd(id::LcdSetting), cmd(id::KeyboardSetting),
                             cmd(id::IicSetting), cmd(id::SpiSetting)};
const E kFile[] = {
    cmd(id::LoadProgram), cmd(id::LoadData), cmd(id::LoadSourceMap), cmd(id::OpenRecording), sep(),
    cmd(id::SaveMemory), popup("Save Buffer", kSaveBuffer), cmd(id::ExportWaveform), sep(),
    cmd(id::LoadTextFile), cmd(id::SaveTextFile), cmd(id::SaveTextFileAs), sep(),
    cmd(id::LoadScreenSetting), cmd(id::SaveScreenSetting), cmd(id::SaveScreenSettingAs), sep(),
    popup("&External Modules Setting ", kModuleSettings),
    cmd(id::LoadModuleSetting), cmd(id::SaveModuleSetting), sep(),
    cmd(id::Exit)};
const E kEdit[] = {cmd(id::Undo), sep(), cmd(id::Cut), cmd(id::Copy), cmd(id::Paste),
                   cmd(id::Delete), sep(), cmd(id::SelectAll)};
const E kSearch[] = {cmd(id::Find), cmd(id::FindNext), cmd(id::Replace)};
const E kProgramMemory[] = {cmd(id::ProgramFill), cmd(id::ProgramCopy), cmd(id::ProgramClear)};
const E kInternalMemory[] = {cmd(id::InternalFill), cmd(id::InternalCopy)};
const E kExternalMemory[] = {cmd(id::ExternalFill), cmd(id::ExternalCopy)};
const E kMemory[] = {popup("&Program Memory", kProgramMemory),
                     popup("&Internal Data Memory", kInternalMemory),
                     popup("&External Data Memory", kExternalMemory), sep(),
                     cmd(id::EnterProgram), sep(), cmd(id::MemorySetting)};
const E kIicBus[] = {cmd(id::RtcWindow), cmd(id::IicEepromWindow)};
const E kSpiBus[] = {cmd(id::SpiEepromWindow)};
const E kExternalModules[] = {cmd(id::LedWindow), cmd(id::LcdWindow), cmd(id::KeyboardWindow),
                              popup("&IIC Bus", kIicBus), popup("S&PI Bus", kSpiBus)};
const E kView[] = {cmd(id::ClearView), sep(),
                   cmd(id::RegisterWindow), cmd(id::ProgramWindow),
                   cmd(id::InternalMemoryWindow), cmd(id::ExternalMemoryWindow),
                   cmd(id::EepromWindow), cmd(id::SfrBitWindow), cmd(id::MemoryBitWindow), sep(),
                   cmd(id::SourceLines), cmd(id::VariablesWindow), cmd(id::CallStackWindow), sep(),
                   cmd(id::IoWindow), cmd(id::SerialWindow), cmd(id::SpiWindow),
                   popup("External Mo&Dules", kExternalModules), sep(),
                   cmd(id::LogicAnalyserWindow)};
const E kRun[] = {cmd(id::Go), cmd(id::GoTo), sep(), cmd(id::ResetCpu), cmd(id::StopExecution),
                  sep(), cmd(id::CalculateTime), cmd(id::InitializeCycles), sep(),
                  cmd(id::StepSourceLine), cmd(id::StepOverSourceLine), cmd(id::StepOutOfFunction), sep(),
                  cmd(id::StepBack), cmd(id::RunBackwards), cmd(id::GoToCycle), cmd(id::HistorySetting), sep(),
                  cmd(id::Profile), cmd(id::ClearProfile), cmd(id::RecordWaveform), sep(),
                  cmd(id::AllowDebugger), sep(), cmd(id::RunSetting)};
const E kBreakpoint[] = {cmd(id::BreakpointSetting), cmd(id::BreakpointExecution), sep(),
                         cmd(id::ClearWatchpoints)};
const E kSingleStep[] = {cmd(id::FinishSubroutine), cmd(id::SingleStep), cmd(id::StepOver),
                         sep(), cmd(id::SingleStepSetting)};
const E kCommand[] = {cmd(id::RunAssembler)};
const E kGenInternal[] = {cmd(id::GenSerial)};
const E kGenExternal[] = {cmd(id::GenLed), cmd(id::GenLcd), cmd(id::GenKeyboard),
                          cmd(id::GenSpiEeprom), cmd(id::GenIic)};
const E kCodeGeneration[] = {popup("&Internal Modules", kGenInternal),
                             popup("&External Modules", kGenExternal)};
const E kDemo[] = {cmd(40163), cmd(40164), cmd(40165), cmd(40166), cmd(40167), cmd(40168),
                   cmd(40169), cmd(40170), cmd(40171), cmd(40172), cmd(40173), sep(),
                   cmd(40175), cmd(40176), cmd(40177)};
const E kWindow[] = {cmd(id::Cascade), cmd(id::TileHorizontally), cmd(id::TileVertically),
                     cmd(id::ArrangeIcons), cmd(id::CloseAll), sep(),
                     {EK::WindowList, 0, nullptr, {}}};
const E kHelp[] = {cmd(id::HelpTopics), sep(), cmd(id::About)};

const E kInitBar[] = {popup("&File", kFile), popup("&Memory", kMemory), popup("&View", kView),
                      popup("&Run", kRun), popup("&BreakPoint", kBreakpoint),
                      popup("&SingleStep", kSingleStep), popup("&Demo", kDemo),
                      popup("&Help", kHelp)};
const E kMainBar[] = {popup("&File", kFile), popup("&Memory", kMemory), popup("&View", kView),
                      popup("&Run", kRun), popup("&BreakPoint", kBreakpoint),
                      popup("&SingleStep", kSingleStep), popup("&Demo", kDemo),
                      popup("&Window", kWindow), popup("&Help", kHelp)};
const E kEditorBar[] = {popup("&File", kFile), popup("&Edit", kEdit), popup("Searc&h", kSearch),
                        popup("&Memory", kMemory), popup("&View", kView), popup("&Run", kRun),
                        popup("&BreakPoint", kBreakpoint), popup("&SingleStep", kSingleStep),
                        popup("&Command", kCommand), popup("Code &Generation", kCodeGeneration),
                        popup("&Demo", kDemo), popup("&Window", kWindow), popup("&Help", kHelp)};

const ToolbarSlot kToolbar[] = {
    {0, 0}, {id::LoadProgram, 0}, {id::LoadTextFile, 1}, {id::SaveMemory, 2},
    {id::SaveScreenSetting, 3}, {id::SaveTextFile, 4}, {0, 0},
    {id::Cut, 5}, {id::Copy, 6}, {id::Paste, 7}, {0, 0}, {id::Find, 8}, {0, 0},
    {id::EnterProgram, 9}, {0, 0},
    {id::ClearView, 10}, {id::RegisterWindow, 11}, {id::ProgramWindow, 12},
    {id::SfrBitWindow, 13}, {id::MemoryBitWindow, 14}, {id::ExternalMemoryWindow, 15},
    {id::InternalMemoryWindow, 16}, {0, 0},
    {id::Go, 17}, {id::GoTo, 18}, {0, 0},
    {id::BreakpointSetting, 19}, {id::BreakpointExecution, 20}, {0, 0},
    {id::SingleStep, 21}, {id::StepOver, 22}, {id::SingleStepSetting, 23},
    {id::StepBack, 30}, {id::RunBackwards, 31}, {0, 0},
    {id::RunAssemblerButton, 24}, {0, 0}, {id::CloseAll, 25}, {0, 0},
    {id::About, 26}, {id::StopExecution, 28}, {id::ResetCpu, 29},
};

const int kInitiallyDisabled[] = {id::RunAssemblerButton, id::CloseAll, id::Cut, id::Paste,
                                  id::Copy, id::Find, id::SaveTextFile};

const int kRunTimeGray[] = {
    32771, 40109, 40041, 40123, 40127, 40125, 40126, 40089, 40091, 40092, 32773, 32774, 40065,
    40161, 40162, 57665, 40007, 40008, 40009, 40010, 40011, 40012, 40013, 40014, 40015, 40034,
    40035, 40037, 40038, 40108, 40107, 40110, 40045, 40105, 40082, 40083, 40113, 40026, 40027,
    40111, 40112, 40028, 40029, 40150, 40030, 40044, 40032, 40093, 40043, 104, id::OpenRecording};
// clang-format on

} // namespace

std::span<const CommandInfo> commandTable() { return kCommands; }

const CommandInfo* findCommand(int id) {
    for (const CommandInfo& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

QString commandHelpLine(int id) {
    const CommandInfo* c = findCommand(id);
    if (!c) return {};
    return QString::fromLatin1(c->help).section('\n', 0, 0);
}

QString commandToolTip(int id) {
    const CommandInfo* c = findCommand(id);
    if (!c) return {};
    QString help = QString::fromLatin1(c->help);
    int feed = help.indexOf('\n');
    return feed < 0 ? QString() : help.mid(feed + 1);
}

std::span<const MenuEntry> menuBar(MenuBarKind kind) {
    switch (kind) {
    case MenuBarKind::Init: return kInitBar;
    case MenuBarKind::Main: return kMainBar;
    case MenuBarKind::Editor: return kEditorBar;
    }
    return kInitBar;
}

std::span<const Accelerator> accelerators() {
    static const Accelerator table[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_C), id::Copy},
        {QKeySequence(Qt::CTRL | Qt::Key_D), id::LoadData},
        {QKeySequence(Qt::CTRL | Qt::Key_F), id::Find},
        {QKeySequence(Qt::CTRL | Qt::Key_L), id::LoadScreenSetting},
        {QKeySequence(Qt::CTRL | Qt::Key_O), id::LoadProgram},
        {QKeySequence(Qt::CTRL | Qt::Key_R), id::Replace},
        {QKeySequence(Qt::CTRL | Qt::Key_S), id::SaveTextFile},
        {QKeySequence(Qt::CTRL | Qt::Key_V), id::Paste},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), id::Undo},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), id::Cut},
        // F1 opens the external data memory window; help is in the menu.
        {QKeySequence(Qt::Key_F1), id::ExternalMemoryWindow},
        {QKeySequence(Qt::Key_F3), id::FindNext},
        {QKeySequence(Qt::SHIFT | Qt::Key_F4), id::Delete},
        {QKeySequence(Qt::Key_F6), id::FinishSubroutine},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), id::StepOutOfFunction},
        {QKeySequence(Qt::Key_F7), id::SingleStep},
        {QKeySequence(Qt::Key_F8), id::StepOver},
        {QKeySequence(Qt::SHIFT | Qt::Key_F7), id::StepSourceLine},
        {QKeySequence(Qt::SHIFT | Qt::Key_F8), id::StepOverSourceLine},
        {QKeySequence(Qt::Key_F9), id::RunAssemblerKey},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), id::Copy},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), id::Paste},
        {QKeySequence(Qt::CTRL | Qt::Key_X), id::Cut},
        {QKeySequence(Qt::ALT | Qt::Key_X), id::Exit},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), id::Undo},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V), id::VariablesWindow},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), id::CallStackWindow},
        {QKeySequence(Qt::CTRL | Qt::Key_F7), id::StepBack},
        {QKeySequence(Qt::CTRL | Qt::Key_F5), id::RunBackwards},
        {QKeySequence(Qt::CTRL | Qt::Key_G), id::GoToCycle},
    };
    return table;
}

std::span<const ToolbarSlot> toolbarSlots() { return kToolbar; }
std::span<const int> initiallyDisabledButtons() { return kInitiallyDisabled; }
std::span<const int> runTimeGrayList() { return kRunTimeGray; }
std::span<const char* const> demoTexts() { return kDemoTexts; }

} // namespace quorvel::shell
