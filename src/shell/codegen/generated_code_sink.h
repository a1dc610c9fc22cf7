// Where generated driver code goes: the active editor, at its caret. Every
// code-generation dialog inserts through `insertGeneratedCode` and nothing
// else, so the editor connection lives in one place.
#pragma once

#include "codegen/code_template.h"

#include <QString>
#include <functional>

namespace quorvel::shell {

class Frame;

// Inserts `text` into the active editor at its caret. Without an editor the
// user is told that the code has nowhere to go.
void insertGeneratedCode(Frame& frame, const QString& text);

// Hands the generator's output on: a template fault is shown as a message,
// otherwise the sections are inserted (line ends as the editor keeps them).
void insertGeneratedCode(Frame& frame, const GeneratedCode& code);

// Tests catch the inserted text here instead of an editor; an empty
// function puts the editor back.
void setGeneratedCodeHook(std::function<void(const QString&)> hook);

} // namespace quorvel::shell
