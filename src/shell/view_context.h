// What a view may use of the application around it: the machine, the run
// controller (its pause guard, the change snapshot, the breakpoint), the
// message boxes and the status line, the view layout, and the few commands a
// view may start. The frame makes one context and hands it to every view it
// opens; a view works just as well on a context made without a frame.
#pragma once

#include "common/user_message.h"
#include "common/view_mode.h"
#include "machine/machine.h"
#include "debug/run_controller.h"

#include <QString>
#include <cstdint>

class QWidget;

namespace quorvel::shell {

class Messages;

// The window that holds the views (the frame): what a view asks of it
// through its context.
class ViewHost {
public:
    virtual ~ViewHost() = default;
    // Status bar part 0 to 3.
    virtual void setStatusText(int part, const QString& text) = 0;
    // Every open view re-reads the machine (after a view changed it).
    virtual void refreshViews() = 0;
    // The program memory changed under the program window (a write through
    // external data memory that overlaps it).
    virtual void programCodeChanged() = 0;
    // The one breakpoint; the status bar says which one it replaced.
    virtual void setBreakpoint(const BreakpointCondition& condition) = 0;
    // Carries out a command of the menus (only the ones a view may start
    // reach here).
    virtual void runCommand(int command) = 0;
    // Shows `address` at the top of the program window, opening it.
    virtual void showCodeAddress(uint16_t address) = 0;
    // Whether `window` (the window around a view) is the active one.
    virtual bool isActiveView(const QWidget* window) const = 0;
    virtual ViewMode viewMode() const = 0;
    // The parent of the message boxes a view shows.
    virtual QWidget* messageParent() = 0;
};

class ViewContext {
public:
    ViewContext(Machine& machine, RunController& run, Messages& messages, ViewHost& host)
        : machine_(machine), run_(run), messages_(messages), host_(host) {}

    Machine& machine() const { return machine_; }
    RunController& runControl() const { return run_; }
    Messages& messages() const { return messages_; }

    void showMessage(const UserMessage& message) const;
    // The parent of the message boxes and questions a view shows.
    QWidget* messageParent() const { return host_.messageParent(); }
    void setStatusText(int part, const QString& text) const { host_.setStatusText(part, text); }
    void refreshViews() const { host_.refreshViews(); }
    void programCodeChanged() const { host_.programCodeChanged(); }
    void setBreakpoint(const BreakpointCondition& condition) const { host_.setBreakpoint(condition); }
    bool isActiveView(const QWidget* window) const { return host_.isActiveView(window); }
    void showCodeAddress(uint16_t address) const { host_.showCodeAddress(address); }
    // Normal View or Clear View: the views lay themselves out by it.
    ViewMode viewMode() const { return host_.viewMode(); }

    // The commands a view may start (Go and Breakpoint Execution from the
    // program window's popup menu).
    static bool mayRun(int command);
    // Starts one of them; any other command is a programming error, refused
    // (and stopped by an assertion in a debug build).
    void runCommand(int command) const;

    // The program-wide last entered address that pre-fills address prompts.
    uint16_t lastAddress = 0;

private:
    Machine& machine_;
    RunController& run_;
    Messages& messages_;
    ViewHost& host_;
};

} // namespace quorvel::shell
