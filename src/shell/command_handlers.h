// What each command does: one row per command of the menus, the toolbar and
// the accelerators, naming the function that carries it out. Frame::dispatch
// is a lookup in this table; a command of the menus without a row is grayed.
#pragma once

#include <span>

namespace quorvel::shell {

class Frame;

struct CommandHandler {
    int id;
    // `id` is the command carried out: the rows that open a view, load a
    // demonstration or pass the command to the active view share a function.
    void (*run)(Frame& frame, int id);
};

std::span<const CommandHandler> commandHandlers();
const CommandHandler* findCommandHandler(int id);

} // namespace quorvel::shell
