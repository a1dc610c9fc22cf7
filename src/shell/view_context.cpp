#include "shell/view_context.h"

#include "shell/command_table.h"
#include "shell/messages.h"

#include <cassert>

namespace quorvel::shell {

void ViewContext::showMessage(const UserMessage& message) const {
    messages_.show(host_.messageParent(), message);
}

bool ViewContext::mayRun(int command) { return command == id::Go || command == id::BreakpointExecution; }

void ViewContext::runCommand(int command) const {
    assert(mayRun(command) && "a view started a command it may not start");
    if (mayRun(command)) host_.runCommand(command);
}

} // namespace quorvel::shell
