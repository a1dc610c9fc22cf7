// Every command of the menus, the toolbar and the accelerators: its
// identifier, its menu text, its help string (status-bar line, a line feed,
// the tooltip), the three menu bars with their popups, the accelerator table
// and the toolbar slots. The frame builds its actions from these tables and
// dispatches every command through one function.
#pragma once

#include <QKeySequence>
#include <span>

namespace quorvel::shell {

namespace id {
// File
constexpr int LoadProgram = 32771, LoadData = 40109, SaveMemory = 40041;
constexpr int SaveSerialReceiver = 40123, SaveSerialTransmitter = 40127, SaveSpiReceiver = 40125,
              SaveSpiTransmitter = 40126;
constexpr int LoadTextFile = 40089, SaveTextFile = 40091, SaveTextFileAs = 40092;
constexpr int LoadScreenSetting = 32773, SaveScreenSetting = 32774, SaveScreenSettingAs = 40065;
constexpr int LedSetting = 40144, LcdSetting = 40145, KeyboardSetting = 40146, IicSetting = 40147,
              SpiSetting = 40148;
constexpr int LoadModuleSetting = 40161, SaveModuleSetting = 40162, Exit = 57665;
// Edit and search (editor)
constexpr int Undo = 40007, Cut = 40008, Copy = 40009, Paste = 40010, Delete = 40011,
              SelectAll = 40012, Find = 40013, FindNext = 40014, Replace = 40015;
// Memory
constexpr int ExternalFill = 40034, ExternalCopy = 40035, InternalFill = 40037,
              InternalCopy = 40038, ProgramClear = 40108, ProgramFill = 40107,
              ProgramCopy = 40110, EnterProgram = 40045, MemorySetting = 40105;
// View
constexpr int ClearView = 40082, NormalView = 40083, RegisterWindow = 32779,
              ProgramWindow = 32780, InternalMemoryWindow = 40016, EepromWindow = 40120,
              ExternalMemoryWindow = 40017, SfrBitWindow = 40018, MemoryBitWindow = 40019,
              SpiWindow = 40117, SerialWindow = 40118, IoWindow = 40119, LedWindow = 40134,
              LcdWindow = 40135, KeyboardWindow = 40137, RtcWindow = 40140,
              IicEepromWindow = 40141, SpiEepromWindow = 40149;
// Run, breakpoint, single step
constexpr int Go = 40026, GoTo = 40027, RunSetting = 40111, ResetCpu = 40115,
              StopExecution = 40116, CalculateTime = 40112, InitializeCycles = 40113,
              BreakpointSetting = 40028, BreakpointExecution = 40029,
              FinishSubroutine = 40150, SingleStep = 40030, StepOver = 40044,
              SingleStepSetting = 40032, ContinueStepOver = 120;
// Editor commands
constexpr int RunAssembler = 40093, RunAssemblerKey = 111, RunAssemblerButton = 110;
constexpr int GenSerial = 40153, GenLed = 40155, GenLcd = 40156, GenKeyboard = 40157,
              GenSpiEeprom = 40158, GenIic = 40160;
// Source lines, stepping by line, line breakpoints and the execution profile
constexpr int LoadSourceMap = 41000, SourceLines = 41001, Profile = 41002, ClearProfile = 41003,
              StepSourceLine = 41004, StepOverSourceLine = 41005, BreakAtSourceLine = 41006,
              StepOutOfFunction = 41009;
// Demo
constexpr int DemoFirst = 40163, DemoLast = 40173, ProjectFirst = 40175, ProjectLast = 40177;
// Window and help
constexpr int Cascade = 57650, TileHorizontally = 57651, TileVertically = 57652,
              ArrangeIcons = 57649, CloseAll = 32778, HelpTopics = 40043, About = 104;
// Waveform recording: the logic analyser window, the recording switch and the
// export of what was recorded.
constexpr int LogicAnalyserWindow = 41050, RecordWaveform = 41051, ExportWaveform = 41052;
// C debugging: the Variables and Call Stack windows, and dropping every
// watchpoint that Break on Write set.
constexpr int VariablesWindow = 41060, CallStackWindow = 41061, ClearWatchpoints = 41062;
// Time travel: back one instruction, back to the last breakpoint, to a
// machine cycle, and the recording's settings.
constexpr int StepBack = 41070, RunBackwards = 41071, GoToCycle = 41072, HistorySetting = 41073;
// A recording (.qrec) opened: its program, board and history.
constexpr int OpenRecording = 41074;
// A debugger attaching over the Debug Adapter Protocol (a switch).
constexpr int AllowDebugger = 41080;
} // namespace id

struct CommandInfo {
    int id;
    const char* menuText; // as it stands in the menus, "\t" before the shortcut
    const char* help;     // status-bar help "\n" tooltip; may be empty
};

// Every command with a menu text or a toolbar button.
std::span<const CommandInfo> commandTable();
const CommandInfo* findCommand(int id);

// The status-bar help line (text before the first line feed) and the tooltip
// (text after it) of a command.
QString commandHelpLine(int id);
QString commandToolTip(int id);

// Menu structure: a popup is a title and a list of entries; an entry is a
// command, a separator, or a nested popup.
struct MenuEntry {
    enum class Kind { Command, Separator, Popup, WindowList } kind;
    int id = 0;                 // Command
    const char* title = nullptr; // Popup
    std::span<const MenuEntry> children;
};

enum class MenuBarKind { Init, Main, Editor };
// Top-level popups of a menu bar, in order.
std::span<const MenuEntry> menuBar(MenuBarKind kind);

struct Accelerator {
    QKeySequence key;
    int id;
};
std::span<const Accelerator> accelerators();

// Toolbar slots: a command and its image index, or a separator (id 0).
struct ToolbarSlot {
    int id;
    int image;
};
std::span<const ToolbarSlot> toolbarSlots();
// Buttons disabled when the toolbar is created.
std::span<const int> initiallyDisabledButtons();

// The 50 commands grayed while a program runs, in order.
std::span<const int> runTimeGrayList();

// Demo menu texts, entry 1 to 11 and Project 1 to 3.
std::span<const char* const> demoTexts();

} // namespace quorvel::shell
