// The File menu's four "Save Buffer" commands: the serial port's and the
// SPI's receive and transmit lists written as text files, in the lines the
// windows show.
#pragma once

#include "modules/transfer_lists.h"

#include <QStringList>

namespace quorvel::shell {

class Frame;

// "Data Files (*.DAT)" and "All Files (*.*)" as file-dialog name filters.
QStringList transferListNameFilters();

// An empty list: its "... Buffer Empty" message. Otherwise the save dialog
// (starting from the list's remembered name), then the file is written
// whole or not at all, with the saving text in the status bar meanwhile.
void saveTransferList(Frame& frame, TransferList list);

void saveSerialReceiver(Frame& frame);
void saveSerialTransmitter(Frame& frame);
void saveSpiReceiver(Frame& frame);
void saveSpiTransmitter(Frame& frame);

} // namespace quorvel::shell
