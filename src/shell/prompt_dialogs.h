// Small prompts shared by the views and commands: the "Address" dialog
// (IDM_GETADDRESS) and the program-line dialog (IDM_GETMNEMONIC).
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class QWidget;

namespace quorvel::shell {

// "Address" / "Enter the Starting address.": at most 4 hexadecimal
// characters, pre-filled with `preset` as "%04X" and selected. Invalid text
// keeps the dialog open without a message. Nothing on Cancel.
std::optional<uint16_t> askAddress(QWidget* parent, uint16_t preset);

// "Edit Program Line" / "Enter the New Program Line:" with the label "%04X:",
// an upper-casing edit of up to 99 characters pre-filled with `text` and
// selected, "&Store" and "&Cancel". Nothing on Cancel.
std::optional<QString> askProgramLine(QWidget* parent, uint16_t address, const QString& text);

} // namespace quorvel::shell
