// The application's main window: the three menu bars, the toolbar, the
// four-part status bar and the MDI area with the views. It owns the one
// simulated machine and the run controller, dispatches every command through
// `dispatch` (the handler table of command_handlers.h), grays the run-time commands while a program runs and refreshes
// the views when a run stops, after steps and on the screen-update timer.
#pragma once

#include "machine/machine.h"
#include "debug/run_controller.h"
#include "common/view_mode.h"
#include "settings/app_config.h"
#include "settings/screen_settings_file.h"
#include "tools/block_operations.h"
#include "tools/file_loader.h"
#include "tools/memory_saver.h"
#include "tools/memory_setting.h"
#include "shell/command_handlers.h"
#include "shell/command_table.h"
#include "shell/demo_menu.h"
#include "shell/view_context.h"

#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;

namespace quorvel::shell {

class ChipNotices;
class DebuggerPort;
class Messages;
class ProgramDebug;
class ProgramView;
class RecentPrograms;
class SourceDebug;
class View;
class WaveCapture;

class Frame : public QMainWindow, public ViewHost {
    Q_OBJECT
public:
    // `configFile` is simulator.dat (empty: none is read or written);
    // `resourceDir` holds Assembler/, DemoPrograms/ and help/.
    explicit Frame(Messages& messages, QString configFile = {}, QString resourceDir = {},
                   QWidget* parent = nullptr);
    ~Frame() override;

    // Runs the device dialog, then applies the device, resets and allocates
    // the machine. Returns false when the user chose "&Exit". With
    // `device` the dialog is not shown and that device is taken (a start
    // for a debugger, quorvel --dap-port).
    bool startUp(std::optional<DeviceSelection> device = std::nullopt);

    // The single entry of every command (menus, toolbar, accelerators,
    // views).
    void dispatch(int id);

    Machine& machine() { return machine_; }
    RunController& runControl() { return *run_; }
    Messages& messages() { return messages_; }
    // The chip's SCON and SPCR notices, queued to this thread.
    ChipNotices& chipNotices() { return *chipNotices_; }
    // The port-line waveform recording (logic analyser, Export Waveform).
    WaveCapture& waveCapture() { return *wave_; }
    void showMessage(const UserMessage& message);
    // What the views get of the frame; every view the frame opens has it.
    ViewContext& viewContext() { return viewContext_; }

    // Refresh every open view and the status-bar register bank and cycle
    // texts. Pauses a run while it reads the machine.
    void refreshViews() override;
    // Status bar part 0 to 3.
    void setStatusText(int part, const QString& text) override;
    QString statusText(int part) const;
    void updateBreakpointStatus();
    // The one breakpoint: the status bar shows it, and says which one it
    // replaced; the program window marks it.
    void setBreakpoint(const BreakpointCondition& condition) override;

    // Enables or grays a command's menu item and toolbar button.
    void setCommandEnabled(int id, bool enabled);
    QAction* menuAction(int id) const;
    QAction* toolbarAction(int id) const;
    MenuBarKind menuBarKind() const { return menuBarKind_; }
    ProgramView* programView() const;
    // The open view of a command, or null.
    View* view(int command) const;
    // Normal View or Clear View: the views lay themselves out by it.
    ViewMode viewMode() const override { return viewMode_; }
    QMdiArea* mdiArea() const { return mdi_; }
    // Shows a view that is not opened by a command of the view table (the
    // editor windows, the assembler output) in a window of the MDI area,
    // active, sized `preferred` where the area allows it.
    QMdiSubWindow* addViewWindow(View* view, QSize preferred);
    // What simulator.dat keeps besides the machine (the assembler path and
    // options among it).
    AppConfig& appConfig() { return config_; }
    // The folder of Assembler/, DemoPrograms/ and help/.
    const QString& resourceDir() const { return resourceDir_; }
    void setResourceDir(const QString& dir) { resourceDir_ = dir; }

    // Screen settings (frame_screen_settings.cpp). The layout Normal View
    // restores, with the view mode and the Clear View bit-window choice.
    ScreenSettings storedScreenSettings() const;
    // Replaces the layout Normal View restores (and the bit-window choice);
    // nothing on screen changes.
    void setStoredScreenSettings(const ScreenSettings& settings);
    // Takes the frame and the open views where they are now as the layout
    // Normal View restores, and returns it.
    ScreenSettings captureScreenSettings();
    // A file's layout: stored as above, then the frame ends in the file's view
    // mode. A Normal View file opens, closes and places the views as stored;
    // a Clear View file builds the Clear View arrangement (and the windows
    // open before it become the layout Normal View returns to).
    void applyScreenSettings(const ScreenSettings& settings);
    // Where a save dialog for `file` starts: the user's home folder when no
    // file is given or when it is one of the shipped files (the resource
    // folder), which are never offered as a save target; the name is kept.
    QString saveStart(const QString& file = {}) const;
    // The current screen-settings file, and whether Save Screen Setting may
    // write to it without asking.
    QString screenSettingsPath;
    bool screenSettingsPathConfirmed = false;
    // The external data memory Demo Program 11 put away (demo_menu.h).
    SuspendedExternalMemory suspendedXdata;

    // The program, external and internal data memory views open at the
    // address they showed when they were last closed (kept in simulator.dat):
    // a new view is put there and its window remembers its start on closing.
    void trackViewStart(View* view);
    // The open views' starts, as simulator.dat keeps them.
    void keepViewStarts();

    // Loads a file into program memory or external data memory in the
    // timer-paced progress dialog, with every message of the loader, then
    // refreshes the program and external memory views. A program load stops
    // a run and resets the CPU (machine cycles and profile counts to 0) once
    // the file opened and its start address is known. True when the file loaded (wholly or up to the end of
    // memory).
    // Without `details` the File Loading Details box is not shown.
    bool loadFile(const QString& path, LoadTarget target, bool details = true);
    // Loads a program as Load Program does after its dialog (stops a run,
    // resets the chip) and lists it among the recent programs when it
    // loaded. Used for the program named on the command line, a dropped
    // file and the recent entries of the File menu.
    bool loadProgram(const QString& path, bool details = true);
    // Opens a recording (.qrec, as quorvel-cli --record writes it): its
    // program, board and history, the machine at its last moment or at
    // `cycle`, every window showing that moment and the reverse commands
    // working over the history. A file that cannot be read or is not a
    // recording of this build is refused with a message, and nothing of the
    // session changes. A run is stopped first. True when it opened.
    bool openRecording(const QString& path, std::optional<uint64_t> cycle = {});
    // Run > Allow Debugger to Attach: the port a debugger attaches on.
    DebuggerPort& debuggerPort() { return *debugger_; }
    // The File menu's recent programs.
    RecentPrograms& recentPrograms() { return *recent_; }
    // The loaded program's source map, its line breakpoints and the Source
    // Lines switch.
    SourceDebug& sourceDebug() { return *sourceDebug_; }
    // The debug session on the machine: the program's C variables, its call
    // stack and the watchpoints.
    ProgramDebug& programDebug() { return *programDebug_; }
    // The run speed of Go and Breakpoint Execution, in percent of real time
    // (0: full speed): Real Time unless quorvel.ini keeps another choice.
    // Setting it updates the toolbar's list and quorvel.ini.
    void setRunSpeed(uint16_t percent);
    uint16_t runSpeed() const { return run_->thread().speed(); }
    // Grays or restores the commands, refreshes the views and shows the
    // message a run command's outcome asks for.
    void applyRunOutcome(const RunOutcome& outcome);
    // quorvel.ini beside simulator.dat (empty without a configuration
    // file): the run speed, the recent programs, the recording settings.
    QString userSettingsFile() const;

    // Values the memory dialogs keep between uses.
    SaveSettings saveSettings;
    BlockDialogStore blockValues;
    MemorySetting memorySetting;

protected:
    void closeEvent(QCloseEvent* event) override;
    // A HEX or BIN file dropped on the frame loads as a program.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The Demo menu: the pointer over an entry, gray ones included (most
    // styles never highlight those), shows its status tip.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class QueuedRunEvents;
    // What the views ask of the frame through their context.
    void programCodeChanged() override;
    void runCommand(int command) override { dispatch(command); }
    bool isActiveView(const QWidget* window) const override;
    void showCodeAddress(uint16_t address) override;
    QWidget* messageParent() override { return this; }
    // The handler table carries out the frame's own commands.
    friend std::span<const CommandHandler> commandHandlers();

    void buildActions();
    QMenu* buildMenu(const char* title, std::span<const MenuEntry> entries);
    void buildToolbar();
    void buildStatusBar();
    void setMenuBarKind(MenuBarKind kind);
    void activeViewChanged(QMdiSubWindow* window);
    void applyDeviceToCommands();
    void offerLastProgram();
    // Grays the commands of the menus that have no handler.
    void markUnavailableCommands();
    // Without a handler, or not on the selected device.
    bool unavailableCommand(int command) const;

    // Run control glue.
    void runStarted(uint16_t startAddress);
    void runEnded();
    void grayForRun(bool running);
    void screenUpdateTick();
    void moduleTick();
    void rtcSecond();
    // While a paced run is on: says in the status bar when it cannot keep up.
    void paceCheck();
    // The run speed in the simulation thread and the toolbar's list.
    void showRunSpeed(uint16_t percent);
    void onRunEnded(quint64 generation, int reason);
    void onContinueStepOver(quint64 generation);

    // Views.
    View* openView(int command);
    // Passes a command to the active view (the editor's commands).
    void activeViewCommand(int id);
    // Gives a shown window its preferred size where the MDI area allows it,
    // wholly inside the area.
    void fitIntoMdiArea(QMdiSubWindow* window, QSize preferred);
    // Shows a new view window: at its Clear View tile when `tile` is not
    // empty, else at its preferred size.
    void showViewWindow(QMdiSubWindow* window, View* view, QSize preferred, QRect tile);

    // The Clear View switch and the window layout Normal View returns to
    // (frame_layout.cpp).
    struct WindowPlace {
        enum State : uint8_t { Closed, Normal, Maximised, Minimised } state = Closed;
        QRect geometry;
    };
    void toggleViewMode();
    void placeClearViewTiles();
    void enterClearView();
    void leaveClearView();
    void captureLayout();
    void restoreLayout();
    void swapViewModeCommand(int from, int to);
    // The Window menu's arrangements (window_arrangement.cpp).
    void tileViews(Qt::Orientation stacking);
    void arrangeMinimisedViews();
    void enableAvailable(int command, bool enabled);
    void closeAll();

    // File and memory commands (frame_files.cpp).
    void loadProgramCommand();
    void loadDataCommand();
    void openRecordingCommand();
    void enterProgramCommand();
    // A recent entry chosen: loads it, or says it is gone and drops it.
    void openRecentProgram(const QString& path);
    void saveMemory();
    void blockOperation(BlockCommand command);
    void memorySettingDialog();

    // Commands with dialogs.
    void goTo();
    void breakpointSetting();
    void singleStepSetting();
    void runSetting();
    void calculateExecutionTime();
    void initializeCycles();
    void clearProgramMemory();
    void showHelp();
    void readConfiguration();
    void writeConfiguration();
    QString windowLayoutFile() const;
    void restoreWindowLayout();
    void showAbout();

    Messages& messages_;
    Machine machine_;
    std::unique_ptr<QueuedRunEvents> runEvents_;
    ChipNotices* chipNotices_;
    // The program's debug session, which the run controller's runs and
    // steps take their stop conditions from: made before it, gone after.
    std::unique_ptr<ProgramDebug> programDebug_;
    std::unique_ptr<RunController> run_;
    std::unique_ptr<DebuggerPort> debugger_;
    // Why the run that ends next ended (the simulation thread's notice; a
    // stop from the window or a client is the user's).
    StopReason endReason_ = StopReason::User;
    ViewContext viewContext_;
    std::unique_ptr<WaveCapture> wave_;
    QMdiArea* mdi_;
    QToolBar* toolbar_;
    QLabel* status_[4];
    QTimer* screenTimer_;
    QTimer* moduleTimer_;
    QTimer* rtcTimer_;
    QTimer* paceTimer_;
    QComboBox* speedCombo_ = nullptr;
    QString runStatus_; // "Executing from ...", while a run is on
    std::map<int, QAction*> menuActions_;
    std::map<int, QAction*> toolbarActions_;
    std::map<const void*, QMenu*> popups_;
    std::vector<QMenu*> topMenus_[3];
    MenuBarKind menuBarKind_ = MenuBarKind::Init;
    std::map<int, bool> menuStateMemory_;    // enabled before a run grayed it
    std::map<int, bool> toolbarStateMemory_;
    std::map<int, QPointer<QMdiSubWindow>> views_;
    QString configFile_;
    QString resourceDir_;
    RecentPrograms* recent_ = nullptr;
    std::unique_ptr<SourceDebug> sourceDebug_;
    AppConfig config_;           // what simulator.dat holds besides the machine
    bool configLoaded_ = false;  // the device dialog was confirmed: write at shutdown
    uint16_t demoMask_ = 0x7FFF;
    ViewMode viewMode_ = ViewMode::Normal;
    WindowPlace framePlace_;
    std::map<int, WindowPlace> viewPlaces_; // by view command
    // In Clear View: the memory bit status view (not the SFR one) was the
    // later of the two to open.
    bool clearViewBitWindow_ = false;
    bool started_ = false;
};

} // namespace quorvel::shell
